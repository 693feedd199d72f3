#include "facts/ArinFacts.h"

#include "facts/IPv6Text.h"

#include "core/text/TextCase.h"

#include <algorithm>
#include <vector>

namespace WhoisAnswer {

// "NetRange:" starts a network; the organisation or customer section and the
// contacts that follow it belong to it. Sections before the first network (the
// older layout printed the organisation first) go to the first network.
void ReadArin(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "ARIN";
    std::vector<CBlock>& blocks = answer.blocks;
    CBlock pending;
    bool bPending = false;
    std::string_view custName, orgName, orgRef, custRef, rAbuse, orgAbuse;
    auto finish = [&](CBlock& b) {
        SetIfEmpty(b.holder, custName);
        SetIfEmpty(b.holder, orgName);
        SetIfEmpty(b.holder, custRef);
        SetIfEmpty(b.holder, orgRef);
        SetIfEmpty(b.abuse, rAbuse);
        SetIfEmpty(b.abuse, orgAbuse);
        custName = orgName = orgRef = custRef = rAbuse = orgAbuse = {};
    };
    CBlock* pCur = nullptr;
    CLineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        if (line.empty() || line[0] == '#' || line[0] == ' ' || line[0] == '\t')
            continue;
        std::string_view key, value;
        if (!SplitAttribute(line, key, value, 24)) {
            // List answers: "Google LLC GOGL (NET-8-8-8-0-2) 8.8.8.0 - 8.8.8.255"
            size_t nHandle = line.find("(NET-");
            if (nHandle == std::string_view::npos)
                nHandle = line.find("(NET6-");
            const size_t nClose = nHandle == std::string_view::npos ? nHandle : line.find(')', nHandle);
            if (nClose != std::string_view::npos) {
                CBlock b;
                b.bListed = true;
                SetRangeFrom(b, line.substr(nClose + 1));
                const std::string_view names = TrimView(line.substr(0, nHandle));
                const size_t nSpace = names.find_last_of(' ');
                if (nSpace != std::string_view::npos) {
                    b.holder = TrimView(names.substr(0, nSpace));
                    b.netName = names.substr(nSpace + 1);
                } else {
                    b.holder = names;
                }
                if (b.HasRange())
                    blocks.push_back(b);
                pCur = nullptr;
            }
            continue;
        }
        if (key == "NetRange") {
            if (pCur)
                finish(*pCur);
            blocks.emplace_back();
            pCur = &blocks.back();
            if (bPending) {
                *pCur = pending;
                bPending = false;
            }
            SetRangeFrom(*pCur, value);
            continue;
        }
        CBlock* pTarget = pCur;
        if (!pTarget) {
            pTarget = &pending;
            bPending = true;
        }
        CBlock& b = *pTarget;
        if (key == "CIDR") {
            if (!b.HasRange()) {
                uint32_t dwA = 0, dwB = 0;
                if (ParseCidrList(value, dwA, dwB)) {
                    b.bRange = true;
                    b.dwStart = dwA;
                    b.dwEnd = dwB;
                } else {
                    b.range6 = IPv6Text::ReadCidrList(value);
                }
            }
        } else if (key == "NetName") {
            SetIfEmpty(b.netName, value);
            const size_t nDash = value.find('-');
            if (IsRirHandle(value.substr(0, nDash)))
                b.bStub = true;
        } else if (key == "NetType") {
            if (ContainsNoCase(value, "Allocated to") || ContainsNoCase(value, "Transferred to"))
                b.bStub = true;
        } else if (key == "OriginAS") {
            if (!AsNumber(value).empty())
                SetIfEmpty(b.originAS, value);
        } else if (key == "Organization") {
            SetIfEmpty(orgRef, WithoutHandle(value));
            const size_t nOpen = value.rfind('(');
            if (nOpen != std::string_view::npos &&
                IsRirHandle(TrimView(value.substr(nOpen + 1, value.size() - nOpen - 2))))
                b.bStub = true;
        } else if (key == "Customer") {
            SetIfEmpty(custRef, WithoutHandle(value));
        } else if (key == "CustName") {
            SetIfEmpty(custName, value);
        } else if (key == "OrgName") {
            SetIfEmpty(orgName, value);
        } else if (key == "OrgId" || key == "OrgID") {
            if (IsRirHandle(value))
                b.bStub = true;
        } else if (key == "Country") {
            SetIfEmpty(b.country, CountryCode(value));
        } else if (key == "RAbuseEmail") {
            SetIfEmpty(rAbuse, FindMailAddress(value));
        } else if (key == "OrgAbuseEmail") {
            SetIfEmpty(orgAbuse, FindMailAddress(value));
        }
    }
    if (pCur)
        finish(*pCur);
    else if (bPending) {
        finish(pending);
        blocks.push_back(pending);
    }
    // One-line list entries only stand in for the full records they summarise.
    bool bFull = false;
    for (const CBlock& b : blocks)
        bFull = bFull || !b.bListed;
    if (bFull)
        std::erase_if(blocks, [](const CBlock& b) { return b.bListed; });
}

} // namespace WhoisAnswer
