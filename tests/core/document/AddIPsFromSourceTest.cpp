#include "core/document/NetloreDoc.h"

#include "support/FakeNameResolver.h"
#include "support/PieceSource.h"
#include "support/ScriptedProgress.h"

#include <gtest/gtest.h>

namespace {

// Everything an import leaves behind that a user can see.
struct CImportOutcome {
    int nAdded = 0;
    std::vector<std::string> records; // address | host name | log note
    std::vector<std::string> texts;
    int nPolls = 0;
    bool bModified = false;

    bool operator==(const CImportOutcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const CImportOutcome& o)
{
    os << o.nAdded << " added, " << o.nPolls << " polls:";
    for (const std::string& r : o.records)
        os << " [" << r << "]";
    return os;
}

// nPiece 0: the whole text through AddIPsFromText; otherwise through a source.
CImportOutcome Import(const std::string& text, size_t nPiece, bool bConvert, const std::string* pPatterns,
                      int nCancelAtPoll = 0)
{
    CNetloreDoc doc;
    CFakeNameResolver resolver;
    resolver.AddHost("www.example.org", 0xC0000201u);
    CScriptedProgress progress(nCancelAtPoll);
    CImportOutcome out;
    if (nPiece == 0) {
        std::string copy = text;
        out.nAdded = doc.AddIPsFromText(copy, bConvert, pPatterns, resolver, progress);
    } else {
        CPieceSource source(text, nPiece);
        out.nAdded = doc.AddIPsFromSource(source, bConvert, pPatterns, resolver, progress);
    }
    for (int i = 0; i < doc.GetData().GetSize(); ++i) {
        const std::string a = doc.GetData().GetIPAddressAt(i);
        out.records.push_back(a + "|" + doc.GetData().GetHostName(a) + "|" + doc.GetData().GetNote(a, 3));
    }
    out.texts = progress.m_texts;
    out.nPolls = progress.m_nPolls;
    out.bModified = doc.IsModified();
    EXPECT_EQ(progress.m_nCloses, 1);
    return out;
}

std::string Line(const std::string& address, const std::string& request, int status)
{
    return address + " - - [07/Dec/2026:12:00:00 +0000] \"" + request + "\" " + std::to_string(status) + " 5 \"-\"";
}

} // namespace

TEST(AddIPsFromSource, EveryCutGivesTheRecordsNotesAndCountsOfTheWholeText)
{
    const std::string log =
        Line("10.0.0.1", "GET /a.php?x=1 HTTP/1.0", 404) + "\n" + Line("10.0.0.1", "GET /b HTTP/1.0", 404) + "\r\n" +
        Line("10.0.0.2", "GET /c HTTP/1.0", 200) + "\n\n\r\n" + Line("www.example.org", "GET /d HTTP/1.0", 404) + "\n" +
        Line("10.0.0.3", "POST /e HTTP/1.0", 404) + "\n";
    std::vector<std::string> texts = {
        "",
        "\r\n\n",
        "1.2.3.4",
        "1.2.3.4\n",
        "\n\n1.2.3.4\n1.2.3.4\n5.6.7.8\n\n",
        "0.0.0.0\n1.2.3.4\n0.0.0.0\n0.0.0.0",
        "2003-01-01 10.1.1.1 GET /\n2003-01-01 10.1.1.2 GET /",
        "1.1.1.1\r2.2.2.2\r\n3.3.3.3\n\r4.4.4.4  \t\r\n",
        "www.example.org\nwww.example.org\n1.2.3.4\nwww.example.org",
        "1.2.3.4\n  www.example.org  \n\n",
        "fe80::1 x\n300.1.1.1\n1.2.3.4:80 y\n\x01\x02\xff 1.2.3.4\n",
        log,
        log + "10.0.0.9",
    };
    const std::string patterns = "\" 404 |";
    for (const std::string& text : texts) {
        for (bool bConvert : {false, true})
            for (const std::string* pPatterns : {static_cast<const std::string*>(nullptr), &patterns}) {
                const CImportOutcome whole = Import(text, 0, bConvert, pPatterns);
                for (size_t nPiece : {1, 2, 3, 5, 8, 13, 1 << 20})
                    EXPECT_EQ(Import(text, nPiece, bConvert, pPatterns), whole)
                        << "piece " << nPiece << ", convert " << bConvert << ", patterns " << (pPatterns != nullptr)
                        << ", text \"" << text << "\"";
            }
    }
}

TEST(AddIPsFromSource, CancelStopsAtTheSameLine)
{
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "10.0.0." + std::to_string(i) + "\n";
    for (int nCancelAt : {1, 3, 19, 20}) {
        const CImportOutcome whole = Import(text, 0, false, nullptr, nCancelAt);
        for (size_t nPiece : {1, 4, 64})
            EXPECT_EQ(Import(text, nPiece, false, nullptr, nCancelAt), whole) << nCancelAt << " " << nPiece;
    }
    EXPECT_EQ(Import(text, 3, false, nullptr, 3).nAdded, 3);
}

TEST(AddIPsFromSource, AnOverlongLineKeepsItsStartAndTheLinesAfterIt)
{
    const size_t nLong = CNetloreDoc::kMaxSourceLine + (size_t(3) << 20) + 12345;
    std::string text = "1.1.1.1 first\n2.2.2.2 " + std::string(nLong, 'x') + "\n3.3.3.3\n";
    CNetloreDoc doc;
    CFakeNameResolver resolver;
    CScriptedProgress progress;
    CPieceSource source(text, 1 << 20);
    uint64_t nDropped = 0;
    EXPECT_EQ(doc.AddIPsFromSource(source, false, nullptr, resolver, progress, &nDropped), 3);
    EXPECT_EQ(nDropped, nLong + 8 - CNetloreDoc::kMaxSourceLine);
}
