#pragma once

#include <string>
#include <vector>

// One lookup on its way from the scheduler to a worker thread and back. The
// scheduler fills the address, the code and the hop switch; the worker writes the
// results and then hands the job back, after which only the UI thread touches it.
// Deleted exactly once, on the UI thread, by the finish operation of its kind.
class CLookupJob
{
public:
    CLookupJob(std::string strAddress, int nKindCode);
    virtual ~CLookupJob();
    CLookupJob(const CLookupJob&) = delete;
    CLookupJob& operator=(const CLookupJob&) = delete;

    // Jobs alive in the process; lets tests and benchmarks see that every job
    // was deleted.
    static int LiveCount();

    std::string m_strAddress;
    std::string m_strResult; // whois text, host name or trace text; empty for ping
    int m_nKindCode; // the completion code of the job's kind
    int m_nTries = 0; // ping only
    int m_nFailures = 0; // ping only
    double m_dAverageMs = 0.0; // ping only
    bool m_bResolveHops = false; // traceroute only
    bool m_bRetryLater = false; // whois only: the registry asked us to wait, so no try is spent
    // Whois only, for the registry back-off: the registry whose "query limit" answer
    // ended the lookup, how long it asked us to wait (seconds; 0: it did not say),
    // and the registries that gave usable answers.
    std::string m_strLimitRegistry;
    long m_nLimitSeconds = 0;
    bool m_bCancelled = false; // the run cancelled the exchanges while it ran: no result
    bool m_bDeniedForGood = false; // whois only: that registry shut us out for good
    std::vector<std::string> m_goodRegistries;
    // Whois only: why the text is empty (a token such as "time-out"), and whether a
    // zero byte cut an answer short on the way.
    std::string m_strFailure;
    bool m_bZeroByteCut = false;
    // Whois only: the registry the scheduler found for the address (empty: unknown),
    // which RDAP asks; with pacing per registry the port-43 chain starts at its
    // server too instead of ARIN's, and the result counts for its interval.
    std::string m_strRegistry;
    bool m_bStartAtRegistry = false;
};
