#pragma once

#include "cli/StopSignals.h"
#include "core/document/Progress.h"

// A long loop's progress that also reports Cancel once a stop signal has arrived,
// so SIGTERM and SIGHUP end it the way Ctrl+C does: with what was done kept.
class CStopProgress : public CProgress
{
public:
    CStopProgress(CProgress& inner, const CStopSignals& signals)
        : m_inner(inner)
        , m_signals(signals)
    { }

    bool Show(const std::string& strText) override { return m_inner.Show(strText); }
    void SetText(const std::string& strText) override { m_inner.SetText(strText); }
    void SetPos(int nPos) override { m_inner.SetPos(nPos); }
    bool PollCancel() override { return m_inner.PollCancel() || m_signals.Received() != 0; }
    void Close() override { m_inner.Close(); }

private:
    CProgress& m_inner;
    const CStopSignals& m_signals;
};
