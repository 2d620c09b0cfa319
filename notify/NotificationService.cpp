#include "notify/NotificationService.h"

#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/MailNotifier.h"
#include "notify/ProgramNotifier.h"
#include "notify/WebNotifier.h"

#include <QTimer>

#include <utility>

namespace {
QString label(Notifiers::Kind kind)
{
    return QLatin1String(notifierKind(kind).label);
}
} // namespace

NotificationService::NotificationService(NotificationHost& host, ProcessLauncher& launcher) : m_host(host)
{
    setNotifier(Kind::Mail, std::make_unique<MailNotifier>(m_shown));
    setNotifier(Kind::Web, std::make_unique<WebNotifier>(m_shown));
    setNotifier(Kind::Program, std::make_unique<ProgramNotifier>(m_shown, launcher));
}

NotificationService::~NotificationService()
{
    // What is under way ends quietly: no report reaches a caller that is going away too.
    m_runs.clear();
    for (auto& notifier : m_notifiers)
        notifier.reset();
}

void NotificationService::setNotifier(Kind kind, std::unique_ptr<KindNotifier> notifier)
{
    m_notifiers[size_t(kind)] = std::move(notifier);
    m_makers[size_t(kind)] = {};
}

void NotificationService::setNotifierMaker(Kind kind, std::function<std::unique_ptr<KindNotifier>()> make)
{
    m_notifiers[size_t(kind)].reset();
    m_makers[size_t(kind)] = std::move(make);
}

KindNotifier* NotificationService::notifier(Kind kind) const
{
    if (auto& make = m_makers[size_t(kind)])
        m_notifiers[size_t(kind)] = std::exchange(make, {})();
    return m_notifiers[size_t(kind)].get();
}

void NotificationService::setSecureTransport(MailTransport* transport)
{
    static_cast<MailNotifier*>(notifier(Kind::Mail))->setSecureTransport(transport);
}

QList<int> NotificationService::moreEntries(Kind kind) const
{
    // Asked at every change for every kind: one not made yet has none (see setNotifierMaker), and stays unmade.
    const KindNotifier* kindNotifier = m_notifiers[size_t(kind)].get();
    return kindNotifier ? kindNotifier->moreEntries() : QList<int>{};
}

void NotificationService::refuse(Kind kind, const QString& detail, const Done& done,
                                 NotificationResult::Category category)
{
    NotificationResult result = NotificationResult::failed(QStringLiteral("Error: %1: %2").arg(label(kind), detail));
    result.category = category;
    m_host.setStatus(result.message);
    if (done)
        done(result);
}

bool NotificationService::sendsOnChange(Kind kind, int entry) const
{
    const KindNotifier* kindNotifier = notifier(kind);
    return !kindNotifier || kindNotifier->sendsOnChange(entry);
}

void NotificationService::start(Kind kind, int entry, Start how, Done done, const QString& pingUrl)
{
    KindNotifier* kindNotifier = notifier(kind);
    if (!kindNotifier)
        return refuse(kind, QStringLiteral("not in this build"), done, NotificationResult::Category::Configuration);
    if (how == Start::Preview && !kindNotifier->previews())
        return refuse(kind, QStringLiteral("it cannot say beforehand what it would change"), done,
                      NotificationResult::Category::Configuration);
    KindNotifier::Traits traits = kindNotifier->traits(entry);
    if (traits.concurrency == KindNotifier::Concurrency::OneAtATime) {
        for (const auto& [id, run] : m_runs) {
            // The send under way keeps its connection and its report; this one did not go out.
            if (run.kind == kind && run.send.entry == entry)
                return refuse(kind, QStringLiteral("one is already under way"), done,
                              NotificationResult::Category::Transient);
        }
    }
    const quint64 id = ++m_lastRun;
    Run run{kind, std::move(traits), {}, std::move(done), Phase::WaitingForSecrets, {}, {}, {}};
    run.send.run = id;
    run.send.entry = entry;
    run.send.forced = how != Start::Change;
    run.send.preview = how == Start::Preview;
    run.send.pingUrl = pingUrl;
    run.send.addresses = addressesShownBy(m_host);
    m_runs.emplace(id, std::move(run));
    beginWhenReady(id);
}

void NotificationService::beginWhenReady(quint64 id)
{
    const auto found = m_runs.find(id);
    if (found == m_runs.end() || found->second.phase != Phase::WaitingForSecrets)
        return;
    const Run& run = found->second;
    for (const Key key : run.traits.secretKeys) {
        PasswordStore* store = m_host.secretStore(key);
        if (!store)
            continue;
        store->start(); // a secret made since the program started has not asked the keyring yet
        if (!store->isReady()) {
            // Asked for before the keyring answered: it starts once the secret is known, unless ended meanwhile.
            store->whenReady(&m_context, [this, id] { beginWhenReady(id); });
            return;
        }
    }
    begin(id);
}

void NotificationService::begin(quint64 id)
{
    Run& run = m_runs.at(id);
    KindNotifier& kindNotifier = *notifier(run.kind);
    Settings& settings = m_host.settings();
    for (const Key key : run.traits.secretKeys) {
        const PasswordStore* store = m_host.secretStore(key);
        run.mask.add(store ? store->password() : settings.read(key));
    }
    run.setting = kindNotifier.setting(run.send);
    if (!run.send.forced && !run.setting.remembered.isEmpty() &&
        lastSetting(run) == run.setting.remembered) {
        // Never an update that changes nothing: hosts count those as abuse.
        const QString text = QStringLiteral("Success: %1: %2 already set; nothing sent")
                                 .arg(run.traits.name, run.setting.shown);
        run.setting = {};
        m_shown.setStatus(text);
        return end(id, NotificationResult::delivered(text));
    }
    run.phase = Phase::Sending;
    run.deadline = std::make_unique<QTimer>();
    run.deadline->setSingleShot(true);
    QObject::connect(run.deadline.get(), &QTimer::timeout, &m_context, [this, id] { timedOut(id); });
    run.deadline->start(run.traits.deadlineMs);
    kindNotifier.send(run.send, [this, id](const NotificationResult& result) { finished(id, result); });
}

void NotificationService::finished(quint64 id, NotificationResult result)
{
    if (m_runs.count(id)) // not ended by its deadline or an abort already
        end(id, std::move(result));
}

void NotificationService::timedOut(quint64 id)
{
    const auto found = m_runs.find(id);
    if (found == m_runs.end())
        return;
    const Kind kind = found->second.kind;
    const KindNotifier::Traits& traits = found->second.traits;
    const QString text = QStringLiteral("Error: %1: timed out: it did not end within %2 seconds")
                             .arg(traits.name)
                             .arg(traits.deadlineMs / 1000.0);
    m_shown.setStatus(text);
    end(id, NotificationResult::failed(text));
    notifier(kind)->abort(id); // its report, given up, finds nothing left to end
}

void NotificationService::end(quint64 id, NotificationResult result)
{
    auto node = m_runs.extract(id);
    if (node.empty())
        return;
    Run& run = node.mapped();
    if (run.deadline)
        run.deadline.release()->deleteLater(); // its time-out may be what ends the run
    result.message = run.mask.apply(masked(result.message));
    if (result.ok() && !run.send.preview && !run.setting.remembered.isEmpty())
        remember(run);
    if (run.done)
        run.done(result);
}

QString NotificationService::lastSetting(const Run& run) const
{
    if (run.traits.memoryKey)
        return m_host.settings().read(*run.traits.memoryKey);
    return notifier(run.kind)->lastSetting(run.send.entry);
}

void NotificationService::remember(const Run& run)
{
    if (run.traits.memoryKey)
        m_host.settings().write(*run.traits.memoryKey, run.setting.remembered);
    else
        notifier(run.kind)->rememberSetting(run.send.entry, run.setting.remembered);
}

void NotificationService::abort()
{
    std::vector<quint64> ids;
    for (const auto& [id, run] : m_runs)
        ids.push_back(id);
    for (const quint64 id : ids) {
        const auto found = m_runs.find(id);
        if (found == m_runs.end())
            continue;
        if (found->second.phase == Phase::WaitingForSecrets) {
            end(id, NotificationResult::givenUp());
            continue;
        }
        notifier(found->second.kind)->abort(id);
        end(id, NotificationResult::givenUp()); // a kind that reports its abort later has nothing left to end
    }
}

QString NotificationService::masked(QString text) const
{
    for (const auto& [id, run] : m_runs)
        text = run.mask.apply(text);
    return text;
}
