#include "cli/CliParam.h"

#include <algorithm>

std::vector<std::string> CCliParam::Names() const
{
    if (!IsOption())
        return {m_pszNames};
    std::vector<std::string> names;
    const std::string all = m_pszNames;
    size_t start = 0;
    while (start <= all.size()) {
        const size_t comma = std::min(all.find(',', start), all.size());
        if (comma > start)
            names.push_back(all.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

std::string CCliParam::Label() const
{
    std::string label;
    for (const std::string& name : Names())
        label += (label.empty() ? "" : ", ") + name;
    if (m_kind == ECliParam::kValue)
        label += std::string(" ") + m_pszValue;
    return label;
}

std::string CliParamLines(const std::vector<CCliParam>& params)
{
    size_t nWidth = 0;
    for (const CCliParam& p : params)
        nWidth = std::max(nWidth, p.Label().size());
    std::string lines;
    for (const CCliParam& p : params) {
        const std::string label = p.Label();
        lines += "  " + label + std::string(nWidth + 2 - label.size(), ' ') + p.m_pszHelp + "\n";
    }
    return lines;
}
