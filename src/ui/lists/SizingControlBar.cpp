#include "ui/lists/SizingControlBar.h"

#include "core/settings/SettingsStore.h"
#include "ui/lists/ListTexts.h"

#include <QMainWindow>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

std::vector<CSizingControlBar*>& BarList()
{
    static std::vector<CSizingControlBar*> s_bars;
    return s_bars;
}

QSize AtLeastMinimum(QSize sz)
{
    return QSize(std::max(sz.width(), CSizingControlBar::kMinCX), std::max(sz.height(), CSizingControlBar::kMinCY));
}

} // namespace

CSizingControlBar::CSizingControlBar(const QString& strTitle, QWidget* pParent, QSize szDefault, bool bHasGripper,
                                     int nBarId)
    : QDockWidget(strTitle, pParent)
    , m_szHorz(200, 200)
    , m_szVert(200, 200)
    , m_szFloat(200, 200)
    , m_nBarId(nBarId)
{
    m_szHorz = m_szVert = m_szFloat = szDefault;
    setObjectName(QStringLiteral("SCBar-%1").arg(nBarId));
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);
    if (!bHasGripper)
        setTitleBarWidget(new QWidget(this));
    connect(this, &QDockWidget::topLevelChanged, this, &CSizingControlBar::OnSituationChanged);
    connect(this, &QDockWidget::dockLocationChanged, this, &CSizingControlBar::OnSituationChanged);
    BarList().push_back(this);
}

CSizingControlBar::~CSizingControlBar()
{
    auto& bars = BarList();
    bars.erase(std::remove(bars.begin(), bars.end(), this), bars.end());
}

const std::vector<CSizingControlBar*>& CSizingControlBar::AllBars()
{
    return BarList();
}

CSizingControlBar::ESituation CSizingControlBar::GetSituation() const
{
    if (isFloating())
        return ESituation::Float;
    if (auto* pMain = qobject_cast<QMainWindow*>(parentWidget())) {
        const Qt::DockWidgetArea area = pMain->dockWidgetArea(const_cast<CSizingControlBar*>(this));
        if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea)
            return ESituation::Horz;
    }
    return ESituation::Vert;
}

std::string CSizingControlBar::StateSection(const std::string& strProfile, int nBarId)
{
    char szId[16];
    std::snprintf(szId, sizeof szId, "%d", nBarId);
    return strProfile + "-SCBar-" + szId;
}

bool CSizingControlBar::LoadState(CSettingsStore& store, const std::string& strProfile)
{
    const std::string strSection = StateSection(strProfile, m_nBarId);
    // A stored size is raised to the minimum; a missing one leaves the current size.
    auto read = [&](const char* pszKey, int nCurrent, int nMin) {
        const int nStored = store.GetProfileInt(strSection, pszKey, INT_MIN);
        return nStored == INT_MIN ? nCurrent : std::clamp(nStored, nMin, kMaxSize);
    };
    m_szHorz.setWidth(read(ListTexts::kKeySizeHorzCX, m_szHorz.width(), kMinCX));
    m_szHorz.setHeight(read(ListTexts::kKeySizeHorzCY, m_szHorz.height(), kMinCY));
    m_szVert.setWidth(read(ListTexts::kKeySizeVertCX, m_szVert.width(), kMinCX));
    m_szVert.setHeight(read(ListTexts::kKeySizeVertCY, m_szVert.height(), kMinCY));
    m_szFloat.setWidth(read(ListTexts::kKeySizeFloatCX, m_szFloat.width(), kMinCX));
    m_szFloat.setHeight(read(ListTexts::kKeySizeFloatCY, m_szFloat.height(), kMinCY));
    auto stored = [&](const char* pszKey) { return store.GetProfileInt(strSection, pszKey, INT_MIN) != INT_MIN; };
    m_bVertWidthStored = stored(ListTexts::kKeySizeVertCX);
    m_bFloatSizeStored = stored(ListTexts::kKeySizeFloatCX) || stored(ListTexts::kKeySizeFloatCY);
    const bool bVisible = store.GetProfileInt(strSection, ListTexts::kKeyVisible, 1) != 0;
    ApplyRememberedSize();
    return bVisible;
}

void CSizingControlBar::SaveState(CSettingsStore& store, const std::string& strProfile) const
{
    const std::string strSection = StateSection(strProfile, m_nBarId);
    store.WriteProfileInt(strSection, ListTexts::kKeySizeHorzCX, m_szHorz.width());
    store.WriteProfileInt(strSection, ListTexts::kKeySizeHorzCY, m_szHorz.height());
    store.WriteProfileInt(strSection, ListTexts::kKeySizeVertCX, m_szVert.width());
    store.WriteProfileInt(strSection, ListTexts::kKeySizeVertCY, m_szVert.height());
    store.WriteProfileInt(strSection, ListTexts::kKeySizeFloatCX, m_szFloat.width());
    store.WriteProfileInt(strSection, ListTexts::kKeySizeFloatCY, m_szFloat.height());
    // The bar's own state: a main window hidden in the tray does not hide its bars.
    store.WriteProfileInt(strSection, ListTexts::kKeyVisible, isHidden() ? 0 : 1);
}

void CSizingControlBar::LoadAllStates(CSettingsStore& store, const std::string& strProfile)
{
    for (CSizingControlBar* pBar : AllBars())
        pBar->LoadState(store, strProfile);
}

void CSizingControlBar::SaveAllStates(CSettingsStore& store, const std::string& strProfile)
{
    for (CSizingControlBar* pBar : AllBars())
        pBar->SaveState(store, strProfile);
}

QSize CSizingControlBar::sizeHint() const
{
    switch (GetSituation()) {
    case ESituation::Horz:
        return m_szHorz;
    case ESituation::Float:
        return m_szFloat;
    case ESituation::Vert:
        break;
    }
    return m_szVert;
}

void CSizingControlBar::ApplyRememberedSize()
{
    m_bSettling = false;
    updateGeometry();
    switch (GetSituation()) {
    case ESituation::Float:
        resize(m_szFloat);
        break;
    case ESituation::Horz:
        if (auto* pMain = qobject_cast<QMainWindow*>(parentWidget()))
            pMain->resizeDocks({this}, {m_szHorz.height()}, Qt::Vertical);
        break;
    case ESituation::Vert:
        if (auto* pMain = qobject_cast<QMainWindow*>(parentWidget()))
            pMain->resizeDocks({this}, {m_szVert.width()}, Qt::Horizontal);
        break;
    }
}

void CSizingControlBar::OnSituationChanged()
{
    // The layout passes through intermediate sizes while the bar moves; they are
    // not the user's choice, so nothing is remembered until the new place is sized.
    m_bSettling = true;
    QTimer::singleShot(0, this, &CSizingControlBar::ApplyRememberedSize);
}

void CSizingControlBar::resizeEvent(QResizeEvent* pEvent)
{
    QDockWidget::resizeEvent(pEvent);
    if (m_bSettling || !isVisible())
        return;
    const QSize sz = AtLeastMinimum(pEvent->size());
    switch (GetSituation()) {
    case ESituation::Horz:
        m_szHorz = sz;
        break;
    case ESituation::Vert:
        m_szVert = sz;
        break;
    case ESituation::Float:
        m_szFloat = sz;
        break;
    }
}
