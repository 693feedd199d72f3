#include "ui/frame/GuiCompletionSink.h"

#include <QMetaObject>

CGuiCompletionSink::CGuiCompletionSink(Handler handler, QObject* pParent)
    : QObject(pParent)
    , m_handler(std::move(handler))
{ }

CGuiCompletionSink::~CGuiCompletionSink() = default;

void CGuiCompletionSink::Post(int nCode, CLookupJob* pJob)
{
    m_queue.Post(nCode, pJob);
    // A queued call on this object runs on the thread it lives on, the UI thread;
    // if the sink is gone first, the call is dropped and the queue's destructor
    // deletes the job.
    QMetaObject::invokeMethod(this, &CGuiCompletionSink::Drain, Qt::QueuedConnection);
}

void CGuiCompletionSink::Drain()
{
    CCompletion completion;
    while (m_queue.TryTake(completion))
        m_handler(completion.m_nCode, completion.m_pJob);
}
