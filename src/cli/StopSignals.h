#pragma once

#include <csignal>

// SIGTERM, SIGHUP and the first SIGINT ask a long run to stop: a closed terminal,
// `timeout` or `kill` must not throw away the finished work. The handlers only
// note the signal; the run polls Received(), stops starting work and saves. A
// second SIGINT ends the process at once, as users expect of Ctrl+C.
class CStopSignals
{
public:
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    // The first stop signal received, 0 when none. A failed write to standard output
    // or error counts as SIGPIPE: with nobody reading, the run saves and ends.
    int Received() const;
    static const char* Name(int nSignal);

    // A closed pipe must not kill a command before it saves: writes fail with EPIPE
    // instead, and the command sees the failure.
    static void IgnoreBrokenPipe();
    // Called when a write to standard output or error failed.
    static void NoteOutputFailed();

private:
    struct sigaction m_old[3] {};
    bool m_bSet[3] {};
};
