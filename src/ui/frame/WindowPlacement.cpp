#include "ui/frame/WindowPlacement.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"

#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

CTextSetting SettingOf(const char* pszName)
{
    return pszName ? CTextSetting {ProgramSettings::kSection, pszName} : ProgramSettings::kWindowPosition;
}

// One decimal number of the list, then a comma or the end; false on anything else.
bool ReadNumber(const char*& p, long long nMin, long long nMax, long long& nValue)
{
    if (*p == ',')
        ++p;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (!(*p == '-' || *p == '+' || (*p >= '0' && *p <= '9')))
        return false;
    char* pEnd = nullptr;
    errno = 0;
    nValue = std::strtoll(p, &pEnd, 10);
    if (pEnd == p || errno == ERANGE || nValue < nMin || nValue > nMax)
        return false;
    p = pEnd;
    return true;
}

} // namespace

std::string CWindowPlacement::Format() const
{
    char sz[160];
    std::snprintf(sz, sizeof sz, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", m_nFlags, m_nShowCmd, m_nMinX, m_nMinY, m_nMaxX,
                  m_nMaxY, m_nLeft, m_nTop, m_nRight, m_nBottom);
    return sz;
}

std::optional<CWindowPlacement> CWindowPlacement::Parse(const std::string& strText)
{
    const char* p = strText.c_str();
    long long v[10];
    for (int i = 0; i < 10; ++i) {
        const bool bUnsigned = i < 2;
        if (!ReadNumber(p, bUnsigned ? 0 : INT32_MIN, bUnsigned ? UINT32_MAX : INT32_MAX, v[i]))
            return std::nullopt;
    }
    CWindowPlacement wp;
    wp.m_nFlags = uint32_t(v[0]);
    wp.m_nShowCmd = uint32_t(v[1]);
    wp.m_nMinX = int(v[2]);
    wp.m_nMinY = int(v[3]);
    wp.m_nMaxX = int(v[4]);
    wp.m_nMaxY = int(v[5]);
    wp.m_nLeft = int(v[6]);
    wp.m_nTop = int(v[7]);
    wp.m_nRight = int(v[8]);
    wp.m_nBottom = int(v[9]);
    return wp;
}

void CWindowPlacement::Save(CSettingsStore& store, const CWindowPlacement& placement, const char* pszName)
{
    CSettingsLoader(store).Set(SettingOf(pszName), placement.Format());
}

std::optional<CWindowPlacement> CWindowPlacement::Load(CSettingsStore& store, const char* pszName)
{
    const std::string strText = CSettingsLoader(store).Get(SettingOf(pszName));
    if (strText.empty())
        return std::nullopt;
    return Parse(strText);
}

CWindowPlacement CWindowPlacement::FromWindow(const QWidget& window)
{
    CWindowPlacement wp;
    const QRect rc = window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    wp.m_nLeft = rc.left();
    wp.m_nTop = rc.top();
    wp.m_nRight = rc.left() + rc.width();
    wp.m_nBottom = rc.top() + rc.height();
    const Qt::WindowStates state = window.windowState();
    wp.m_nFlags = (state & Qt::WindowMaximized) ? kFlagRestoreToMaximized : 0;
    if (state & Qt::WindowMinimized)
        wp.m_nShowCmd = kShowMinimized & ~2u;
    else if (state & Qt::WindowMaximized)
        wp.m_nShowCmd = kShowMaximized;
    else
        wp.m_nShowCmd = kShowNormal;
    return wp;
}

void CWindowPlacement::ApplyGeometry(QWidget& window, const QRect& rcDesktop) const
{
    const long long nWidth = (long long)m_nRight - m_nLeft;
    const long long nHeight = (long long)m_nBottom - m_nTop;
    if (nWidth <= 0 || nHeight <= 0)
        return;
    const int nMaxW = std::max(rcDesktop.width(), 100);
    const int nMaxH = std::max(rcDesktop.height(), 100);
    const int w = int(std::min<long long>(nWidth, nMaxW));
    const int h = int(std::min<long long>(nHeight, nMaxH));
    // A window wholly off every screen cannot be reached; bring it back to the desktop.
    QRect rc(m_nLeft, m_nTop, w, h);
    if (!rcDesktop.isEmpty() && !rcDesktop.intersects(rc))
        rc.moveTopLeft(rcDesktop.topLeft());
    window.setGeometry(rc);
}

void CWindowPlacement::ShowWindow(QWidget& window) const
{
    if (m_nShowCmd == kShowMaximized || (m_nFlags & kFlagRestoreToMaximized))
        window.showMaximized();
    else if (m_nShowCmd == kShowMinimized)
        window.showMinimized();
    else
        window.show();
}

std::optional<QRect> CWindowPlacement::GetDefaultWindowRect(CSettingsStore& store, QSize szScreen, int nReqWidth,
                                                            int nReqHeight)
{
    if (!CSettingsLoader(store).Get(ProgramSettings::kWindowPosition).empty())
        return std::nullopt;
    return DefaultWindowRect(szScreen, nReqWidth, nReqHeight);
}

QRect CWindowPlacement::DefaultWindowRect(QSize szScreen, int nReqWidth, int nReqHeight)
{
    const int W = szScreen.width();
    const int H = szScreen.height();
    int nWidth = W;
    if (nReqWidth > 0 && nReqWidth < W)
        nWidth = nReqWidth;
    int nHeight = H - 40;
    if (nReqHeight > 0 && nReqHeight < H - 40)
        nHeight = nReqHeight;
    const int nLeft = std::max((W - nWidth) / 2, 0);
    const int nTop = std::max((H - nHeight) / 2, 0);
    return QRect(QPoint(nLeft, nTop), QPoint(nLeft + nWidth - 1, nHeight - 1));
}
