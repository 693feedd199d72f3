// gtest_main owns main(): the QApplication every widget test needs is made by a
// global test environment registered while the program starts.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

class CQtEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (QApplication::instance())
            return;
        // Widget tests never need a display.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        // Nor the user's answer cache, or another test's: each test gets a cache
        // folder of its own (see CFreshCacheHome).
        m_strCacheHome = (std::filesystem::temp_directory_path() / "addrscope-ui-cache-XXXXXX").string();
        if (!mkdtemp(m_strCacheHome.data()))
            m_strCacheHome.clear();
        s_strCacheRoot = m_strCacheHome;
        static int s_argc = 1;
        static char s_arg0[] = "test_ui";
        static char* s_argv[] = {s_arg0, nullptr};
        m_pApp = std::make_unique<QApplication>(s_argc, s_argv);
    }
    void TearDown() override
    {
        m_pApp.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_strCacheHome, ec);
    }

    static std::string s_strCacheRoot;

private:
    std::string m_strCacheHome;
    std::unique_ptr<QApplication> m_pApp;
};

std::string CQtEnvironment::s_strCacheRoot;

// Every test starts with an empty answer cache folder, so that no window is
// answered from what an earlier test of the same program looked up.
class CFreshCacheHome : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        if (CQtEnvironment::s_strCacheRoot.empty())
            return;
        const std::string strHome = CQtEnvironment::s_strCacheRoot + "/" + std::to_string(++m_nTest);
        setenv("XDG_CACHE_HOME", strHome.c_str(), 1);
    }

private:
    int m_nTest = 0;
};

[[maybe_unused]] const bool g_bFreshCacheHome = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new CFreshCacheHome);
    return true;
}();

[[maybe_unused]] ::testing::Environment* const g_pQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

} // namespace
