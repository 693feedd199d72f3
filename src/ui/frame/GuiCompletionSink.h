#pragma once

#include "sched/CompletionQueue.h"

#include <QObject>

#include <functional>

// Hands finished jobs from the worker threads to the UI thread: each Post queues
// the job and posts a queued call to the receiver, which drains the queue there
// into the handler (the frame's merge). Jobs still queued when the sink goes are
// deleted with it. Destroy the sink only after every worker has been joined.
class CGuiCompletionSink : public QObject, public CCompletionSink
{
    Q_OBJECT
public:
    using Handler = std::function<void(int nCode, CLookupJob* pJob)>;

    explicit CGuiCompletionSink(Handler handler, QObject* pParent = nullptr);
    ~CGuiCompletionSink() override;

    void Post(int nCode, CLookupJob* pJob) override;
    // Hands every queued job to the handler, on the UI thread.
    void Drain();
    size_t Pending() const { return m_queue.Size(); }

private:
    Handler m_handler;
    CCompletionQueue m_queue;
};
