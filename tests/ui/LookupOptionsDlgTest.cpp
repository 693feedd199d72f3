#include "ui/frame/LookupOptionsDlg.h"

#include "core/settings/MemorySettingsStore.h"
#include "ui/frame/LogFileImportDlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

TEST(LookupOptionsDlg, OpensOnSelectedRowsWhoisAndKeepingFreshResults)
{
    CLookupOptionsDlg dlg(3);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Lookup (With Options)"));
    EXPECT_TRUE(dlg.GetRowsButton(CLookupChoice::rowsSelected)->isChecked());
    EXPECT_TRUE(dlg.GetKindCheck(lookupWhois)->isChecked());
    EXPECT_FALSE(dlg.GetKindCheck(lookupPing)->isChecked());
    EXPECT_TRUE(dlg.GetSkipFreshCheck()->isChecked());
    EXPECT_TRUE(dlg.GetOkButton()->isEnabled());
}

TEST(LookupOptionsDlg, WithNothingSelectedSelectedRowsCannotBeChosen)
{
    CLookupOptionsDlg dlg(0);
    EXPECT_FALSE(dlg.GetRowsButton(CLookupChoice::rowsSelected)->isEnabled());
    EXPECT_EQ(dlg.GetChoice().m_eRows, CLookupChoice::rowsAll);
    dlg.GetRowsButton(CLookupChoice::rowsSelected)->click();
    EXPECT_EQ(dlg.GetChoice().m_eRows, CLookupChoice::rowsAll);
}

TEST(LookupOptionsDlg, SeveralKindsAtOnceAndOkOnlyWithOne)
{
    CLookupOptionsDlg dlg(1);
    dlg.GetRowsButton(CLookupChoice::rowsNeverLookedUp)->click();
    dlg.GetKindCheck(lookupWhois)->click();
    EXPECT_FALSE(dlg.GetOkButton()->isEnabled());
    dlg.GetKindCheck(lookupHostName)->click();
    dlg.GetKindCheck(lookupTrace)->click();
    dlg.GetSkipFreshCheck()->click();
    EXPECT_TRUE(dlg.GetOkButton()->isEnabled());
    dlg.GetOkButton()->click();
    EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
    const CLookupChoice choice = dlg.GetChoice();
    EXPECT_EQ(choice.m_eRows, CLookupChoice::rowsNeverLookedUp);
    EXPECT_EQ(choice.m_bKinds, (std::array<bool, kLookupKindCount> {false, true, false, true}));
    EXPECT_FALSE(choice.m_bSkipFresh);
    EXPECT_EQ(dlg.GetRowsButton(CLookupChoice::ERows(7)), nullptr);
    EXPECT_EQ(dlg.GetKindCheck(-1), nullptr);
}

TEST(LogFileImportDlg, LookUpTheImportedAddressesIsOffUntilTickedAndRemembered)
{
    CMemorySettingsStore store;
    {
        CLogFileImportDlg dlg(store);
        EXPECT_FALSE(dlg.GetLookupCheck()->isChecked());
        EXPECT_EQ(dlg.GetLookupCheck()->text(), QStringLiteral("&Look up the imported addresses"));
        dlg.GetLookupCheck()->click();
        dlg.reject();
    }
    EXPECT_EQ(store.GetProfileInt("Settings", "Lookup After Import", -1), -1);
    {
        CLogFileImportDlg dlg(store);
        dlg.GetLookupCheck()->click();
        dlg.accept();
        EXPECT_TRUE(dlg.IsLookupAfterImport());
    }
    EXPECT_EQ(store.GetProfileInt("Settings", "Lookup After Import", 0), 1);
    CLogFileImportDlg again(store);
    EXPECT_TRUE(again.GetLookupCheck()->isChecked());
}
