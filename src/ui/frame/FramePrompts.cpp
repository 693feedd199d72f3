#include "ui/frame/FramePrompts.h"

#include "ui/frame/FrameTexts.h"

#include <QMessageBox>

CFramePrompts::EAnswer CFramePrompts::AskYesNoCancel(QWidget* pParent, const QString& strText)
{
    const auto button =
        QMessageBox::question(pParent, QString::fromLatin1(FrameTexts::kAppDisplayName), strText,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    return button == QMessageBox::Yes ? kYes : button == QMessageBox::No ? kNo : kCancel;
}

void CFramePrompts::ShowMessage(QWidget* pParent, const QString& strText)
{
    // Messages carry file names and system texts: never read as markup.
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(FrameTexts::kAppDisplayName), strText, QMessageBox::Ok,
                    pParent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void CFramePrompts::ShowAbout(QWidget* pParent, const QString& strTitle, const QString& strText)
{
    QMessageBox::about(pParent, strTitle, strText);
}
