#pragma once

#include "core/ViewNotifier.h"
#include "ui/frame/ColorBackView.h"

#include <QString>

#include <functional>
#include <string>

class CNetloreDoc;
class QPlainTextEdit;

// The main view: the whois answer of the document's current record in a
// read-only fixed-pitch text box, under a caption band with the address, the
// words "IP Whois Data" and the time of that answer. An empty document shows the
// quick-start text. The frame forwards the document's view updates to it.
class CTextResultView : public CColorBackView, public CViewNotifier
{
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 24;

    explicit CTextResultView(CNetloreDoc* pDoc, QWidget* pParent = nullptr);

    void SetDocument(CNetloreDoc* pDoc) { m_pDoc = pDoc; }
    CNetloreDoc* GetDocument() const { return m_pDoc; }
    QPlainTextEdit* GetTextBox() const { return m_pTextBox; }

    // Updates from the document; pSender is the view that caused the change, and a
    // view does not update for its own change.
    void OnUpdate(const std::string* pHint, const void* pSender = nullptr);
    void OnInitialUpdate() { OnUpdate(nullptr); }
    void UpdateAllViews(const std::string* pHint) override { OnUpdate(pHint); }

    // The caption's parts for the current record.
    std::string GetCaptionAddress() const;
    std::string GetCaptionTime() const;
    static QString CaptionLabel(const std::string& strAddress);
    // A word about the current record beside the label (where a reused answer came
    // from, or that nobody answered); the frame knows it, the document does not.
    void SetCaptionNote(std::function<std::string(const std::string& strAddress)> fnNote)
    {
        m_fnNote = std::move(fnNote);
    }
    std::string GetCaptionNote() const;

public slots:
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();

protected:
    void PlaceChildren(const QRect& rcClient) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void DrawCaption(QPainter& painter);

    CNetloreDoc* m_pDoc;
    QPlainTextEdit* m_pTextBox;
    std::function<std::string(const std::string&)> m_fnNote;
};
