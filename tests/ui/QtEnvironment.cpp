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
        // Nor the user's answer cache, or another test's: each test program gets
        // a cache folder of its own.
        m_strCacheHome = (std::filesystem::temp_directory_path() / "addrscope-ui-cache-XXXXXX").string();
        if (mkdtemp(m_strCacheHome.data()))
            setenv("XDG_CACHE_HOME", m_strCacheHome.c_str(), 1);
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

private:
    std::string m_strCacheHome;
    std::unique_ptr<QApplication> m_pApp;
};

[[maybe_unused]] ::testing::Environment* const g_pQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

} // namespace
