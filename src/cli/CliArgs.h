#pragma once

#include "cli/CliParam.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

// The words of a command line read against declared options: the options given,
// with their values, and the other words in order.
class CCliArgs
{
public:
    CCliArgs() = default;
    explicit CCliArgs(std::vector<std::string> words)
        : m_words(std::move(words))
    { }

    // Whether the option (by any of its names) was given at least once.
    bool Has(const std::string& strOption) const { return m_values.count(strOption) > 0; }
    // The value it was last given; empty when it was not given.
    const std::string& Value(const std::string& strOption) const;
    // The words that are no option nor an option's value, in order; "--" is not one,
    // and every word after it is one.
    const std::vector<std::string>& Words() const { return m_words; }

    void AddWord(std::string strWord) { m_words.push_back(std::move(strWord)); }
    void SetValues(const CCliParam& option, const std::vector<std::string>& values);

private:
    std::vector<std::string> m_words;
    std::map<std::string, std::vector<std::string>> m_values; // by every name of the option
};

enum class ECliParseError
{
    kNone,
    kUnknownOption, // m_strWord: the word as given
    kMissingValue, // m_strWord: the option as given, m_pOption: its declaration
    kRefused, // anything else the parser refused; m_strWord: its words
};

struct CCliParseResult {
    CCliArgs m_args;
    ECliParseError m_error = ECliParseError::kNone;
    std::string m_strWord;
    const CCliParam* m_pOption = nullptr;

    // "unknown option -x", "-o needs a file name".
    std::string Message() const;
};

// Reads words against the options of the tables (the arguments in them are only
// listed). Options may stand anywhere before a "--". With bUpToFirstWord the words
// from the first that is not an option on are left as they are (an unknown option
// counts as such a word): the words before a command's name.
CCliParseResult ParseCliWords(const std::vector<const std::vector<CCliParam>*>& tables,
                              const std::vector<std::string>& words, bool bUpToFirstWord = false);
