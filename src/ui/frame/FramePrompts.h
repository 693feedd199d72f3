#pragma once

#include <QString>

class QWidget;

// The questions and messages the frame puts to the user, as message boxes;
// tests answer them without a modal loop.
class CFramePrompts
{
public:
    enum EAnswer
    {
        kYes,
        kNo,
        kCancel
    };

    virtual ~CFramePrompts() = default;
    virtual EAnswer AskYesNoCancel(QWidget* pParent, const QString& strText);
    virtual void ShowMessage(QWidget* pParent, const QString& strText);
    virtual void ShowAbout(QWidget* pParent, const QString& strTitle, const QString& strText);
};
