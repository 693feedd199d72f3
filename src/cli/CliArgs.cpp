#include "cli/CliArgs.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace {

using CLI::detail::Classifier;

// CLI11 keeps the words it did not take, each with how it read it (option-like,
// the "--" mark, a plain word); a subclass may look at them.
class CWordParser : public CLI::App
{
public:
    const missing_t& Left() const { return missing_; }
};

struct COptionSlot {
    const CCliParam* m_pParam;
    CLI::Option* m_pOption;
};

bool IsValueOption(const std::string& strName, const std::vector<COptionSlot>& slots)
{
    return std::any_of(slots.begin(), slots.end(), [&strName](const COptionSlot& s) {
        const std::vector<std::string> names = s.m_pParam->Names();
        return s.m_pParam->m_kind == ECliParam::kValue && std::find(names.begin(), names.end(), strName) != names.end();
    });
}

// "--page=" is an empty value; CLI11 would take the next word for it instead.
std::vector<std::string> SplitEmptyValues(const std::vector<std::string>& words, const std::vector<COptionSlot>& slots,
                                          bool bUpToFirstWord)
{
    std::vector<std::string> out;
    out.reserve(words.size());
    bool bDone = false;
    bool bValueNext = false;
    for (const std::string& w : words) {
        if (bValueNext || bDone) {
            bValueNext = false;
            out.push_back(w);
            continue;
        }
        bDone = w == "--" || (bUpToFirstWord && (w.empty() || w[0] != '-'));
        if (!bDone && w.size() > 3 && w.compare(0, 2, "--") == 0 && w.back() == '=' &&
            IsValueOption(w.substr(0, w.size() - 1), slots)) {
            out.push_back(w.substr(0, w.size() - 1));
            out.emplace_back();
            continue;
        }
        bValueNext = bUpToFirstWord && IsValueOption(w, slots);
        out.push_back(w);
    }
    return out;
}

// A value is missing only when its option is the last word: "-o", or "-qo" where
// -o ends a group of short options.
void NoteMissingValue(CCliParseResult& result, const std::string& strLast, const std::vector<COptionSlot>& slots)
{
    result.m_error = ECliParseError::kMissingValue;
    result.m_strWord = strLast;
    for (const COptionSlot& s : slots) {
        if (s.m_pParam->m_kind != ECliParam::kValue)
            continue;
        for (const std::string& name : s.m_pParam->Names()) {
            const bool bShort = name.size() == 2 && name[0] == '-' && name[1] != '-';
            if (strLast == name ||
                (bShort && strLast.size() > 2 && strLast[0] == '-' && strLast[1] != '-' && strLast.back() == name[1])) {
                result.m_strWord = name;
                result.m_pOption = s.m_pParam;
                return;
            }
        }
    }
}

} // namespace

const std::string& CCliArgs::Value(const std::string& strOption) const
{
    static const std::string kNone;
    const auto it = m_values.find(strOption);
    return it == m_values.end() || it->second.empty() ? kNone : it->second.back();
}

void CCliArgs::SetValues(const CCliParam& option, const std::vector<std::string>& values)
{
    for (const std::string& name : option.Names())
        m_values[name] = values;
}

std::string CCliParseResult::Message() const
{
    switch (m_error) {
    case ECliParseError::kNone:
        return "";
    case ECliParseError::kUnknownOption:
        return "unknown option " + m_strWord;
    case ECliParseError::kMissingValue:
        return m_strWord + " " + (m_pOption ? m_pOption->m_pszMissing : "needs a value");
    case ECliParseError::kRefused:
        return m_strWord;
    }
    return m_strWord;
}

CCliParseResult ParseCliWords(const std::vector<const std::vector<CCliParam>*>& tables,
                              const std::vector<std::string>& words, bool bUpToFirstWord)
{
    CCliParseResult result;
    CWordParser parser;
    // --help is declared like every other option (in the common table); the caller
    // decides what it does.
    parser.set_help_flag();
    parser.allow_extras();
    parser.prefix_command(bUpToFirstWord);
    std::vector<COptionSlot> slots;
    for (const std::vector<CCliParam>* pTable : tables)
        for (const CCliParam& p : *pTable) {
            if (!p.IsOption())
                continue;
            CLI::Option* o =
                p.m_kind == ECliParam::kFlag ? parser.add_flag(p.m_pszNames) : parser.add_option(p.m_pszNames);
            // Given twice, the last value counts.
            o->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
            slots.push_back({&p, o});
        }

    std::vector<std::string> reversed = SplitEmptyValues(words, slots, bUpToFirstWord);
    std::reverse(reversed.begin(), reversed.end());
    const std::string strLast = reversed.empty() ? "" : reversed.front();
    try {
        parser.parse(reversed);
    } catch (const CLI::ArgumentMismatch&) {
        NoteMissingValue(result, strLast, slots);
    } catch (const CLI::Error& e) {
        result.m_error = ECliParseError::kRefused;
        result.m_strWord = e.what();
    }

    // What was read before an error is kept, for the caller to look at.
    for (const COptionSlot& s : slots) {
        if (s.m_pOption->count() == 0)
            continue;
        const std::vector<std::string>& values = s.m_pOption->results();
        if (s.m_pParam->m_kind == ECliParam::kFlag) {
            // "--json=1": a flag takes no value.
            const auto given =
                std::find_if(values.begin(), values.end(), [](const std::string& v) { return v != "true"; });
            if (given != values.end() && result.m_error == ECliParseError::kNone) {
                const std::vector<std::string>& lnames = s.m_pOption->get_lnames();
                result.m_error = ECliParseError::kUnknownOption;
                result.m_strWord = (lnames.empty() ? std::string("-") : "--" + lnames.front()) + "=" + *given;
            }
        }
        result.m_args.SetValues(*s.m_pParam, values);
    }

    bool bEnded = false;
    for (const auto& [kind, word] : parser.Left()) {
        if (bUpToFirstWord) {
            result.m_args.AddWord(word);
            continue;
        }
        if (!bEnded && kind == Classifier::POSITIONAL_MARK) {
            bEnded = true;
            continue;
        }
        // CLI11 takes "-@" or "---x" for plain words; they are unknown options all the same.
        if (!bEnded && word.size() > 1 && word[0] == '-') {
            if (result.m_error == ECliParseError::kNone) {
                result.m_error = ECliParseError::kUnknownOption;
                result.m_strWord = word;
            }
            continue;
        }
        result.m_args.AddWord(word);
    }
    return result;
}
