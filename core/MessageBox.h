#pragma once

#include <QString>

/// Message boxes, behind an interface so that tests can see what would have been shown.
class MessageBox
{
public:
    enum class Icon
    {
        Critical,
        Question,
        Warning,
        Information,
    };
    virtual ~MessageBox() = default;
    /// Shows @p text with @p icon and an OK button, modal, with @p title (the application's name when empty).
    virtual void show(const QString& text, Icon icon, const QString& title = QString()) = 0;
    /// Asks a yes/no question; true for yes.
    virtual bool ask(const QString& text, const QString& title = QString()) = 0;
};
