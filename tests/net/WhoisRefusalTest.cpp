#include "net/WhoisRefusal.h"

#include <gtest/gtest.h>

TEST(WhoisRefusal, TheRegistriesRefusalTextsAreLimitsOrDenialsAndAnswersAreNeither)
{
    const struct {
        const char* m_pszAnswer;
        EWhoisRefusal m_expected;
    } cases[] = {
        // RIPE-software servers, as they answer on port 43.
        {"%ERROR:201: access denied for 192.0.2.1\n%\n% Queries from your IP address have passed the daily limit of "
         "controlled objects.\n% Access from your host has been temporarily denied.\n",
         EWhoisRefusal::limit},
        {"%ERROR:201: access denied for 192.0.2.1\n%\n% Sorry, access from your host has been permanently\n% denied "
         "because of a repeated excessive querying.\n",
         EWhoisRefusal::deniedForGood},
        {"% Access from your host has been permanently denied\n", EWhoisRefusal::deniedForGood},
        {"%ERROR:306: connections exceeded\n%\n% Number of connections from a single IP address\n",
         EWhoisRefusal::limit},
        {"% Queries from your IP address have passed the daily limit of controlled objects.\n", EWhoisRefusal::limit},
        // LACNIC, and the classic limit line; case does not matter.
        {"Query rate limit exceeded\n", EWhoisRefusal::limit},
        {"query RATE limit EXCEEDED", EWhoisRefusal::limit},
        {"\r\nYour query limit has been exceeded\r\n", EWhoisRefusal::limit},
        // Answers.
        {"inetnum:        128.79.0.0 - 128.79.63.0\nnetname:        BOUYGTEL\n", EWhoisRefusal::none},
        {"remarks: access denied to the building after 6 pm\n", EWhoisRefusal::none},
        {"", EWhoisRefusal::none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindWhoisRefusal(c.m_pszAnswer), c.m_expected) << c.m_pszAnswer;
}
