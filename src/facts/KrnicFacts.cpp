#include "facts/KrnicFacts.h"

namespace WhoisAnswer {

void ReadKrnic(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "KRNIC";
    answer.defaultCountry = "KR";
    if (const size_t nEnglish = text.find("# ENGLISH"); nEnglish != std::string_view::npos)
        text = text.substr(nEnglish);
    CLineReader lines(text);
    std::string_view line;
    CBlock* pCur = nullptr;
    while (lines.Next(line)) {
        if (line.find("[ Network Information ]") != std::string_view::npos) {
            answer.blocks.emplace_back();
            pCur = &answer.blocks.back();
            continue;
        }
        std::string_view key, value;
        if (!pCur || !SplitAttribute(line, key, value))
            continue;
        if (key == "IPv4 Address")
            SetRangeFrom(*pCur, value);
        else if (key == "Organization Name")
            SetIfEmpty(pCur->holder, value);
        else if (key == "Service Name")
            SetIfEmpty(pCur->netName, value);
        else if (key == "E-Mail")
            SetIfEmpty(pCur->abuse, FindMailAddress(value));
    }
}

} // namespace WhoisAnswer
