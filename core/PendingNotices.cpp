#include "core/PendingNotices.h"

#include "core/Settings.h"

#include <QStringList>

#include <algorithm>

namespace {
constexpr std::array<int, 7> StepSeconds = {30, 60, 2 * 60, 5 * 60, 10 * 60, 30 * 60, 60 * 60};
// Also the longest the timer waits at once: a wall clock set back by hours then costs one extra wake-up an hour.
constexpr int LongestWaitMs = 60 * 60 * 1000;

/// The slot a stored name stands for: a kind's name, or a kind's name and an entry number from 2 to MaxEntries.
std::optional<size_t> slotIndex(QStringView name)
{
    int entry = 0;
    if (!name.isEmpty() && name.back() >= u'2' && name.back() <= u'9' && Notifiers::MaxEntries <= 9) {
        entry = name.back().unicode() - u'1';
        name.chop(1);
    }
    if (entry >= Notifiers::MaxEntries)
        return std::nullopt;
    for (size_t i = 0; i < NotifierKinds.size(); ++i) {
        if (name == QStringView(NotifierKinds[i].pendingName))
            return i * Notifiers::MaxEntries + size_t(entry);
    }
    return std::nullopt;
}

QString slotName(size_t slot)
{
    const size_t entry = slot % Notifiers::MaxEntries;
    const QString name = QString::fromUtf16(NotifierKinds[slot / Notifiers::MaxEntries].pendingName);
    return entry == 0 ? name : name + QString::number(entry + 1);
}

/// 0 to MaxFailures in plain decimal digits, nothing else (no sign, no blanks, no leading zero).
std::optional<int> failureCount(QStringView text)
{
    if (text == u"0")
        return 0;
    if (text.isEmpty() || text.size() > 7 || text.front() == u'0')
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value <= PendingNotices::MaxFailures ? std::optional<int>(value) : std::nullopt;
}

QString isoSeconds(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}
} // namespace

PendingNotices::PendingNotices(Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PendingNotices::fireDueNow);
}

int PendingNotices::delaySeconds(int failures)
{
    const int step = std::clamp(failures, 1, static_cast<int>(StepSeconds.size()));
    return StepSeconds[static_cast<size_t>(step - 1)];
}

PendingNotices::Entries PendingNotices::parse(const QString& text)
{
    Entries entries{};
    if (text.size() > MaxTextLength)
        return entries;
    std::array<int, SlotCount> seen{};
    for (const QStringView part : QStringView(text).split(u';', Qt::SkipEmptyParts)) {
        const qsizetype first = part.indexOf(u':');
        const qsizetype second = first < 0 ? -1 : part.indexOf(u':', first + 1);
        if (second < 0)
            continue;
        const std::optional<size_t> kind = slotIndex(part.first(first));
        if (!kind)
            continue;
        ++seen[*kind];
        const std::optional<int> failures = failureCount(part.sliced(first + 1, second - first - 1));
        const QString dueText = part.sliced(second + 1).toString();
        const QDateTime due = QDateTime::fromString(dueText, Qt::ISODate);
        // Read back exactly as written: UTC, whole seconds, no offset or fraction a hand could add.
        if (!failures || !due.isValid() || isoSeconds(due) != dueText)
            continue;
        entries[*kind] = {*failures, due.toUTC()};
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (seen[i] > 1)
            entries[i] = {};
    }
    return entries;
}

QString PendingNotices::format(const Entries& entries)
{
    QStringList parts;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].due.isValid()) {
            parts
                << QStringLiteral("%1:%2:%3").arg(slotName(i)).arg(entries[i].failures).arg(isoSeconds(entries[i].due));
        }
    }
    return parts.join(u';');
}

void PendingNotices::load()
{
    m_entries = parse(m_settings.read(Key::PendingNotices));
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_trying[i] = m_trying[i] && m_entries[i].due.isValid();
    arm();
    emit changed();
}

void PendingNotices::failed(Kind kind, int entry, const QDateTime& notBefore)
{
    Entry& e = slot(kind, entry);
    e.failures = std::min(e.failures + 1, MaxFailures);
    const qint64 now = m_clock().toSecsSinceEpoch();
    qint64 due = now + delaySeconds(e.failures);
    if (notBefore.isValid())
        due = std::max(due, std::min(notBefore.toSecsSinceEpoch(), now + LongestRetryAfterSeconds));
    e.due = QDateTime::fromSecsSinceEpoch(due, Qt::UTC);
    m_trying[index(kind, entry)] = false;
    update();
}

void PendingNotices::succeeded(Kind kind, int entry)
{
    m_trying[index(kind, entry)] = false;
    if (!isPending(kind, entry))
        return;
    slot(kind, entry) = {};
    update();
}

QString PendingNotices::owe(const QList<std::pair<Kind, int>>& entries)
{
    m_entries = {};
    m_trying = {};
    const QDateTime now = QDateTime::fromSecsSinceEpoch(m_clock().toSecsSinceEpoch(), Qt::UTC);
    for (const auto& [kind, entry] : entries) {
        slot(kind, entry) = {0, now};
        m_trying[index(kind, entry)] = true;
    }
    arm();
    emit changed();
    return format(m_entries);
}

bool PendingNotices::isEmpty() const
{
    return std::none_of(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.due.isValid(); });
}

int PendingNotices::count() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.due.isValid(); }));
}

QStringList PendingNotices::pendingNames(QDateTime* next) const
{
    QStringList names;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (!m_entries[i].due.isValid() || (m_entries[i].failures == 0 && m_trying[i]))
            continue;
        const QString name = slotName(i);
        names << (i % Notifiers::MaxEntries == 0 ? name : name.chopped(1) + u' ' + name.back());
        if (next && (!next->isValid() || m_entries[i].due < *next))
            *next = m_entries[i].due;
    }
    return names;
}

namespace {
// "mail", "mail and web 2", "mail, web 2 and program"
QString listed(QStringList names)
{
    QString what = names.takeLast();
    if (!names.isEmpty())
        what = names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + what;
    return what;
}
} // namespace

QString PendingNotices::summary(const QDateTime& now) const
{
    QDateTime next;
    const QStringList names = pendingNames(&next);
    if (names.isEmpty())
        return QString();
    QString what = listed(names);
    what[0] = what[0].toUpper();
    const QString notices = names.size() == 1 ? QStringLiteral("notice") : QStringLiteral("notices");
    const QString when = next <= now ? QStringLiteral("trying again now")
                                     : QStringLiteral("next try at ") + next.toLocalTime().toString(u"HH:mm:ss");
    return QStringLiteral("%1 %2 pending, %3").arg(what, notices, when);
}

QString PendingNotices::names() const
{
    const QStringList names = pendingNames(nullptr);
    return names.isEmpty() ? QString() : listed(names);
}

void PendingNotices::forget(Kind kind)
{
    bool forgotten = false;
    for (int entry = 0; entry < Notifiers::MaxEntries; ++entry) {
        forgotten = forgotten || isPending(kind, entry);
        slot(kind, entry) = {};
        m_trying[index(kind, entry)] = false;
    }
    if (forgotten)
        update();
}

void PendingNotices::fireDueNow()
{
    const QDateTime now = m_clock();
    QList<size_t> due;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].due.isValid() && !m_trying[i] && m_entries[i].due <= now) {
            m_trying[i] = true;
            due << i;
        }
    }
    arm();
    for (const size_t i : due)
        emit this->due(static_cast<Kind>(i / Notifiers::MaxEntries), int(i % Notifiers::MaxEntries));
}

void PendingNotices::update()
{
    m_settings.write(Key::PendingNotices, format(m_entries));
    arm();
    emit changed();
}

void PendingNotices::arm()
{
    QDateTime earliest;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].due.isValid() && !m_trying[i] && (!earliest.isValid() || m_entries[i].due < earliest))
            earliest = m_entries[i].due;
    }
    if (!earliest.isValid()) {
        m_timer.stop();
        return;
    }
    const qint64 wait = std::clamp<qint64>(m_clock().msecsTo(earliest), 0, LongestWaitMs);
    m_timer.start(static_cast<int>(wait));
}
