#include "cli/StopSignals.h"

#include <atomic>
#include <cstdio>

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGHUP, SIGINT};

std::atomic<int> g_nReceived {0};

void OnStop(int nSignal)
{
    int expected = 0;
    g_nReceived.compare_exchange_strong(expected, nSignal);
}

} // namespace

CStopSignals::CStopSignals()
{
    g_nReceived = 0;
    for (int i = 0; i < 3; ++i) {
        struct sigaction action { };
        action.sa_handler = OnStop;
        sigemptyset(&action.sa_mask);
        // The second Ctrl+C gets the default action back: it quits unsaved.
        action.sa_flags = kSignals[i] == SIGINT ? SA_RESETHAND : 0;
        m_bSet[i] = sigaction(kSignals[i], &action, &m_old[i]) == 0;
    }
}

CStopSignals::~CStopSignals()
{
    for (int i = 0; i < 3; ++i)
        if (m_bSet[i])
            sigaction(kSignals[i], &m_old[i], nullptr);
}

int CStopSignals::Received() const
{
    if (g_nReceived.load() == 0 && (std::ferror(stdout) || std::ferror(stderr)))
        NoteOutputFailed();
    return g_nReceived.load();
}

void CStopSignals::IgnoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void CStopSignals::NoteOutputFailed()
{
    OnStop(SIGPIPE);
}

const char* CStopSignals::Name(int nSignal)
{
    switch (nSignal) {
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGINT:
        return "SIGINT";
    case SIGPIPE:
        return "standard output could not be written";
    default:
        return "a signal";
    }
}
