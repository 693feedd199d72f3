#pragma once

#include <cstdint>
#include <string>

class CNameResolver;

// The server named by an answer's "ReferralServer:" line.
struct CReferralServer {
    std::string m_strHost;
    int m_nPort = 0; // 0 when the line names none
    bool m_bRWhois = false; // rwhois:// rather than whois:// or a bare host
};

// The first line starting with "ReferralServer:" whose value (after blanks) is
// whois://HOST[:PORT][/], rwhois://HOST[:PORT][/] or a bare HOST.
bool FindReferralServer(const std::string& answer, CReferralServer& referral);

// True for addresses a whois answer may send us to: not "this network",
// private, shared, loopback, link-local, documentation, benchmarking,
// multicast or reserved.
bool IsPublicUnicastAddress(uint32_t dwAddress);

// 5 to 15 characters, only digits and dots, exactly three dots. The numbers are not checked.
bool LooksLikeDottedQuad(const std::string& text);

// A forward lookup first, then the text as an address literal; out is the canonical dotted quad.
bool ResolveToDottedQuad(CNameResolver& resolver, const std::string& name, std::string& out);
