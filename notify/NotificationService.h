#pragma once

#include "core/NotifierKinds.h"
#include "core/Notifiers.h"
#include "notify/KindNotifier.h"
#include "notify/NotificationHost.h"
#include "notify/SecretMask.h"

#include <QObject>

#include <array>
#include <functional>
#include <map>
#include <memory>

class MailTransport;
class ProcessLauncher;
class QTimer;

/// The notifications as the watcher sees them, and the one runner of every kind: it owns a KindNotifier for each
/// kind the build has and applies, the same for all, what a send needs besides the sending itself:
/// - one at a time or several at once, as the kind says: a second send of a one-at-a-time kind fails at once;
/// - the keyring's answer for each of its secrets before it starts (aborted meanwhile: given up);
/// - its deadline from its start on: a send that has not ended by then is aborted and fails as timed out;
/// - no secret of a send under way in any status text or result, in any encoding;
/// - the "already set" memory of the kinds that set a name's records: nothing is sent when the last success set
///   the same, unless the user asked (Test Now), and a success is remembered;
/// - one wording for what it says itself: "Error: <label>: <detail>".
class NotificationService : public Notifiers
{
public:
    /// With the kinds of this library (mail, web requests, program); the others come through setNotifier.
    NotificationService(NotificationHost& host, ProcessLauncher& launcher);
    ~NotificationService() override;

    /// What the kinds are given as their host: the real one, its status texts masked.
    NotificationHost& host() { return m_shown; }
    /// @p notifier sends @p kind from now on. Without one, that kind fails saying it is not in this build.
    void setNotifier(Kind kind, std::unique_ptr<KindNotifier> notifier);
    /// @p make builds the notifier of @p kind when a send of it is first asked for, so that a kind nobody uses
    /// costs nothing (its library not even loaded); its null means the kind is not in this build. Only for a kind
    /// with no entries besides 0: until it is made, moreEntries() says it has none.
    void setNotifierMaker(Kind kind, std::function<std::unique_ptr<KindNotifier>()> make);
    /// The notifier of @p kind, made now if it was not yet.
    KindNotifier* notifier(Kind kind) const;
    /// The SSL 2.0 channel for mail with the security "SSL 2.0 (legacy)". Not owned.
    void setSecureTransport(MailTransport* transport);

    void notify(Kind kind, Done done) override { start(kind, 0, Start::Change, std::move(done)); }
    void notifyEntry(Kind kind, int entry, Done done) override { start(kind, entry, Start::Change, std::move(done)); }
    void test(Kind kind, int entry, Done done) override { start(kind, entry, Start::Forced, std::move(done)); }
    void preview(Kind kind, int entry, Done done) override { start(kind, entry, Start::Preview, std::move(done)); }
    /// Entry @p entry of @p kind asked at @p url after a lookup (forced: never "already set"); a ping is never
    /// pending: @p done only counts it.
    void ping(Kind kind, int entry, const QString& url, Done done)
    {
        start(kind, entry, Start::Forced, std::move(done), url);
    }
    QList<int> moreEntries(Kind kind) const override;
    bool sendsOnChange(Kind kind, int entry) const override;
    void abort() override;

    /// How many sends are asked for and not ended (waiting for a secret or under way).
    int running() const { return int(m_runs.size()); }

private:
    /// The host the kinds see: every status text leaves with the secrets of the sends under way masked.
    class ShownHost : public NotificationHost
    {
    public:
        ShownHost(NotificationService& service, NotificationHost& host) : m_service(service), m_host(host) {}
        void setStatus(const QString& text) override { m_host.setStatus(m_service.masked(text)); }
        QString status() const override { return m_host.status(); }
        void watchStatus(QObject* context, std::function<void(const QString&)> show) override
        {
            m_host.watchStatus(context, std::move(show));
        }
        QString internalAddress() const override { return m_host.internalAddress(); }
        QString externalAddress() const override { return m_host.externalAddress(); }
        QString externalIPv6Address() const override { return m_host.externalIPv6Address(); }
        QString previousInternalAddress() const override { return m_host.previousInternalAddress(); }
        QString previousExternalAddress() const override { return m_host.previousExternalAddress(); }
        QString previousExternalIPv6Address() const override { return m_host.previousExternalIPv6Address(); }
        Settings& settings() override { return m_host.settings(); }
        NotifySettings& notifySettings() override { return m_host.notifySettings(); }
        const ProductInfo& product() const override { return m_host.product(); }
        PasswordStore* passwordStore() override { return m_host.passwordStore(); }
        PasswordStore* secretStore(Key fileKey) override { return m_host.secretStore(fileKey); }

    private:
        NotificationService& m_service;
        NotificationHost& m_host;
    };

    enum class Phase
    {
        WaitingForSecrets,
        Sending,
    };
    struct Run
    {
        Kind kind;
        KindNotifier::Traits traits;
        NoticeSend send;
        Done done;
        Phase phase = Phase::WaitingForSecrets;
        NoticeSetting setting;
        SecretMask mask;
        std::unique_ptr<QTimer> deadline;
    };

    enum class Start
    {
        Change,  // a change of address asked for it
        Forced,  // Test Now: sent even when the last success set the same
        Preview, // says what it would change, changes nothing
    };
    void start(Kind kind, int entry, Start how, Done done, const QString& pingUrl = {});
    /// Starts run @p id once the keyring has answered for each of its secrets.
    void beginWhenReady(quint64 id);
    void begin(quint64 id);
    void finished(quint64 id, NotificationResult result);
    void timedOut(quint64 id);
    /// Ends run @p id with @p result (masked), remembering what a success set.
    void end(quint64 id, NotificationResult result);
    /// Fails a send that never started, saying why on the status line.
    void refuse(Kind kind, const QString& detail, const Done& done, NotificationResult::Category category);
    QString masked(QString text) const;
    /// The memory of what the last success of @p run's kind and entry set, and writing it.
    QString lastSetting(const Run& run) const;
    void remember(const Run& run);

    NotificationHost& m_host;
    ShownHost m_shown{*this, m_host};
    QObject m_context; // the keyring waits end with it
    std::map<quint64, Run> m_runs;
    quint64 m_lastRun = 0;
    mutable std::array<std::unique_ptr<KindNotifier>, NotifierKinds.size()> m_notifiers;
    mutable std::array<std::function<std::unique_ptr<KindNotifier>()>, NotifierKinds.size()> m_makers;
};
