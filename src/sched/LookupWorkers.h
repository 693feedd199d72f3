#pragma once

class CLookupJob;
struct CWorkerEnvironment;

// The procedures the worker threads run, one job each: the network lookup of the
// kind, its outcome written into the job, the job posted to the completion sink.
// After posting they never touch the job again. Nothing is thrown out of them.
// The result is the thread's exit code: ping and traceroute 1 when something
// answered, otherwise 0.
int WhoisWorker(CLookupJob* pJob, const CWorkerEnvironment& env);
int HostNameWorker(CLookupJob* pJob, const CWorkerEnvironment& env);
int PingWorker(CLookupJob* pJob, const CWorkerEnvironment& env);
int TraceWorker(CLookupJob* pJob, const CWorkerEnvironment& env);
