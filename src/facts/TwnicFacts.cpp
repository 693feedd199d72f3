#include "facts/TwnicFacts.h"

#include "core/text/TextCase.h"

namespace WhoisAnswer {

namespace {

bool IsAsciiText(std::string_view s)
{
    for (char c : s)
        if ((unsigned char)c >= 0x80)
            return false;
    return true;
}

} // namespace

void ReadTwnic(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "TWNIC";
    answer.defaultCountry = "TW";
    CBlock* pCur = nullptr;
    bool bContacts = false;
    bool bAfterBlock = false;
    CLineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const std::string_view t = TrimView(line);
        if (t.empty())
            continue;
        std::string_view key, value;
        const bool bAttr = SplitAttribute(t, key, value, 24);
        if (bAttr && EqualNoCase(key, "Netname")) {
            answer.blocks.emplace_back();
            pCur = &answer.blocks.back();
            pCur->netName = value;
            bContacts = false;
            bAfterBlock = false;
            continue;
        }
        if (!pCur)
            continue;
        if (bAttr && EqualNoCase(key, "Netblock")) {
            SetRangeFrom(*pCur, value);
            bAfterBlock = true;
        } else if (bAttr && ContainsNoCase(key, "contact")) {
            bContacts = true;
        } else if (bContacts) {
            SetIfEmpty(pCur->abuse, FindMailAddress(t));
        } else if (bAfterBlock && !bAttr && IsAsciiText(t)) {
            if (const std::string_view cc = CountryCode(t); !cc.empty())
                SetIfEmpty(pCur->country, cc);
            else
                SetIfEmpty(pCur->holder, t);
        }
    }
}

} // namespace WhoisAnswer
