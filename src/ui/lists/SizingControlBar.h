#pragma once

#include <QDockWidget>
#include <QSize>
#include <QString>

#include <string>
#include <vector>

class CSettingsStore;

// A docking bar that remembers one size per situation (docked at the top or
// bottom, docked left or right, floating) and keeps those sizes and its
// visibility in the settings store. Every bar is on a program-wide list so the
// frame can load or save all of them in one pass.
class CSizingControlBar : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int kMinCX = 33;
    static constexpr int kMinCY = 32;
    // Sizes read from the settings are kept below this, so a hostile value cannot
    // ask for a window of billions of pixels.
    static constexpr int kMaxSize = 10000;

    enum class ESituation
    {
        Horz,
        Vert,
        Float
    };

    CSizingControlBar(const QString& strTitle, QWidget* pParent, QSize szDefault, bool bHasGripper, int nBarId);
    ~CSizingControlBar() override;

    int GetBarId() const { return m_nBarId; }
    QSize GetHorzSize() const { return m_szHorz; }
    QSize GetVertSize() const { return m_szVert; }
    QSize GetFloatSize() const { return m_szFloat; }
    ESituation GetSituation() const;

    // The section "<profile>-SCBar-<bar id>".
    static std::string StateSection(const std::string& strProfile, int nBarId);
    // Returns the stored visibility (true when none is stored); the sizes take
    // effect at once.
    virtual bool LoadState(CSettingsStore& store, const std::string& strProfile);
    void SaveState(CSettingsStore& store, const std::string& strProfile) const;
    static const std::vector<CSizingControlBar*>& AllBars();
    static void LoadAllStates(CSettingsStore& store, const std::string& strProfile);
    static void SaveAllStates(CSettingsStore& store, const std::string& strProfile);

    // Gives the bar the remembered size of its current situation.
    void ApplyRememberedSize();

    QSize sizeHint() const override;

protected:
    // Whether the last LoadState found a stored width docked at the side, or a stored floating size.
    bool IsVertWidthStored() const { return m_bVertWidthStored; }
    bool IsFloatSizeStored() const { return m_bFloatSizeStored; }
    void SetHorzSize(QSize sz) { m_szHorz = sz; }
    void SetVertSize(QSize sz) { m_szVert = sz; }
    void SetFloatSize(QSize sz) { m_szFloat = sz; }
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void OnSituationChanged();

    QSize m_szHorz;
    QSize m_szVert;
    QSize m_szFloat;
    int m_nBarId;
    bool m_bSettling = false;
    bool m_bVertWidthStored = false;
    bool m_bFloatSizeStored = false;
};
