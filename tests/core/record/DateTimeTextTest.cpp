#include "core/record/DateTimeText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

// Runs a check under a named LC_TIME locale and restores the previous one.
class CTimeLocale
{
public:
    explicit CTimeLocale(const char* name)
        : m_strPrevious(std::setlocale(LC_TIME, nullptr))
    {
        m_bSet = std::setlocale(LC_TIME, name) != nullptr;
    }
    ~CTimeLocale() { std::setlocale(LC_TIME, m_strPrevious.c_str()); }
    bool IsSet() const { return m_bSet; }

private:
    std::string m_strPrevious;
    bool m_bSet = false;
};

} // namespace

TEST(FormatDateTimeText, DashForValuesThatAreNotARealTime)
{
    CTimeLocale c("C");
    EXPECT_EQ(FormatDateTimeText(COleDateTime()), "-");
    EXPECT_EQ(FormatDateTimeText(COleDateTime(40000.0, COleDateTime::invalid)), "-");
    EXPECT_EQ(FormatDateTimeText(COleDateTime(1e12, COleDateTime::valid)), "-");
    EXPECT_EQ(FormatDateTimeText(COleDateTime(-1e9, COleDateTime::valid)), "-");
    EXPECT_EQ(FormatDateTimeText(COleDateTime::FromComponents(1970, 12, 31, 23, 59, 59)), "-");
    EXPECT_EQ(FormatDateTimeText(COleDateTime::FromComponents(1899, 12, 30, 0, 0, 0)), "-");
    EXPECT_EQ(FormatDateTimeText(COleDateTime::FromComponents(1971, 1, 1, 0, 0, 0)), "1971-01-01 00:00:00");
}

TEST(FormatDateTimeText, FixedFormWithoutAUserLocale)
{
    const COleDateTime dt = COleDateTime::FromComponents(2026, 12, 7, 13, 5, 9);
    {
        CTimeLocale c("C");
        EXPECT_EQ(FormatDateTimeText(dt), "2026-12-07 13:05:09");
    }
    {
        CTimeLocale utf("C.UTF-8");
        if (utf.IsSet()) {
            EXPECT_EQ(FormatDateTimeText(dt), "2026-12-07 13:05:09");
        }
    }
}

TEST(FormatDateTimeText, UserLocaleDateBlankTime)
{
    CTimeLocale de("de_DE.UTF-8");
    if (!de.IsSet())
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    EXPECT_EQ(FormatDateTimeText(COleDateTime::FromComponents(2026, 12, 7, 13, 5, 9)), "07.12.2026 13:05:09");
}
