#pragma once

#include <string>

// The document tells its views what changed: an address (the hint) or, with no
// hint, everything.
class CViewNotifier
{
public:
    virtual ~CViewNotifier() = default;
    virtual void UpdateAllViews(const std::string* pHint) = 0;
};
