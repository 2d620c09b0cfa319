#include "core/WatchState.h"

#include <QStringList>

LookupProblem LookupProblem::fromResult(const LookupResult& result)
{
    LookupProblem problem;
    QStringList lines;
    int replied = 0, bad = 0, good = 0;
    for (const SourceOutcome& outcome : result.outcomes) {
        lines << outcome.uri + QStringLiteral(": ") + (outcome.ok ? outcome.address : outcome.reason);
        replied += outcome.replied ? 1 : 0;
        good += outcome.ok ? 1 : 0;
        bad += outcome.replied && !outcome.ok ? 1 : 0;
    }
    problem.details = lines.join(u'\n');
    switch (result.outcome) {
    case LookupResult::Outcome::Agreed:
        // Agreed, but on an address of the other family: the sources did not answer the question asked.
        problem.kind = Kind::BadAnswers;
        break;
    case LookupResult::Outcome::Disagreed:
        problem.kind = Kind::Disagreed;
        break;
    case LookupResult::Outcome::NoSources:
        problem.kind = Kind::NoSources;
        break;
    case LookupResult::Outcome::Failed:
        problem.kind = replied == 0 ? Kind::NoConnection : bad > 0 ? Kind::BadAnswers : Kind::TooFewAnswers;
        break;
    }
    return problem;
}

QString LookupProblem::statusText() const
{
    switch (kind) {
    case Kind::None:
        return QString();
    case Kind::NoSources:
        return QStringLiteral("Error: No address sources are set.");
    case Kind::NoConnection:
        return QStringLiteral("Error: Connection not available.");
    case Kind::BadAnswers:
        return QStringLiteral("Error: The address sources answered badly.");
    case Kind::TooFewAnswers:
        return QStringLiteral("Error: Too few address sources answered.");
    case Kind::Disagreed:
        return QStringLiteral("Error: Address sources disagree.");
    }
    return QString();
}

QString LookupProblem::shortText() const
{
    static const char* const texts[] = {"",
                                        "no address sources set",
                                        "no connection",
                                        "sources answered badly",
                                        "too few sources answered",
                                        "sources disagree"};
    return QLatin1String(texts[static_cast<int>(kind)]);
}

QString WatchState::headline() const
{
    switch (condition) {
    case Condition::NotChecked:
        return QStringLiteral("Not checked yet");
    case Condition::Current:
        return QStringLiteral("Current");
    case Condition::NoticePending:
        return QStringLiteral("Notice pending: ") + pending;
    case Condition::Stale:
        return QStringLiteral("Stale: %1; addresses as of %2")
            .arg(problem.shortText(), clockText(asOf, lastChecked.isValid() ? lastChecked : asOf));
    case Condition::Error:
        return QStringLiteral("Error: ") + problem.shortText();
    }
    return QString();
}

QString clockText(const QDateTime& time, const QDateTime& now)
{
    if (!time.isValid())
        return QStringLiteral("never");
    const QDateTime local = time.toLocalTime();
    if (local.date() == now.toLocalTime().date())
        return local.toString(u"HH:mm");
    return local.toString(u"d MMM HH:mm");
}

QString agoText(const QDateTime& time, const QDateTime& now)
{
    const qint64 minutes = time.secsTo(now) / 60;
    if (minutes < 1)
        return QStringLiteral("just now");
    if (minutes < 60)
        return QStringLiteral("%1 min ago").arg(minutes);
    if (minutes < 48 * 60)
        return QStringLiteral("%1 h ago").arg(minutes / 60);
    return QStringLiteral("%1 days ago").arg(minutes / (24 * 60));
}
