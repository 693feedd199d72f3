#pragma once

#include "core/document/Progress.h"

#include <string>
#include <vector>

// A progress the test scripts: it records what the loop showed and presses Cancel
// at a chosen poll. Also counts the polls so tests can see a loop checked per item.
class CScriptedProgress : public CProgress
{
public:
    // Cancel is reported at the poll with this number (1-based); 0 never cancels.
    explicit CScriptedProgress(int nCancelAtPoll = 0)
        : m_nCancelAtPoll(nCancelAtPoll)
    { }

    bool Show(const std::string& strText) override
    {
        ++m_nShows;
        m_bOpen = true;
        m_texts.push_back(strText);
        return true;
    }
    void SetText(const std::string& strText) override { m_texts.push_back(strText); }
    void SetPos(int nPos) override { m_positions.push_back(nPos); }
    bool PollCancel() override
    {
        ++m_nPolls;
        return m_nCancelAtPoll != 0 && m_nPolls == m_nCancelAtPoll;
    }
    void Close() override
    {
        ++m_nCloses;
        m_bOpen = false;
    }

    int m_nCancelAtPoll;
    int m_nShows = 0;
    int m_nCloses = 0;
    int m_nPolls = 0;
    bool m_bOpen = false;
    std::vector<std::string> m_texts; // the Show text, then every SetText
    std::vector<int> m_positions;
};
