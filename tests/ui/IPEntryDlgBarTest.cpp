#include "ui/lists/IPEntryDlgBar.h"
#include "core/settings/MemorySettingsStore.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

std::string Entry(CSettingsStore& store, int n)
{
    return store.GetProfileString("IP Entry List", std::to_string(n));
}

} // namespace

TEST(IPEntryDlgBar, TakeEntryTrimsMovesToTopAndSaves)
{
    CMemorySettingsStore store;
    CIPEntryDlgBar bar(store);
    std::string strText;
    bar.GetComboBox()->setEditText(QStringLiteral("   "));
    EXPECT_FALSE(bar.TakeEntry(strText));
    EXPECT_EQ(store.GetProfileInt("IP Entry List", "Count", -1), -1);

    for (const char* psz : {" 192.0.2.1 ", "192.0.2.2", "192.0.2.1"}) {
        bar.GetComboBox()->setEditText(QString::fromLatin1(psz));
        ASSERT_TRUE(bar.TakeEntry(strText));
    }
    EXPECT_EQ(strText, "192.0.2.1");
    EXPECT_EQ(store.GetProfileInt("IP Entry List", "Count", 0), 2);
    EXPECT_EQ(Entry(store, 1), "192.0.2.1");
    EXPECT_EQ(Entry(store, 2), "192.0.2.2");
}

TEST(IPEntryDlgBar, HistoryHoldsAtMost101Entries)
{
    CMemorySettingsStore store;
    store.WriteProfileInt("IP Entry List", "Count", 101);
    for (int i = 1; i <= 101; ++i)
        store.WriteProfileString("IP Entry List", std::to_string(i), "10.0.0." + std::to_string(i));
    CIPEntryDlgBar bar(store);
    bar.LoadEntryHistory();
    ASSERT_EQ(bar.GetComboBox()->count(), 101);

    std::string strText;
    bar.GetComboBox()->setEditText(QStringLiteral("192.0.2.200"));
    ASSERT_TRUE(bar.TakeEntry(strText));
    EXPECT_EQ(bar.GetComboBox()->count(), 101);
    EXPECT_EQ(store.GetProfileInt("IP Entry List", "Count", 0), 101);
    EXPECT_EQ(Entry(store, 1), "192.0.2.200");
    EXPECT_EQ(Entry(store, 101), "10.0.0.100"); // the oldest one dropped
}

TEST(IPEntryDlgBar, LoadingSkipsEmptyKeysAndBoundsAHugeCount)
{
    CMemorySettingsStore store;
    store.WriteProfileInt("IP Entry List", "Count", 3);
    store.WriteProfileString("IP Entry List", "1", "a");
    store.WriteProfileString("IP Entry List", "3", "c");
    CIPEntryDlgBar bar(store);
    bar.LoadEntryHistory();
    ASSERT_EQ(bar.GetComboBox()->count(), 2);
    EXPECT_EQ(bar.GetComboBox()->itemText(1), QStringLiteral("c"));

    store.WriteProfileInt("IP Entry List", "Count", 2000000000);
    bar.LoadEntryHistory(); // returns at once instead of reading two billion keys
    EXPECT_EQ(bar.GetComboBox()->count(), 2);
}

TEST(IPEntryDlgBar, EnterInTheBoxPressesLookup)
{
    CMemorySettingsStore store;
    CIPEntryDlgBar bar(store);
    QSignalSpy spy(&bar, &CIPEntryDlgBar::lookupClicked);
    bar.GetComboBox()->setEditText(QStringLiteral("192.0.2.1"));
    // The box, not its inner line edit, has the keyboard focus and passes keys on.
    QTest::keyClick(bar.GetComboBox(), Qt::Key_Return);
    EXPECT_EQ(spy.count(), 1);
    bar.GetLookupButton()->click();
    EXPECT_EQ(spy.count(), 2);
}

TEST(IPEntryDlgBar, ForgetEntryPutsTheHistoryBackAsItWasAndKeepsTheText)
{
    CMemorySettingsStore store;
    CIPEntryDlgBar bar(store);
    std::string strText;
    for (const char* psz : {"192.0.2.2", "192.0.2.1"}) {
        bar.GetComboBox()->setEditText(QString::fromLatin1(psz));
        ASSERT_TRUE(bar.TakeEntry(strText));
    }
    // A new entry taken back, then one already in the history: both leave the order as it was.
    for (const char* psz : {"no.such.host", "192.0.2.2"}) {
        bar.GetComboBox()->setEditText(QString::fromLatin1(psz));
        ASSERT_TRUE(bar.TakeEntry(strText));
        bar.ForgetEntry();
        EXPECT_EQ(bar.GetComboBox()->count(), 2) << psz;
        EXPECT_EQ(Entry(store, 1), "192.0.2.1") << psz;
        EXPECT_EQ(Entry(store, 2), "192.0.2.2") << psz;
        EXPECT_EQ(store.GetProfileInt("IP Entry List", "Count", 0), 2) << psz;
        EXPECT_EQ(bar.GetComboBox()->currentText(), QString::fromLatin1(psz));
    }
    // Nothing taken since: nothing to forget.
    bar.ForgetEntry();
    EXPECT_EQ(bar.GetComboBox()->count(), 2);
}
