#pragma once

#include "core/WatchState.h"

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

/// What addresses from before a failed lookup say beside them, in every window that shows them: "as of 12:04",
/// "not found yet" when none was ever found, "" while they are current.
inline QString outdatedText(const WatchState& state, const QDateTime& now)
{
    if (!state.addressesOutdated())
        return {};
    return state.asOf.isValid() ? QStringLiteral("as of ") + clockText(state.asOf, now) : QStringLiteral("not found yet");
}
