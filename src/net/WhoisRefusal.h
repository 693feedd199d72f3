#pragma once

#include <string_view>

// How a whois server refused to answer. A refusal is never the answer itself: the
// address is asked again once the registry's pause is over, or, when the server has
// shut us out for good, not at all.
enum class EWhoisRefusal
{
    none, // an answer (or no text at all)
    limit, // a query or connection limit, a temporary denial: ask again later
    deniedForGood, // access denied permanently: asking again only prolongs it
};

// The refusal an answer text holds, from the one table of the registries' refusal
// and limit texts.
EWhoisRefusal FindWhoisRefusal(std::string_view answer);
