#pragma once

#include "platform/MessageBox.h"

#include <QStringList>

/// Keeps the texts of the message boxes that would have been shown; answers questions with No.
class RecordingMessageBox : public MessageBox
{
public:
    void show(const QString& text, Icon, const QString& = QString()) override { shown << text; }
    bool ask(const QString& text, const QString& = QString()) override
    {
        shown << text;
        return false;
    }
    QStringList shown;
};
