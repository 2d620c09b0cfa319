#pragma once

#include "notify/Placeholders.h"

#include <QString>

class NotificationHost;
class QLabel;
class QWidget;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

/// A button whose menu lists @p placeholders; choosing one types its name at the cursor of the field.
QToolButton* placeholderButton(const char* objectName, const QList<Placeholder>& placeholders, QLineEdit* field);
QToolButton* placeholderButton(const char* objectName, const QList<Placeholder>& placeholders, QPlainTextEdit* field);

/// A label for a preview: plain text, wrapped, selectable, in the palette's colour for hints.
QLabel* previewLabel(const char* objectName);

/// The three notifications as they would go out now, with the addresses the main window shows.
struct NotificationPreviews
{
    QString url;         // secrets in it masked
    QString commandLine; // the program, then its arguments as typed, each with the addresses filled in
    QString mailBody;    // the whole body: the user's text or the built-in one
};
NotificationPreviews notificationPreviews(NotificationHost& host);
