#pragma once

#include <QDateTime>
#include <QString>

/// How one notification ended, reported once by its notifier: what became of it and the status line's text for it.
struct NotificationResult
{
    enum class Outcome
    {
        Delivered, // the mail accepted, a 2xx answer, the program started
        Failed,    // refused or broken; message says why when the notifier knows
        GivenUp,   // ended unfinished at shutdown
    };

    Outcome outcome = Outcome::Failed;
    /// The text the notifier showed for it ("Error: ..." for a failure); empty when it showed none.
    QString message;
    /// For a failure: the peer asked not to be tried again before this time (HTTP 429 or 503 with Retry-After).
    QDateTime notBefore;

    bool ok() const { return outcome == Outcome::Delivered; }

    static NotificationResult delivered(QString message = {}) { return {Outcome::Delivered, std::move(message), {}}; }
    static NotificationResult failed(QString message = {}, QDateTime notBefore = {})
    {
        return {Outcome::Failed, std::move(message), std::move(notBefore)};
    }
    static NotificationResult givenUp() { return {Outcome::GivenUp, {}, {}}; }
};
