#pragma once

// What the document needs from the window that shows it: posting a command to the
// main window, to be handled after the current one (the list views rebuild this
// way once the frame has settled).
class CDocumentHost
{
public:
    virtual ~CDocumentHost() = default;
    virtual void PostCommand(int nCommandId) = 0;
};
