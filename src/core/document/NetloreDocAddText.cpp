// Adding addresses from text: typed addresses, text files and web server logs.

#include "core/document/BatchTexts.h"
#include "core/document/ImportTally.h"
#include "core/document/LogFilter.h"
#include "core/document/NetloreDoc.h"
#include "core/document/Progress.h"
#include "core/record/DottedQuad.h"
#include "core/record/HostLookup.h"
#include "core/record/IPAddress.h"
#include "core/record/NameResolver.h"
#include "core/text/TextSource.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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

// An IPv6 client as logs and people write it: "2001:db8::1", "[2001:db8::1]" or
// "[2001:db8::1]:443"; true with its RFC 5952 text (an IPv4-mapped one gives the
// dotted IPv4 text). Only tokens with a colon are tried, so IPv4 lines cost nothing.
bool ReadIPv6Token(std::string_view token, std::string& strAddress)
{
    if (token.find(':') == npos)
        return false;
    const CParseResult<CIPAddress> parsed = ParseIPAddressInInput(token);
    if (!parsed)
        return false;
    strAddress = parsed->ToString();
    return true;
}

// An IPv6 address with a zone id ("fe80::1%eth0"): no address here, and no reason
// to look for one in the next field.
bool IsZonedIPv6(std::string_view token)
{
    const size_t nPercent = token.find('%');
    return nPercent != npos && token.substr(0, nPercent).find(':') != npos;
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

// The distinct addresses an import took, by their text: one flat table of hashes
// and places in one block of text, so that meeting an address again costs a probe
// and a compare rather than a node per address and a look-up in the document.
class CTakenAddresses
{
public:
    // True the first time the text comes.
    bool Insert(std::string_view address)
    {
        if ((m_nCount + 1) * 2 > m_entries.size())
            Grow();
        // The top bit set: 0 marks a free entry, and the low bits pick the place.
        const uint64_t qwHash = std::hash<std::string_view>()(address) | (uint64_t(1) << 63);
        const size_t nMask = m_entries.size() - 1;
        for (size_t i = size_t(qwHash) & nMask;; i = (i + 1) & nMask) {
            CEntry& e = m_entries[i];
            if (e.m_qwHash == 0) {
                e = {qwHash, m_texts.size(), address.size()};
                m_texts.append(address);
                ++m_nCount;
                m_nIPv6 += address.find(':') != npos ? 1 : 0;
                return true;
            }
            if (e.m_qwHash == qwHash && std::string_view(m_texts).substr(e.m_nOffset, e.m_nLength) == address)
                return false;
        }
    }
    int64_t Size() const { return int64_t(m_nCount); }
    int64_t IPv6Count() const { return int64_t(m_nIPv6); }

private:
    struct CEntry {
        uint64_t m_qwHash;
        size_t m_nOffset;
        size_t m_nLength;
    };
    void Grow()
    {
        std::vector<CEntry> old(std::max<size_t>(64, m_entries.size() * 2), CEntry {0, 0, 0});
        old.swap(m_entries);
        const size_t nMask = m_entries.size() - 1;
        for (const CEntry& e : old) {
            if (e.m_qwHash == 0)
                continue;
            size_t i = size_t(e.m_qwHash) & nMask;
            while (m_entries[i].m_qwHash != 0)
                i = (i + 1) & nMask;
            m_entries[i] = e;
        }
    }
    std::vector<CEntry> m_entries;
    std::string m_texts;
    size_t m_nCount = 0;
    size_t m_nIPv6 = 0;
};

// The line rules of AddIPsFromText, applied to a text given whole or in pieces.
// The last accepted token is kept as a copy, since a piece's bytes do not outlive it.
class CLineAdder
{
public:
    CLineAdder(CNetloreDoc& doc, bool bConvertHostNames, const std::string* pstrPatterns, CNameResolver& resolver,
               CProgress& progress)
        : m_doc(doc)
        , m_bConvert(bConvertHostNames)
        , m_pstrPatterns(pstrPatterns)
        , m_resolver(resolver)
        , m_progress(progress)
        , m_nCountBefore(doc.GetData().GetSize())
    { }

    int Added() const { return m_doc.GetData().GetSize() - m_nCountBefore; }
    const std::string& LastToken() const { return m_strLastToken; }
    CImportTally Tally() const
    {
        CImportTally tally = m_tally;
        tally.m_nAddresses = m_taken.Size();
        tally.m_nNew = Added();
        tally.m_nAddressesIPv6 = m_taken.IPv6Count();
        const CIPDataArray& data = m_doc.GetData();
        for (int i = m_nCountBefore; i < data.GetSize(); ++i)
            tally.m_nNewIPv6 += data.GetAt(i)->IsIPv6() ? 1 : 0;
        return tally;
    }

    // Walks the lines of text[nPos, nEnd) that end in a line break, each in full form,
    // and returns where the rest (the last line) starts, or npos when the user
    // cancelled. bMoreFollows: more text comes after nEnd, so a line whose breaks
    // reach nEnd is not the last one. percent(position) gives the bar's value.
    template <class Percent>
    size_t WalkLines(std::string_view text, size_t nPos, size_t nEnd, bool bMoreFollows, const Percent& percent)
    {
        CLineEndFinder finder(text, nEnd);
        size_t nBreak = finder.Find(nPos);
        while (nBreak != npos) {
            HandleLine(text.substr(nPos, nBreak - nPos), true);
            nPos = nBreak;
            while (nPos < nEnd && IsLineEnd(text[nPos]))
                ++nPos;
            if (nPos == nEnd && !bMoreFollows)
                break;
            nBreak = nPos == nEnd ? npos : finder.Find(nPos);
            if (m_progress.PollCancel())
                return npos;
            const int nAdded = Added();
            if (nAdded != m_nLastShown) {
                char buf[64];
                std::snprintf(buf, sizeof buf, BatchTexts::kAddressesAdded, nAdded);
                m_progress.SetText(buf);
                m_nLastShown = nAdded;
            }
            m_progress.SetPos(percent(nPos));
        }
        return nPos;
    }

    // The last line, in short form.
    void LastLine(std::string_view last)
    {
        while (!last.empty() && (IsBlank(last.front()) || IsLineEnd(last.front())))
            last.remove_prefix(1);
        while (!last.empty() && (IsBlank(last.back()) || IsLineEnd(last.back())))
            last.remove_suffix(1);
        HandleLine(last, false);
    }

private:
    // One line's token and rest; bFullForm for every line but the last.
    void HandleLine(std::string_view line, bool bFullForm)
    {
        ++m_tally.m_nLines;
        if (line.find('\0') != npos) {
            ++m_tally.m_nDamaged;
            return;
        }
        std::string_view token = line;
        std::string_view rest;
        size_t nBlank = FindBlank(line);
        if (nBlank != npos) {
            token = line.substr(0, nBlank);
            rest = line.substr(nBlank + 1);
        }
        bool bIPv6 = false; // token read as an IPv6 address into m_strAddress
        if (bFullForm) {
            // Lines that start with a date or another word: take the second field.
            // (A token equal to the last one, without a dot, is an IPv6 address read before.)
            if ((token.empty() || token.find('.') == npos) && rest.size() > 6 && token != m_strLastToken &&
                !IsZonedIPv6(token) && !(bIPv6 = ReadIPv6Token(token, m_strAddress))) {
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
            // The line still counts as matching when it would have matched.
            if (token == m_strLastToken) {
                if (!m_pstrPatterns || LogLineMatches(rest, *m_pstrPatterns, m_strScratch))
                    ++m_tally.m_nMatching;
                return;
            }
        }

        if (IsValidDottedQuad(token)) {
            if (m_pstrPatterns) {
                if (!LogLineMatches(rest, *m_pstrPatterns, m_strNote))
                    return;
                if (m_doc.AddIP(token))
                    m_strLastToken = token;
                m_doc.SetLogNote(token, m_strNote);
                Took(token);
            } else {
                // An address met before in this import has its record already.
                if (Took(token))
                    m_doc.AddIP(token);
                m_strLastToken = token;
            }
            return;
        }
        if (bIPv6 || ReadIPv6Token(token, m_strAddress)) {
            // Kept under its RFC 5952 text, which is also what a run of lines from
            // the client compares with.
            if (m_pstrPatterns && !LogLineMatches(rest, *m_pstrPatterns, m_strNote))
                return;
            if (Took(m_strAddress))
                m_doc.AddIP(m_strAddress);
            if (m_pstrPatterns)
                m_doc.SetLogNote(m_strAddress, m_strNote);
            m_strLastToken = m_strAddress;
            return;
        }
        // A text with a colon is an IPv6 address or a port, never a host name: no lookup.
        if (!m_bConvert || token.find(':') != npos) {
            ++m_tally.m_nNotAddress;
            return;
        }
        // Matching before converting spares a blocking lookup for lines that would be dropped anyway.
        if (m_pstrPatterns && !LogLineMatches(rest, *m_pstrPatterns, m_strNote))
            return;
        if (!HostNameToAddress(m_resolver, std::string(token), m_strAddress)) {
            ++m_tally.m_nNotAddress;
            return;
        }
        Took(m_strAddress);
        m_doc.AddIPWithHostName(m_strAddress, token);
        if (m_pstrPatterns) {
            // The note goes to the record of the resolved address, where it can be seen.
            m_doc.SetLogNote(m_strAddress, m_strNote);
            if (bFullForm)
                m_strLastToken = token;
        } else if (bFullForm) {
            m_strLastToken = token;
        } else {
            m_strLastToken = m_strAddress;
        }
    }

    // Counts a matching line's address; true the first time the import meets it
    // (whose record is then added, if it is not in the document yet).
    bool Took(std::string_view address)
    {
        ++m_tally.m_nMatching;
        return m_taken.Insert(address);
    }

    CNetloreDoc& m_doc;
    bool m_bConvert;
    const std::string* m_pstrPatterns;
    CNameResolver& m_resolver;
    CProgress& m_progress;
    int m_nCountBefore;
    int m_nLastShown = 0;
    std::string m_strLastToken = "0.0.0.0";
    std::string m_strNote;
    std::string m_strAddress;
    std::string m_strScratch;
    CImportTally m_tally;
    CTakenAddresses m_taken;
};

// A piece of the source is read this big; lines are handled once a piece holds them whole.
constexpr size_t kSourcePiece = size_t(1) << 20;

} // namespace

int CNetloreDoc::AddIPsFromText(std::string& strText, bool bConvertHostNames, const std::string* pstrPatterns,
                                CNameResolver& resolver, CProgress& progress)
{
    CLineAdder adder(*this, bConvertHostNames, pstrPatterns, resolver, progress);
    progress.Show(BatchTexts::kLocatingAndAdding);
    const std::string_view text = strText;
    const size_t nTotal = text.size();
    if (nTotal > 0) {
        size_t nPos = 0;
        size_t nEnd = nTotal;
        while (nPos < nEnd && IsLineEnd(text[nPos]))
            ++nPos;
        while (nEnd > nPos && IsLineEnd(text[nEnd - 1]))
            --nEnd;
        nPos = adder.WalkLines(text, nPos, nEnd, false,
                               [&](size_t n) { return int(uint64_t(nTotal - (nEnd - n)) * 100 / nTotal); });
        if (nPos != npos)
            adder.LastLine(text.substr(nPos, nEnd - nPos));
    }

    const int nAdded = adder.Added();
    if (nAdded != 0)
        SetModifiedFlag();
    if (nAdded == 1)
        strText = adder.LastToken();
    progress.Close();
    return nAdded;
}

int CNetloreDoc::AddIPsFromSource(CTextSource& source, bool bConvertHostNames, const std::string* pstrPatterns,
                                  CNameResolver& resolver, CProgress& progress, uint64_t* pnBytesDropped,
                                  CImportTally* pTally)
{
    CLineAdder adder(*this, bConvertHostNames, pstrPatterns, resolver, progress);
    progress.Show(BatchTexts::kLocatingAndAdding);

    // buffer holds the text from offset nBase on: at most the line not yet known to be
    // complete and the piece just read.
    std::string buffer;
    buffer.reserve(2 * kSourcePiece);
    uint64_t nBase = 0;
    uint64_t nDropped = 0;
    bool bStarted = false; // the text's leading line ends are behind us
    bool bDiscarding = false; // dropping the rest of an overlong line
    bool bCancelled = false;
    bool bMore = true;
    while (bMore) {
        const size_t nOld = buffer.size();
        bMore = source.Read(buffer, kSourcePiece);
        if (bDiscarding) {
            const size_t nStop = buffer.find_first_of("\r\n", nOld);
            const size_t nCut = (nStop == std::string::npos ? buffer.size() : nStop) - nOld;
            buffer.erase(nOld, nCut);
            nBase += nCut;
            nDropped += nCut;
            bDiscarding = nStop == std::string::npos;
        }
        if (!bStarted) {
            size_t n = 0;
            while (n < buffer.size() && IsLineEnd(buffer[n]))
                ++n;
            buffer.erase(0, n);
            nBase += n;
            bStarted = !buffer.empty();
        }
        if (!bMore)
            break;
        // The lines before the last line start that follows a break are complete, and
        // text follows each of them: they take the full form.
        size_t nSplit = buffer.size();
        while (nSplit > 0 && !(IsLineEnd(buffer[nSplit - 1]) && nSplit < buffer.size() && !IsLineEnd(buffer[nSplit])))
            --nSplit;
        if (nSplit > 0) {
            const std::string_view text = buffer;
            if (adder.WalkLines(text, 0, nSplit, true,
                                [&](size_t n) { return std::min(source.Percent(nBase + n), 100); }) == npos) {
                bCancelled = true;
                break;
            }
            buffer.erase(0, nSplit);
            nBase += nSplit;
        } else if (buffer.size() > kMaxSourceLine && buffer.find_first_of("\r\n") == std::string::npos) {
            // No log has such lines: keep the start, where the token and the request stand.
            nDropped += buffer.size() - kMaxSourceLine;
            nBase += buffer.size() - kMaxSourceLine;
            buffer.resize(kMaxSourceLine);
            bDiscarding = true;
        }
    }
    if (!bCancelled && (bStarted || nBase > 0)) {
        const std::string_view text = buffer;
        size_t nEnd = text.size();
        while (nEnd > 0 && IsLineEnd(text[nEnd - 1]))
            --nEnd;
        const size_t nPos =
            adder.WalkLines(text, 0, nEnd, false, [&](size_t n) { return std::min(source.Percent(nBase + n), 100); });
        if (nPos != npos)
            adder.LastLine(text.substr(nPos, nEnd - nPos));
    }

    if (pnBytesDropped)
        *pnBytesDropped = nDropped;
    if (pTally)
        *pTally = adder.Tally();
    const int nAdded = adder.Added();
    if (nAdded != 0)
        SetModifiedFlag();
    progress.Close();
    return nAdded;
}
