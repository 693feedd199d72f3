#include "core/document/LogFilter.h"

#include <gtest/gtest.h>

namespace {

const char kExploits[] =
    "/default.ida?|/scripts/root.exe?|GET /_vti_inf.html|/_vti_bin/owssvr.dll?|/MSOffice/cltreq.asp?|";

// The rest of a combined-format line after its address token.
std::string Rest(const std::string& request, int status)
{
    return "- - [10/Oct/2000:13:55:36 -0700] \"" + request + "\" " + std::to_string(status) +
           " 2326 \"http://example.com/start.html\" \"Mozilla/4.08 [en] (Win98; I ;Nav)\"";
}

} // namespace

TEST(LogLineMatches, PageNotFoundNeedsTheClosingQuoteBeforeTheStatus)
{
    std::string note;
    EXPECT_TRUE(LogLineMatches(Rest("GET /missing.html HTTP/1.0", 404), "\" 404 |", note));
    EXPECT_EQ(note, "\"GET /missing.html HTTP/1.0\"");

    EXPECT_FALSE(LogLineMatches(Rest("GET /404 HTTP/1.0", 200), "\" 404 |", note));
    EXPECT_FALSE(LogLineMatches(Rest("GET /a?x=\" 40 HTTP/1.0", 200), "\" 404 |", note));
}

TEST(LogLineMatches, PatternsNeedTheirBarAndEmptyOnesAreSkipped)
{
    const std::string rest = Rest("GET /MSOffice/cltreq.asp?UL=1 HTTP/1.1", 404);
    std::string note = "untouched";
    EXPECT_FALSE(LogLineMatches(rest, "cltreq", note));
    EXPECT_FALSE(LogLineMatches(rest, "", note));
    EXPECT_FALSE(LogLineMatches(rest, "|||", note));
    EXPECT_FALSE(LogLineMatches(rest, "nothing|cltreq", note));
    EXPECT_EQ(note, "untouched");
    EXPECT_TRUE(LogLineMatches(rest, "cltreq|", note));
    EXPECT_TRUE(LogLineMatches(rest, "||nothing||cltreq|", note));
    EXPECT_EQ(note, "\"GET /MSOffice/cltreq.asp\"");
}

TEST(LogLineMatches, PatternsAreCaseSensitive)
{
    std::string note;
    EXPECT_FALSE(LogLineMatches(Rest("GET /msoffice/CLTREQ.asp HTTP/1.1", 200), "cltreq|", note));
}

TEST(LogLineMatches, BuiltInExploitList)
{
    std::string note;
    EXPECT_EQ(std::string(kExploits).size(), 96u);
    EXPECT_TRUE(LogLineMatches(Rest("GET /default.ida?NNNNNNNN%u9090 HTTP/1.0", 400), kExploits, note));
    EXPECT_EQ(note, "\"GET /default.ida\"");
    EXPECT_TRUE(LogLineMatches(Rest("GET /scripts/root.exe?/c+dir HTTP/1.0", 404), kExploits, note));
    EXPECT_EQ(note, "\"GET /scripts/root.exe\"");
    EXPECT_TRUE(LogLineMatches(Rest("GET /_vti_inf.html HTTP/1.0", 404), kExploits, note));
    EXPECT_EQ(note, "\"GET /_vti_inf.html HTTP/1.0\"");
    // Without its question mark the DLL path is an ordinary request.
    EXPECT_FALSE(LogLineMatches(Rest("GET /_vti_bin/owssvr.dll HTTP/1.0", 404), kExploits, note));
}

TEST(RewriteLogNote, KeepsTheQuotedRequestWithoutItsQuery)
{
    EXPECT_EQ(RewriteLogNote(Rest("GET /a.php?x=1 HTTP/1.0", 404)), "\"GET /a.php\"");
    EXPECT_EQ(RewriteLogNote(Rest("GET /index.html HTTP/1.0", 404)), "\"GET /index.html HTTP/1.0\"");
    EXPECT_EQ(RewriteLogNote(Rest("POST /private/report.pdf?id=7 HTTP/1.1", 200)), "\"POST /private/report.pdf\"");
}

TEST(RewriteLogNote, OtherMethodsKeepTheLineUpToTheFirstQuoteBeforeABlank)
{
    EXPECT_EQ(RewriteLogNote(Rest("SEARCH / HTTP/1.0", 404)), "- - [10/Oct/2000:13:55:36 -0700] \"SEARCH / HTTP/1.0\"");
    // No quote-blank pair at all: the whole rest stays.
    EXPECT_EQ(RewriteLogNote("GET /x 404"), "GET /x 404");
    // A question mark without a quote after it is kept.
    EXPECT_EQ(RewriteLogNote("\"GET /a?b"), "\"GET /a?b");
    // The quote after the query may be the request's closing one or a later one.
    EXPECT_EQ(RewriteLogNote("x ? y \"z"), "x \"z");
    EXPECT_EQ(RewriteLogNote(""), "");
}
