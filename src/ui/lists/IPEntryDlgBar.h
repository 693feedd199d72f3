#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <string>

class CSettingsStore;
class QComboBox;
class QPushButton;

// The quick lookup bar: "IP Address:", a box that remembers the last entries
// (most recent first, kept in "IP Entry List"), and the "Lookup" button. Pressing
// Enter in the box presses Lookup. What a lookup does is the frame's business:
// it listens to lookupClicked and takes the entry with TakeEntry.
class CIPEntryDlgBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHistoryLimit = 100;
    // Keys read from a stored history at most: "Count" comes from a file anyone can
    // edit, and a huge one must not keep start-up reading for ever.
    static constexpr int kMaxKeysRead = 1000;

    CIPEntryDlgBar(CSettingsStore& store, QWidget* pParent = nullptr);

    void LoadEntryHistory();
    // The trimmed text of the box, moved to the top of the history and the history
    // saved; false (and nothing stored) when the box holds only white space.
    bool TakeEntry(std::string& strText);
    // Takes the last entry out of the history again (it named no address); the
    // box keeps the text for correcting.
    void ForgetEntry();

    QComboBox* GetComboBox() const { return m_pCombo; }
    QPushButton* GetLookupButton() const { return m_pLookup; }

    // The history helpers, for any section and combo box.
    static void LoadHistory(CSettingsStore& store, const char* pszSection, QComboBox& combo);
    static void SaveHistory(CSettingsStore& store, const char* pszSection, const QComboBox& combo);
    static void MoveToTop(QComboBox& combo, const QString& strText, int nLimit);

signals:
    void lookupClicked();

private:
    CSettingsStore& m_store;
    QComboBox* m_pCombo;
    QPushButton* m_pLookup;
    // The history before the last TakeEntry, until ForgetEntry or the next take.
    QStringList m_beforeTake;
    bool m_bTaken = false;
};
