#pragma once

#include <functional>

// Starts one worker thread per job. A starter that cannot start a thread says so
// and leaves the work undone: the scheduler then keeps the address waiting.
class CThreadStarter
{
public:
    virtual ~CThreadStarter() = default;
    // False when no thread was started (fnWork was not and will not be run).
    virtual bool Start(std::function<void()> fnWork) = 0;
};
