#pragma once

#include <cstdint>
#include <string>

// A text read piece by piece (a log file far larger than the memory), for the
// document's AddIPsFromSource.
class CTextSource
{
public:
    virtual ~CTextSource() = default;
    // Appends the next bytes of the text, about nWanted of them, to strBuffer. False
    // once the text has ended (bytes may still have been appended by that call).
    virtual bool Read(std::string& strBuffer, size_t nWanted) = 0;
    // How far the input has been consumed, 0..100, when the text has been handled up
    // to nTextOffset (counted from the text's start).
    virtual int Percent(uint64_t nTextOffset) const = 0;
};
