#pragma once

class CLookupJob;

// Where a worker hands its finished job, to be merged on the UI thread: a queued
// event for the main window, a queue the command line drains. Called from worker
// threads; after the call the worker no longer touches the job.
class CCompletionSink
{
public:
    virtual ~CCompletionSink() = default;
    virtual void Post(int nCode, CLookupJob* pJob) = 0;
};
