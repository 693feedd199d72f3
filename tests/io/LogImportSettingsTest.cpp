#include "io/LogImportSettings.h"

#include "core/settings/MemorySettingsStore.h"

#include <gtest/gtest.h>

TEST(LogImportSettings, PatternListInTheDialogsOrder)
{
    CLogImportSettings s;
    EXPECT_EQ(s.BuildPatterns(), "");
    s.m_bError = true;
    EXPECT_EQ(s.BuildPatterns(), "\" 404 |");
    s.m_bExploit = true;
    s.m_bDownload = true;
    s.m_strDownloadFile = "/private/report.pdf";
    s.m_bCustom = true;
    s.m_strCustomText = "cltreq";
    EXPECT_EQ(s.BuildPatterns(), "\" 404 |/default.ida?|/scripts/root.exe?|GET /_vti_inf.html|/_vti_bin/owssvr.dll?|"
                                 "/MSOffice/cltreq.asp?|/private/report.pdf|cltreq");
    // Texts of unticked conditions are not used.
    s.m_bError = s.m_bExploit = s.m_bCustom = false;
    EXPECT_EQ(s.BuildPatterns(), "/private/report.pdf|");
}

TEST(LogImportSettings, SavedUnderTheirOwnNamesAndReadBack)
{
    CMemorySettingsStore store;
    CLogImportSettings s;
    s.Load(store);
    EXPECT_FALSE(s.m_bError || s.m_bExploit || s.m_bDownload || s.m_bCustom);
    EXPECT_EQ(s.m_strDownloadFile, "");
    EXPECT_EQ(s.m_strCustomText, "");

    s.m_bExploit = true;
    s.m_bDownload = true;
    s.m_strDownloadFile = "/a.pdf";
    s.m_bCustom = true;
    s.m_strCustomText = "cltreq|";
    s.Save(store);
    EXPECT_EQ(store.GetProfileInt("Settings", "Log File Error", 7), 0);
    EXPECT_EQ(store.GetProfileInt("Settings", "Log File Exploit", 7), 1);
    EXPECT_EQ(store.GetProfileInt("Settings", "Log File Download", 7), 1);
    EXPECT_EQ(store.GetProfileInt("Settings", "Log File Custom", 7), 1);
    EXPECT_EQ(store.GetProfileString("Settings", "Log File Download File"), "/a.pdf");
    EXPECT_EQ(store.GetProfileString("Settings", "Log File Custom Text"), "cltreq|");

    CLogImportSettings back;
    back.Load(store);
    EXPECT_EQ(back.BuildPatterns(), s.BuildPatterns());
}

TEST(LogImportSettings, OddStoredValuesReadAsTicksOrDefaults)
{
    CMemorySettingsStore store;
    store.WriteProfileString("Settings", "Log File Error", "junk");
    store.WriteProfileString("Settings", "Log File Exploit", "2");
    CLogImportSettings s;
    s.Load(store);
    EXPECT_FALSE(s.m_bError);
    EXPECT_TRUE(s.m_bExploit);
}
