// The real addrscope program under a virtual X server: a lookup through the quick
// lookup bar against a loopback whois server, with a screenshot left in the build
// folder (addrscope-smoke.png).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

TEST(GuiSmoke, LookupUnderXvfbLeavesAScreenshot)
{
    const std::string strBinary = std::string(ADDRSCOPE_BINARY_DIR) + "/src/app/addrscope";
    const std::string strWhoisd = std::string(ADDRSCOPE_BINARY_DIR) + "/tools/addrscope-whoisd";
    if (!std::filesystem::exists(strBinary) || !std::filesystem::exists(strWhoisd))
        GTEST_SKIP() << "addrscope or addrscope-whoisd is not built";
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed (scripts/setup.sh installs it)";
    const std::string strShot = std::string(ADDRSCOPE_BINARY_DIR) + "/addrscope-smoke.png";
    const std::string strCommand = std::string(ADDRSCOPE_SOURCE_DIR) + "/src/app/smoke_test.sh '" + strBinary + "' '" +
                                   strWhoisd + "' '" + ADDRSCOPE_TEST_DATA + "' '" + strShot + "'";
    const int nStatus = std::system(strCommand.c_str());
    ASSERT_TRUE(WIFEXITED(nStatus));
    if (WEXITSTATUS(nStatus) == 77)
        GTEST_SKIP() << "no virtual X server";
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
    EXPECT_GT(std::filesystem::file_size(strShot), 10000u);
}

TEST(GuiSmoke, DisplayModeFromTheCommandLine)
{
    const std::string strBinary = std::string(ADDRSCOPE_BINARY_DIR) + "/src/app/addrscope";
    const std::string strWhoisd = std::string(ADDRSCOPE_BINARY_DIR) + "/tools/addrscope-whoisd";
    if (!std::filesystem::exists(strBinary) || !std::filesystem::exists(strWhoisd))
        GTEST_SKIP() << "addrscope or addrscope-whoisd is not built";
    // An unknown name is refused before any window appears.
    const int nRefused =
        std::system(("QT_QPA_PLATFORM=offscreen '" + strBinary + "' --display-mode octal 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(nRefused));
    EXPECT_EQ(WEXITSTATUS(nRefused), 2);

    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed (scripts/setup.sh installs it)";
    const std::string strShot = std::string(ADDRSCOPE_BINARY_DIR) + "/addrscope-smoke-binary.png";
    const std::string strCommand = std::string(ADDRSCOPE_SOURCE_DIR) + "/src/app/smoke_test.sh '" + strBinary + "' '" +
                                   strWhoisd + "' '" + ADDRSCOPE_TEST_DATA + "' '" + strShot + "' binary";
    const int nStatus = std::system(strCommand.c_str());
    ASSERT_TRUE(WIFEXITED(nStatus));
    if (WEXITSTATUS(nStatus) == 77)
        GTEST_SKIP() << "no virtual X server";
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
    EXPECT_GT(std::filesystem::file_size(strShot), 10000u);
}
