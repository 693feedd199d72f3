#pragma once

#include <string>
#include <vector>

enum class ECliParam
{
    kArgument, // a word of its own ("DOC.qdl", "-"): listed, not parsed
    kFlag, // an option without a value ("--json")
    kValue, // an option that takes the next word, or "=value" ("--format FORMAT")
};

// One argument or option of a command, declared once: the parser, --help, the
// manual page and the shell completions are all built from these.
struct CCliParam {
    ECliParam m_kind = ECliParam::kArgument;
    const char* m_pszNames = ""; // "DOC.qdl"; options as the parser takes them, short names first: "-o,--output"
    const char* m_pszValue = ""; // what the value stands for in --help ("OUT"); options with a value only
    const char* m_pszHelp = "";
    const char* m_pszMissing = ""; // how a missing value is reported after the option's name: "needs a file name"

    bool IsOption() const { return m_kind != ECliParam::kArgument; }
    // The names one by one: {"-o", "--output"}.
    std::vector<std::string> Names() const;
    // How --help lists it: "-o, --output OUT".
    std::string Label() const;
};

inline CCliParam CliArgument(const char* pszName, const char* pszHelp)
{
    return {ECliParam::kArgument, pszName, "", pszHelp, ""};
}

inline CCliParam CliFlag(const char* pszNames, const char* pszHelp)
{
    return {ECliParam::kFlag, pszNames, "", pszHelp, ""};
}

inline CCliParam CliValue(const char* pszNames, const char* pszValue, const char* pszHelp,
                          const char* pszMissing = "needs a value")
{
    return {ECliParam::kValue, pszNames, pszValue, pszHelp, pszMissing};
}

// Help lines "  LABEL  help", the help texts in one column.
std::string CliParamLines(const std::vector<CCliParam>& params);
