#pragma once

#include <string>

class CNameResolver;
class CWhoisServerTable;

// One exchange with a whois or rwhois server: connect, send the query line
// "query\r\n", read until the server closes. True only when the server closed
// in an orderly way after the query was sent. An empty server returns false
// and leaves result untouched; otherwise result is emptied first and, on
// false, keeps whatever arrived before the failure. The table's connect,
// idle and whole-answer time-outs and its answer bound end an exchange like a
// receive error.
// A query longer than 125 characters or holding a line break is refused:
// false, nothing sent.
bool WhoisQuery(std::string query, std::string server, std::string& result, int port, const CWhoisServerTable& limits,
                CNameResolver& resolver);
