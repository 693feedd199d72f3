#pragma once

#include "core/document/Progress.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

// The command line's progress: a one-line bar on stderr, drawn only when stderr is
// a terminal, and Ctrl-C as the Cancel button while it is shown (a second Ctrl-C
// after the loop has polled ends the process as usual once the bar is closed).
class CTerminalProgress : public CProgress
{
public:
    explicit CTerminalProgress(FILE* pStream = stderr);
    ~CTerminalProgress() override;
    CTerminalProgress(const CTerminalProgress&) = delete;
    CTerminalProgress& operator=(const CTerminalProgress&) = delete;

    bool Show(const std::string& strText) override;
    void SetText(const std::string& strText) override;
    void SetPos(int nPos) override;
    bool PollCancel() override;
    void Close() override;

    // True once a poll has reported Cancel.
    bool WasCancelled() const { return m_bCancelled; }

    // The line as drawn: text, bar of 30 cells, percentage ("%d%%", 100 stays 100,
    // other values modulo 100).
    static std::string FormatLine(const std::string& strText, int nPos);

private:
    void Draw(bool bForce);

    FILE* m_pStream;
    bool m_bTerminal;
    bool m_bShown = false;
    bool m_bDirty = false;
    bool m_bCancelled = false;
    std::string m_strText;
    int m_nPos = 0;
    size_t m_nLastWidth = 0;
    std::chrono::steady_clock::time_point m_lastDraw {};
    struct sigaction m_oldAction { };
    bool m_bHandlerSet = false;
};
