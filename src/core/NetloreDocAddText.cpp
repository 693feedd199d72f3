// Adding addresses from text: typed addresses, text files and web server logs.

#include "core/BatchTexts.h"
#include "core/DottedQuad.h"
#include "core/HostLookup.h"
#include "core/LogFilter.h"
#include "core/NameResolver.h"
#include "core/NetloreDoc.h"
#include "core/Progress.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t npos = std::string_view::npos;

inline bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}
inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

size_t FindBlank(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i)
        if (IsBlank(text[i]))
            return i;
    return npos;
}

// The next CR or LF at or after a position, within [0, end). Remembers the next
// CR and the next LF found so far, so that over the whole walk every byte is
// scanned once by each search: the walk stays linear even when one kind of line
// end is rare or absent.
class CLineEndFinder
{
public:
    CLineEndFinder(std::string_view text, size_t end)
        : m_text(text)
        , m_end(end)
        , m_nCR(Search('\r', 0))
        , m_nLF(Search('\n', 0))
    { }

    size_t Find(size_t from)
    {
        if (m_nCR != npos && m_nCR < from)
            m_nCR = Search('\r', from);
        if (m_nLF != npos && m_nLF < from)
            m_nLF = Search('\n', from);
        return m_nCR < m_nLF ? m_nCR : m_nLF;
    }

private:
    size_t Search(char c, size_t from) const
    {
        if (from >= m_end)
            return npos;
        const void* hit = std::memchr(m_text.data() + from, c, m_end - from);
        return hit ? size_t(static_cast<const char*>(hit) - m_text.data()) : npos;
    }

    std::string_view m_text;
    size_t m_end;
    size_t m_nCR;
    size_t m_nLF;
};

} // namespace

int CNetloreDoc::AddIPsFromText(std::string& strText, bool bConvertHostNames, const std::string* pstrPatterns,
                                CNameResolver& resolver, CProgress& progress)
{
    const int nCountBefore = m_data.GetSize();
    int nLastShown = 0;
    // Views into strText (which is not changed until the end), or into
    // strLastAddress for a host name converted on the last line.
    std::string_view svLastToken = "0.0.0.0";
    std::string strLastAddress;
    std::string strNote;
    std::string strAddress;

    // One line's token and rest; bFullForm for every line but the last.
    auto handleLine = [&](std::string_view line, bool bFullForm) {
        std::string_view token = line;
        std::string_view rest;
        size_t nBlank = FindBlank(line);
        if (nBlank != npos) {
            token = line.substr(0, nBlank);
            rest = line.substr(nBlank + 1);
        }
        if (bFullForm) {
            // Lines that start with a date or another word: take the second field.
            if ((token.empty() || token.find('.') == npos) && rest.size() > 6) {
                size_t nStart = 0;
                while (nStart < rest.size() && IsBlank(rest[nStart]))
                    ++nStart;
                rest.remove_prefix(nStart);
                nBlank = FindBlank(rest);
                if (nBlank != npos) {
                    token = rest.substr(0, nBlank);
                    rest = rest.substr(nBlank + 1);
                }
            }
            // Runs of lines from one address: no second record, no second name lookup.
            if (token == svLastToken)
                return;
        }

        if (IsValidDottedQuad(token)) {
            if (pstrPatterns) {
                if (!LogLineMatches(rest, *pstrPatterns, strNote))
                    return;
                if (AddIP(token))
                    svLastToken = token;
                SetLogNote(token, strNote);
            } else {
                AddIP(token);
                svLastToken = token;
            }
            return;
        }
        // A text with a colon is an IPv6 address or a port, never a host name: no lookup.
        if (!bConvertHostNames || token.find(':') != npos)
            return;
        // Matching before converting spares a blocking lookup for lines that would be dropped anyway.
        if (pstrPatterns && !LogLineMatches(rest, *pstrPatterns, strNote))
            return;
        if (!HostNameToAddress(resolver, std::string(token), strAddress))
            return;
        AddIPWithHostName(strAddress, token);
        if (pstrPatterns) {
            // The note goes to the record of the resolved address, where it can be seen.
            SetLogNote(strAddress, strNote);
            if (bFullForm)
                svLastToken = token;
        } else if (bFullForm) {
            svLastToken = token;
        } else {
            strLastAddress = strAddress;
            svLastToken = strLastAddress;
        }
    };

    progress.Show(BatchTexts::kLocatingAndAdding);
    const std::string_view text = strText;
    const size_t nTotal = text.size();
    bool bCancelled = false;
    if (nTotal > 0) {
        size_t nPos = 0;
        size_t nEnd = nTotal;
        while (nPos < nEnd && IsLineEnd(text[nPos]))
            ++nPos;
        while (nEnd > nPos && IsLineEnd(text[nEnd - 1]))
            --nEnd;

        CLineEndFinder finder(text, nEnd);
        size_t nBreak = finder.Find(nPos);
        while (nBreak != npos) {
            handleLine(text.substr(nPos, nBreak - nPos), true);
            nPos = nBreak;
            while (nPos < nEnd && IsLineEnd(text[nPos]))
                ++nPos;
            if (nPos == nEnd)
                break;
            nBreak = finder.Find(nPos);
            if (progress.PollCancel()) {
                bCancelled = true;
                break;
            }
            const int nAdded = m_data.GetSize() - nCountBefore;
            if (nAdded != nLastShown) {
                char buf[64];
                std::snprintf(buf, sizeof buf, BatchTexts::kAddressesAdded, nAdded);
                progress.SetText(buf);
                nLastShown = nAdded;
            }
            progress.SetPos(int(uint64_t(nTotal - (nEnd - nPos)) * 100 / nTotal));
        }

        if (!bCancelled) {
            std::string_view last = text.substr(nPos, nEnd - nPos);
            while (!last.empty() && (IsBlank(last.front()) || IsLineEnd(last.front())))
                last.remove_prefix(1);
            while (!last.empty() && (IsBlank(last.back()) || IsLineEnd(last.back())))
                last.remove_suffix(1);
            handleLine(last, false);
        }
    }

    const int nAdded = m_data.GetSize() - nCountBefore;
    if (nAdded != 0)
        SetModifiedFlag();
    if (nAdded == 1)
        strText = std::string(svLastToken);
    progress.Close();
    return nAdded;
}
