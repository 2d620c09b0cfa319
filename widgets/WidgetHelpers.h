#pragma once

#include <QLabel>
#include <QString>

/// Gives @p widget the object name tests and assistive tools find it by; returns it for chaining.
template <typename W> W* named(W* widget, const char* objectName)
{
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

/// A label that names @p buddy, so a screen reader announces the field by the label's text.
inline QLabel* buddyLabel(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}
