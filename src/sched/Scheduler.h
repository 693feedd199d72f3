#pragma once

class CIPDataArray;
class CLookupJob;
class CNetloreDoc;
struct CConnSettings;
struct CWorkerEnvironment;

// The start operation of a kind: moves at most one address from the kind's
// waiting list into a job and starts a worker for it, while fewer than nLimit
// jobs of the kind run (0 or less: never). Whois also waits until
// nIntervalSeconds have passed since the last whois result. True when a job was
// started. A worker thread that cannot be started leaves its address first in
// the waiting list, for the next tick, and its job is deleted at once. UI thread only.
bool StartNextJob(CIPDataArray& data, int nKind, int nLimit, int nIntervalSeconds, const CWorkerEnvironment& env);

// The whois start operation with pacing per registry: in list order, at most one
// address of each registry starts (the registry of an unknown address is ARIN's),
// once nIntervalSeconds have passed since that registry's latest result, while
// fewer than nLimit whois jobs of that registry run: each registry is paced as the
// one process-wide timer paces all of them without pacing. Each job names its
// registry and starts its port-43 chain at that registry's server. The number
// started. UI thread only.
int StartPacedWhoisJobs(CIPDataArray& data, int nLimit, int nIntervalSeconds, const CWorkerEnvironment& env);

// One timer tick: every kind's start operation in the order of the lookup table,
// with the limits and the intervals of the settings snapshot; whois paced per
// registry when the settings say so.
void SchedulerTick(CIPDataArray& data, const CConnSettings& settings, const CWorkerEnvironment& env);

// A completion arriving on the UI thread: the document's merge of the code's kind.
// With no document the job is deleted unmerged (no running list can hold it any
// more); an unknown code is ignored. True when the merge stored something.
bool HandleCompletion(CNetloreDoc* pDoc, int nCode, CLookupJob* pJob);
