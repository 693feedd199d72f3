#pragma once

#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>
#include <string>

class CSettingsStore;
class QWidget;

// The main window's size, position and maximised state between runs, kept as the
// ten numbers "flags,show,minX,minY,maxX,maxY,left,top,right,bottom" in
// ProgramSettings::kWindowPosition.
class CWindowPlacement
{
public:
    static constexpr uint32_t kFlagRestoreToMaximized = 2;
    static constexpr uint32_t kShowHidden = 0;
    static constexpr uint32_t kShowNormal = 1;
    static constexpr uint32_t kShowMinimized = 2;
    static constexpr uint32_t kShowMaximized = 3;

    uint32_t m_nFlags = 0;
    uint32_t m_nShowCmd = kShowNormal;
    int m_nMinX = -1, m_nMinY = -1;
    int m_nMaxX = -1, m_nMaxY = -1;
    int m_nLeft = 0, m_nTop = 0, m_nRight = 0, m_nBottom = 0;

    std::string Format() const;
    // All ten numbers must be there and fit their types; anything else is no placement.
    static std::optional<CWindowPlacement> Parse(const std::string& strText);

    static void Save(CSettingsStore& store, const CWindowPlacement& placement, const char* pszName = nullptr);
    static std::optional<CWindowPlacement> Load(CSettingsStore& store, const char* pszName = nullptr);

    // The window's placement as it is now, the way closing stores it: a maximised
    // window restores maximised, a minimised one is stored hidden (show command 0).
    static CWindowPlacement FromWindow(const QWidget& window);
    // Moves and sizes the window to the stored normal rectangle. The rectangle is
    // kept within the available desktop size, so a doctored value cannot ask for a
    // window (and its backing store) of absurd size; an empty rectangle is ignored.
    void ApplyGeometry(QWidget& window, const QRect& rcDesktop) const;
    // Shows the window the way the placement says: maximised, minimised, else
    // normally (a window stored hidden is shown by the start-up like any other).
    void ShowWindow(QWidget& window) const;
    QRect NormalRect() const { return QRect(QPoint(m_nLeft, m_nTop), QPoint(m_nRight - 1, m_nBottom - 1)); }

    // The first-run rectangle for a screen of szScreen when nothing is stored yet:
    // centred, nReqWidth wide and nReqHeight high when they fit (else the screen
    // width and the screen height less 40). As on the original platform, the bottom
    // edge is the height itself. No value when any placement text is stored.
    static std::optional<QRect> GetDefaultWindowRect(CSettingsStore& store, QSize szScreen, int nReqWidth,
                                                     int nReqHeight);
    static QRect DefaultWindowRect(QSize szScreen, int nReqWidth, int nReqHeight);
};
