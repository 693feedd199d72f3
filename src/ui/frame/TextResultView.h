#pragma once

#include "core/document/ViewNotifier.h"
#include "ui/frame/ColorBackView.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <string>
#include <string_view>

class CIPAddressData;
class CNetloreDoc;
class QLabel;
class QPlainTextEdit;

// The main view: the whois answer of the document's current record in a
// read-only fixed-pitch text box, under a caption band with the address, the
// words "IP Whois Data" and the time of that answer. An empty document shows the
// quick-start text. The frame forwards the document's view updates to it.
// When the answer names an abuse contact, the band offers it as a mail link.
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
    static QString CaptionLabel(const std::string& strAddress, bool bRdap = false);
    // The shown text came from an RDAP lookup.
    bool IsRdapText() const;
    // A word about the current record beside the label (where a reused answer came
    // from, or that nobody answered); the frame knows it, the document does not.
    void SetCaptionNote(std::function<std::string(const std::string& strAddress)> fnNote)
    {
        m_fnNote = std::move(fnNote);
    }
    std::string GetCaptionNote() const;
    // A warning about what the shown answer says of the current record (its range
    // does not hold the address); shown after the note.
    void SetCaptionWarning(std::function<std::string(const std::string& strAddress)> fnWarning)
    {
        m_fnWarning = std::move(fnWarning);
    }
    std::string GetCaptionWarning() const;
    // The whole caption text after the address, as drawn.
    QString GetCaptionText() const { return CaptionText(GetCaptionAddress()); }

    // The abuse address the record's whois text states, empty when none.
    using AbuseReader = std::function<std::string(const CIPAddressData& record)>;
    void SetAbuseReader(AbuseReader fnRead);
    // Opens the mail link; the desktop's handler unless set.
    void SetUrlOpener(std::function<bool(const QUrl&)> fnOpen) { m_fnOpenUrl = std::move(fnOpen); }
    QLabel* GetAbuseLink() const { return m_pAbuseLink; }

    // Answers are written by whoever registered the network: only a plain
    // address of this shape ever becomes a link.
    static bool IsWellFormedMailAddress(std::string_view strText);
    // "mailto:" with the address and, as subject, the record's address, both
    // percent-encoded; empty when the address is not well formed.
    static QUrl AbuseMailUrl(std::string_view strAbuse, std::string_view strRecordAddress);
    // The link as the band's rich text, its label the address or (when given) a
    // shortened one; empty when the address is not well formed.
    static QString AbuseLinkHtml(std::string_view strAbuse, std::string_view strRecordAddress,
                                 const QString& strShortLabel = QString());

public slots:
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();

protected:
    void PlaceChildren(const QRect& rcClient) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void DrawCaption(QPainter& painter);
    // The words after the address, with the lookup's note when there is one.
    QString CaptionText(const std::string& strAddress) const;
    void UpdateAbuseLink();
    void PlaceAbuseLink();
    QFont CaptionFont() const;

    CNetloreDoc* m_pDoc;
    QPlainTextEdit* m_pTextBox;
    QLabel* m_pAbuseLink;
    AbuseReader m_fnReadAbuse;
    // The linked address and the record it belongs to; empty without a link.
    std::string m_strAbuse;
    std::string m_strAbuseRecord;
    std::function<bool(const QUrl&)> m_fnOpenUrl;
    std::function<std::string(const std::string&)> m_fnNote;
    std::function<std::string(const std::string&)> m_fnWarning;
};
