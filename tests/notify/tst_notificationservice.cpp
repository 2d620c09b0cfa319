// The runner's rules, once for every kind: the six real notifiers where a rule lives in them (their categories, the
// keyring wait), one small kind of the test's own where the rule is the runner's alone (deadline, masking, memory).
#include "TestNotificationHost.h"
#include "app/KindWiring.h"
#include "dnsapi/DnsHostNotifier.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationService.h"
#include "notify/WebEntries.h"
#include "platform/ProcessLauncher.h"

#include <QtTest>

using Kind = Notifiers::Kind;

namespace {
/// A kind that shows its secret in every text it makes, and answers only when told.
class EchoKind : public KindNotifier
{
public:
    Traits traits(int) const override { return {"Echo", Concurrency::OneAtATime, 200, {Key::MqttPassword}}; }
    NoticeSetting setting(const NoticeSend& send) const override { return {send.addresses.external, "it"}; }
    QString lastSetting(int) const override { return last; }
    void rememberSetting(int, const QString& remembered) override { last = remembered; }
    void send(const NoticeSend& send, Notifiers::Done done) override
    {
        ++sent;
        host->setStatus(QStringLiteral("Sending with ") + secret);
        if (answer)
            return done(NotificationResult::failed(QStringLiteral("Error: Echo: refused ") + secret.toUtf8().toBase64()));
        pending = std::move(done);
        aborted = send.run;
    }
    void abort(quint64 run) override { aborted = run; }

    NotificationHost* host = nullptr;
    QString secret;
    QString last;
    bool answer = true;
    int sent = 0;
    quint64 aborted = 0;
    Notifiers::Done pending;
};

struct Runner
{
    explicit Runner(TestNotificationHost& host) : service(host, launcher)
    {
        service.setNotifier(Kind::Mqtt, makeMqttNotifier(service.host()));
        service.setNotifier(Kind::DnsUpdate, makeDnsUpdateNotifier(service.host()));
        service.setNotifier(Kind::DnsHosts, std::make_unique<DnsHostNotifier>(service.host()));
    }
    /// Each kind once (the web request 2 for Web), with their results as they came.
    QMap<Kind, NotificationResult> sendAll()
    {
        QMap<Kind, NotificationResult> results;
        for (const NotifierKindNames& names : NotifierKinds) {
            const Kind kind = names.kind;
            service.notifyEntry(kind, kind == Kind::Web ? 1 : 0,
                                [&results, kind](const NotificationResult& r) { results.insert(kind, r); });
        }
        return results;
    }
    DetachedProcessLauncher launcher;
    NotificationService service;
};
} // namespace

class TestNotificationService : public QObject
{
    Q_OBJECT
private slots:
    // Under a keyring that never answers (under_keyring.sh hung): each kind waits for its secret; an abort then
    // gives each up, and nothing was sent.
    void waitingForTheKeyringIsGivenUpByAnAbort()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("runs under a keyring: tst_notificationservice_keyring");
        TestNotificationHost host;
        WebEntries::save(host.settings(), 1, WebRequest{});
        std::vector<std::unique_ptr<PasswordStore>> stores;
        for (const Key key : {Key::MailPassword, WebEntries::secretKey(1), Key::MqttPassword, Key::DnsUpdateKeySecret,
                              Key::DnsApiToken})
            host.stores[key] = stores.emplace_back(new PasswordStore("Tarnwick IP Vistrel test", host.settings(),
                                                                     nullptr, key, "secret"))
                                   .get();
        Runner runner(host);
        const QMap<Kind, NotificationResult>& results = runner.sendAll();
        QTest::qWait(300);
        QCOMPARE(results.keys(), QList<Kind>{Kind::Program}); // the one kind without a secret
        runner.service.abort();
        QCOMPARE(results.size(), 6);
        for (const Kind kind : {Kind::Mail, Kind::Web, Kind::Mqtt, Kind::DnsUpdate, Kind::DnsHosts})
            QCOMPARE(results[kind].outcome, NotificationResult::Outcome::GivenUp);
        QCOMPARE(runner.service.running(), 0);
    }

    // Every kind with nothing set up fails saying what to enter, and is not tried again until the settings change.
    void aConfigurationErrorIsNotRetried()
    {
        TestNotificationHost host;
        (void)host.settings().write(WebEntries::requestKey(1), QStringLiteral("{damaged"));
        host.notifySettings().security = MailSecurity::Ssl2; // without the SSL 2.0 channel
        Runner runner(host);
        const QMap<Kind, NotificationResult> results = runner.sendAll();
        QCOMPARE(results.size(), 6);
        for (const auto& [kind, result] : results.asKeyValueRange()) {
            QVERIFY2(result.message.startsWith(u"Error: "), qPrintable(result.message));
            QVERIFY2(!result.worthRetrying(), qPrintable(result.message));
        }
    }

    void theRunnersOwnRules()
    {
        TestNotificationHost host;
        (void)host.settings().write(Key::MqttPassword, QStringLiteral("pa ss/wörd"));
        DetachedProcessLauncher launcher;
        NotificationService service(host, launcher);
        auto made = std::make_unique<EchoKind>();
        EchoKind& echo = *made;
        echo.host = &service.host();
        echo.secret = QStringLiteral("pa ss/wörd");
        service.setNotifier(Kind::Mqtt, std::move(made));
        std::optional<NotificationResult> result;
        const auto keep = [&result](const NotificationResult& r) { result = r; };

        // A secret the kind shows, in its status or (Base64) in its result, is masked.
        service.notify(Kind::Mqtt, keep);
        QCOMPARE(host.statuses, (QStringList{"Sending with ***"}));
        QVERIFY2(result->message.startsWith(u"Error: Echo: refused ***") &&
                     !result->message.contains(QString::fromLatin1(echo.secret.toUtf8().toBase64().left(12))),
                 qPrintable(result->message));
        QVERIFY(result->worthRetrying());

        // A success is remembered: the same addresses are not sent again, unless the user asks.
        echo.answer = false;
        service.notify(Kind::Mqtt, keep);
        echo.pending(NotificationResult::delivered());
        QCOMPARE(echo.last, QStringLiteral("203.0.113.7"));
        service.notify(Kind::Mqtt, keep);
        QCOMPARE(result->message, QStringLiteral("Success: Echo: it already set; nothing sent"));
        QCOMPARE(echo.sent, 2);

        // One at a time; one that does not end in time is aborted and fails as timed out.
        service.test(Kind::Mqtt, 0, keep);
        QCOMPARE(echo.sent, 3);
        service.notify(Kind::Mqtt, keep);
        QCOMPARE(result->message, QStringLiteral("Error: MQTT: one is already under way"));
        result.reset();
        QTRY_VERIFY(result.has_value());
        QCOMPARE(result->message, QStringLiteral("Error: Echo: timed out: it did not end within 0.2 seconds"));
        QVERIFY(echo.aborted != 0);
        echo.pending(NotificationResult::givenUp()); // late: nobody hears it
        QCOMPARE(service.running(), 0);
    }
};

QTEST_MAIN(TestNotificationService)
#include "tst_notificationservice.moc"
