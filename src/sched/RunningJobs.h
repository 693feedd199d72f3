#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

class CLookupJob;

// The jobs whose workers run, owned here from their start until the worker hands
// its job to the completion sink; from then on the completion carries it to the
// finish operation that deletes it. A job whose worker never reports is deleted
// with this owner, after the workers are joined. Thread-safe: workers release
// their jobs from their own threads.
class CRunningJobs
{
public:
    CRunningJobs();
    ~CRunningJobs();
    CRunningJobs(const CRunningJobs&) = delete;
    CRunningJobs& operator=(const CRunningJobs&) = delete;

    // Takes the job; returns it for the worker and the running list (which do not own it).
    CLookupJob* Adopt(std::unique_ptr<CLookupJob> pJob);
    // The worker is done with the job: it leaves with the completion.
    void Release(CLookupJob* pJob);
    // A job whose worker never started: deleted.
    void Discard(CLookupJob* pJob);
    int Count() const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<const CLookupJob*, std::unique_ptr<CLookupJob>> m_jobs;
};
