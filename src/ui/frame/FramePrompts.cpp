#include "ui/frame/FramePrompts.h"

#include "ui/frame/FrameTexts.h"

#include <QMessageBox>

namespace {

// Messages quote file names and texts from outside: shown as written, never as markup.
QMessageBox::StandardButton Ask(QWidget* pParent, QMessageBox::Icon icon, const QString& strTitle,
                                const QString& strText, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, strTitle, strText, buttons, pParent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

CFramePrompts::EAnswer CFramePrompts::AskYesNoCancel(QWidget* pParent, const QString& strText)
{
    const auto button = Ask(pParent, QMessageBox::Question, QString::fromLatin1(FrameTexts::kAppDisplayName), strText,
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    return button == QMessageBox::Yes ? kYes : button == QMessageBox::No ? kNo : kCancel;
}

void CFramePrompts::ShowMessage(QWidget* pParent, const QString& strText)
{
    Ask(pParent, QMessageBox::Warning, QString::fromLatin1(FrameTexts::kAppDisplayName), strText, QMessageBox::Ok,
        QMessageBox::Ok);
}

void CFramePrompts::ShowAbout(QWidget* pParent, const QString& strTitle, const QString& strText)
{
    Ask(pParent, QMessageBox::Information, strTitle, strText, QMessageBox::Ok, QMessageBox::Ok);
}
