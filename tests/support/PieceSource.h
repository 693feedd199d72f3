#pragma once

#include "core/text/TextSource.h"

#include <algorithm>
#include <string>

// Hands out a text a few bytes at a time, so that lines and line-end runs are cut
// at every possible place. The text must outlive the source.
class CPieceSource : public CTextSource
{
public:
    CPieceSource(const std::string& text, size_t nPiece)
        : m_text(text)
        , m_nPiece(nPiece)
    { }
    bool Read(std::string& strBuffer, size_t nWanted) override
    {
        const size_t n = std::min(std::min(m_nPiece, nWanted), m_text.size() - m_nPos);
        strBuffer.append(m_text, m_nPos, n);
        m_nPos += n;
        return m_nPos < m_text.size();
    }
    int Percent(uint64_t nTextOffset) const override
    {
        return m_text.empty() ? 0 : int(nTextOffset * 100 / m_text.size());
    }

private:
    const std::string& m_text;
    size_t m_nPiece;
    size_t m_nPos = 0;
};
