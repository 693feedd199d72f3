#pragma once

// What the document needs from the window that shows it. Calls come on the UI
// thread, in the middle of a document operation: the host acts on them after the
// current command (the list views rebuild this way once the frame has settled).
class CDocumentHost
{
public:
    virtual ~CDocumentHost() = default;
    // The document's records were replaced as a whole (a new document, a read):
    // every list of them is to be rebuilt.
    virtual void PostListRefresh() = 0;
};
