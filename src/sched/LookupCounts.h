#pragma once

// Where the lookups of one kind stand, the same for the window and the command
// line: addresses waiting, jobs running, and the lookups the session finished
// (found something) or failed (found nothing, or given up) since it began.
struct CLookupCounts {
    int m_nWaiting = 0;
    int m_nRunning = 0;
    int m_nDone = 0;
    int m_nFailed = 0;

    // Finished either way.
    int Finished() const { return m_nDone + m_nFailed; }
};
