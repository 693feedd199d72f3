#pragma once

#include "facts/RecordStatus.h"

#include <string>

class CNameResolver;
class CWhoisServerTable;

// How an exchange ended.
enum class EWhoisQueryEnd
{
    complete, // the server closed in an orderly way after answering
    refused, // no server, or a query that may not be sent
    unresolved, // the server's name did not resolve
    connectFailed, // no connection was made (refused, unreachable)
    connectTimedOut, // no connection within the connect time-out
    sendFailed,
    receiveFailed, // the connection broke (a reset) while the answer came
    timedOut, // the idle or the whole-answer time-out ended it
    tooLong, // the answer passed the size cap and was cut there
};

// An answer cut by the size cap or a time-out is not an answer from that server:
// what arrived is only its beginning.
inline bool IsCutShort(EWhoisQueryEnd end)
{
    return end == EWhoisQueryEnd::timedOut || end == EWhoisQueryEnd::tooLong;
}

const char* DescribeWhoisQueryEnd(EWhoisQueryEnd end);

// Why an exchange that ended so gave no answer; kNone for a complete one (whose
// text may still be empty: the caller tells kNoAnswer from an answer).
ELookupFailure FailureOfQueryEnd(EWhoisQueryEnd end);

// One exchange with a whois or rwhois server: connect, send the query line
// "query\r\n", read until the server closes. True only when the server closed
// in an orderly way after the query was sent. An empty server returns false
// and leaves result untouched; otherwise result is emptied first and, on
// false, keeps whatever arrived before the failure. The table's connect,
// idle and whole-answer time-outs and its answer bound end an exchange like a
// receive error.
// A query longer than 125 characters or holding a line break is refused:
// false, nothing sent.
// pEnd, when given, says how the exchange ended; pZeroByte, when given, is set
// when a zero byte cut a piece of the answer short (what followed it in that piece
// was dropped) and left alone otherwise.
bool WhoisQuery(std::string query, std::string server, std::string& result, int port, const CWhoisServerTable& limits,
                CNameResolver& resolver, EWhoisQueryEnd* pEnd = nullptr, bool* pZeroByte = nullptr);
