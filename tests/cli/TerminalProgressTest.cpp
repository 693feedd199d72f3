// The terminal progress is part of the addrscope-cli executable, not of a library:
// its one source file is compiled into this test.
#include "cli/TerminalProgress.cpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>

namespace {

// A pseudo-terminal whose slave side the progress writes to.
class CPty
{
public:
    CPty()
    {
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0)
            return;
        const int slave = open(ptsname(m_nMaster), O_RDWR | O_NOCTTY);
        if (slave >= 0)
            m_pSlave = fdopen(slave, "w");
    }
    ~CPty()
    {
        if (m_pSlave)
            std::fclose(m_pSlave);
        if (m_nMaster >= 0)
            close(m_nMaster);
    }
    FILE* Slave() const { return m_pSlave; }
    std::string Drain()
    {
        std::string out;
        char buf[4096];
        pollfd p {m_nMaster, POLLIN, 0};
        while (poll(&p, 1, 50) > 0) {
            const ssize_t n = read(m_nMaster, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, size_t(n));
        }
        return out;
    }

private:
    int m_nMaster = -1;
    FILE* m_pSlave = nullptr;
};

} // namespace

TEST(TerminalProgress, LineShowsTextBarAndPercent)
{
    EXPECT_EQ(CTerminalProgress::FormatLine("Creating Report", 0),
              "Creating Report [                              ] 0%");
    EXPECT_EQ(CTerminalProgress::FormatLine("x", 50), "x [###############               ] 50%");
    EXPECT_EQ(CTerminalProgress::FormatLine("x", 100), "x [##############################] 100%");
    // Control characters in the text would break the line.
    EXPECT_EQ(CTerminalProgress::FormatLine("a\rb\n", 200), "a b  [##############################] 100%");
}

TEST(TerminalProgress, DrawsOnlyOnATerminal)
{
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        CTerminalProgress progress(file);
        progress.Show("Locating and Adding IP Addresses");
        progress.SetPos(50);
        progress.Close();
    }
    EXPECT_EQ(std::ftell(file), 0L);
    std::fclose(file);

    CPty pty;
    if (!pty.Slave())
        GTEST_SKIP() << "no pseudo-terminal available";
    {
        CTerminalProgress progress(pty.Slave());
        progress.Show("Creating Report");
        progress.Close();
    }
    const std::string drawn = pty.Drain();
    EXPECT_NE(drawn.find("Creating Report ["), std::string::npos) << drawn;
    // Closing wipes the line, so later output starts clean.
    EXPECT_EQ(drawn.back(), '\r');
}

TEST(TerminalProgress, InterruptIsCancelWhileShownAndReportedOnce)
{
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    CTerminalProgress progress(file);
    progress.Show("Locating and Adding IP Addresses");
    std::raise(SIGINT);
    std::raise(SIGINT);
    EXPECT_TRUE(progress.PollCancel());
    EXPECT_FALSE(progress.PollCancel());
    EXPECT_TRUE(progress.WasCancelled());
    progress.Close();

    struct sigaction now { };
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    std::fclose(file);
}
