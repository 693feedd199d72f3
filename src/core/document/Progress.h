#pragma once

#include <string>

// A long loop on the user's thread reports how far it is and learns whether the
// user wants it to stop. The window (or terminal bar) may dispatch pending events
// inside SetPos and PollCancel, so the loop must tolerate changes made meanwhile.
class CProgress
{
public:
    virtual ~CProgress() = default;

    // Shows the progress with its top text; false when it could not be shown
    // (the loop then runs without it).
    virtual bool Show(const std::string& strText) = 0;
    virtual void SetText(const std::string& strText) = 0;
    // Position 0..100.
    virtual void SetPos(int nPos) = 0;
    // True once per Cancel press: the mark is cleared by reading it.
    virtual bool PollCancel() = 0;
    virtual void Close() = 0;
};

// For loops run where nobody watches.
class CNullProgress : public CProgress
{
public:
    bool Show(const std::string&) override { return true; }
    void SetText(const std::string&) override { }
    void SetPos(int) override { }
    bool PollCancel() override { return false; }
    void Close() override { }
};
