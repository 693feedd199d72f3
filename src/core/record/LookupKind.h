#pragma once

// The four kinds of lookup, in the order of the collection's per-kind lists and of
// the scheduler's tick.
enum LookupKind : int
{
    lookupWhois = 0,
    lookupHostName = 1,
    lookupPing = 2,
    lookupTrace = 3,
};

constexpr int kLookupKindCount = 4;
