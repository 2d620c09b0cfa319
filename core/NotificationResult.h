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
    /// Why a failure failed, which decides whether trying again can help: only a transient or rate-limited one
    /// is tried again later; the others wait for the user to mend the settings.
    enum class Category
    {
        Transient,      // no connection, a time-out, a server error: the next try may go through
        RateLimited,    // the peer asked for time (notBefore says until when)
        Configuration,  // the settings cannot work (no URL, a damaged entry, a name the peer does not have)
        Authentication, // the peer refused the credentials
    };

    Outcome outcome = Outcome::Failed;
    /// The text the notifier showed for it ("Error: ..." for a failure); empty when it showed none.
    QString message;
    /// For a failure: the peer asked not to be tried again before this time (HTTP 429 or 503 with Retry-After).
    QDateTime notBefore;
    Category category = Category::Transient;

    bool ok() const { return outcome == Outcome::Delivered; }
    /// A failure that a later try may mend.
    bool worthRetrying() const { return category == Category::Transient || category == Category::RateLimited; }

    static NotificationResult delivered(QString message = {})
    {
        return {Outcome::Delivered, std::move(message), {}, Category::Transient};
    }
    static NotificationResult failed(QString message = {}, QDateTime notBefore = {})
    {
        const Category category = notBefore.isValid() ? Category::RateLimited : Category::Transient;
        return {Outcome::Failed, std::move(message), std::move(notBefore), category};
    }
    /// A failure that the settings cause: not tried again until they change.
    static NotificationResult misconfigured(QString message)
    {
        return {Outcome::Failed, std::move(message), {}, Category::Configuration};
    }
    /// The peer refused the credentials: not tried again until they change.
    static NotificationResult refused(QString message)
    {
        return {Outcome::Failed, std::move(message), {}, Category::Authentication};
    }
    static NotificationResult givenUp() { return {Outcome::GivenUp, {}, {}, Category::Transient}; }
};
