// The real addrscope program under a virtual X server: a lookup through the quick
// lookup bar against a loopback whois server, with a screenshot left in the build
// folder (addrscope-smoke.png).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string kBinary = std::string(ADDRSCOPE_BINARY_DIR) + "/src/app/addrscope";
const std::string kWhoisd = std::string(ADDRSCOPE_BINARY_DIR) + "/tools/addrscope-whoisd";

bool Built()
{
    return std::filesystem::exists(kBinary) && std::filesystem::exists(kWhoisd);
}

// The smoke script under Xvfb: looks a real answer up and leaves the window's picture
// in strShot, in the display mode strMode (empty: the default).
void RunSmoke(const std::string& strShot, const std::string& strMode)
{
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed (scripts/setup.sh installs it)";
    std::string strCommand = std::string(ADDRSCOPE_SOURCE_DIR) + "/src/app/smoke_test.sh '" + kBinary + "' '" +
                             kWhoisd + "' '" + ADDRSCOPE_TEST_DATA + "' '" + strShot + "'";
    if (!strMode.empty())
        strCommand += " " + strMode;
    const int nStatus = std::system(strCommand.c_str());
    ASSERT_TRUE(WIFEXITED(nStatus));
    if (WEXITSTATUS(nStatus) == 77)
        GTEST_SKIP() << "no virtual X server";
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
    EXPECT_GT(std::filesystem::file_size(strShot), 10000u);
}

} // namespace

TEST(GuiSmoke, LookupUnderXvfbLeavesAScreenshot)
{
    if (!Built())
        GTEST_SKIP() << "addrscope or addrscope-whoisd is not built";
    RunSmoke(std::string(ADDRSCOPE_BINARY_DIR) + "/addrscope-smoke.png", "");
}

TEST(GuiSmoke, DisplayModeFromTheCommandLine)
{
    if (!Built())
        GTEST_SKIP() << "addrscope or addrscope-whoisd is not built";
    // An unknown name is refused before any window appears.
    const int nRefused =
        std::system(("QT_QPA_PLATFORM=offscreen '" + kBinary + "' --display-mode octal 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(nRefused));
    EXPECT_EQ(WEXITSTATUS(nRefused), 2);
    RunSmoke(std::string(ADDRSCOPE_BINARY_DIR) + "/addrscope-smoke-binary.png", "binary");
}
