#include "facts/JpnicFacts.h"

namespace WhoisAnswer {

void ReadJpnic(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "JPNIC";
    answer.defaultCountry = "JP";
    CBlock b;
    std::string_view japaneseName;
    CLineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const size_t nOpen = line.find('[');
        if (nOpen == std::string_view::npos || nOpen > 4)
            continue;
        const size_t nClose = line.find(']', nOpen);
        if (nClose == std::string_view::npos)
            continue;
        const std::string_view label = line.substr(nOpen + 1, nClose - nOpen - 1);
        std::string_view value = TrimView(line.substr(nClose + 1));
        // The web gateway links the values: "<A HREF=...>133.1.0.0/16</A>".
        if (!value.empty() && value[0] == '<') {
            const size_t nTagEnd = value.find('>');
            value = nTagEnd == std::string_view::npos ? std::string_view() : value.substr(nTagEnd + 1);
            value = TrimView(value.substr(0, value.find('<')));
        }
        if (value.empty())
            continue;
        if (label == "IPネットワークアドレス" || label == "Network Number")
            SetRangeFrom(b, value);
        else if (label == "ネットワーク名" || label == "Network Name")
            SetIfEmpty(b.netName, value);
        else if (label == "Organization")
            SetIfEmpty(b.holder, value);
        else if (label == "組織名")
            SetIfEmpty(japaneseName, value);
        else if (label == "Abuse")
            SetIfEmpty(b.abuse, FindMailAddress(value));
    }
    SetIfEmpty(b.holder, japaneseName);
    if (b.HasRange() || !b.holder.empty())
        answer.blocks.push_back(b);
}

} // namespace WhoisAnswer
