// The MQTT notification against mosquitto (tests/peers/mosquitto_peer.py), read back with mosquitto_sub.
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "configure/frmConfigure.h"
#include "mqtt/MqttNotifier.h"
#include "mqtt/MqttSession.h"
#include "notify/NotificationService.h"
#include "platform/ProcessLauncher.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTcpServer>
#include <QtTest>

namespace {
const QString Password = QStringLiteral("s3cret-Pw");
const QString WrongPassword = QStringLiteral("wr0ng-Pw");

/// The most this process has held in memory so far, in KiB.
qint64 peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf("VmHWM:");
    return at < 0 ? 0 : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLongLong();
}

} // namespace

class TestMqttNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void publishesTheAddresses_data();
    void publishesTheAddresses();
    void showsWhyItFailed_data();
    void showsWhyItFailed();
    void refusesTopicsItCannotPublishTo_data();
    void refusesTopicsItCannotPublishTo();
    void testNowInTheDialog();

private:
    void configure(TestNotificationHost& host, bool tls, const QString& broker, quint16 port, const QString& ca,
                   const QString& password, const QString& topic);
    static NotificationResult publish(TestNotificationHost& host, int timeoutMs = 10000);
    /// The retained messages on @p topics as "topic payload" lines, sorted.
    QStringList retained(const QStringList& topics, int count);

    PeerProcess m_broker;
};

void TestMqttNotifier::initTestCase()
{
    QString error;
    QVERIFY2(m_broker.start(QStringLiteral("mosquitto_peer.py"),
                            {QStringLiteral("--password"), Password, QStringLiteral("--huge-publish")}, &error),
             qPrintable(error));
}

void TestMqttNotifier::configure(TestNotificationHost& host, bool tls, const QString& broker, quint16 port,
                                 const QString& ca, const QString& password, const QString& topic)
{
    Settings& settings = host.settings();
    QVERIFY(settings.write(Key::MqttHost, broker).ok);
    QVERIFY(settings.write(Key::MqttPort, port).ok);
    QVERIFY(settings.writeFlag(Key::MqttTls, tls).ok);
    QVERIFY(settings.write(Key::MqttCaFile, ca).ok);
    QVERIFY(settings.write(Key::MqttUser, QStringLiteral("alice")).ok);
    QVERIFY(settings.write(Key::MqttPassword, password).ok);
    QVERIFY(settings.write(Key::MqttTopic, topic).ok);
}

NotificationResult TestMqttNotifier::publish(TestNotificationHost& host, int timeoutMs)
{
    DetachedProcessLauncher launcher;
    NotificationService service(host, launcher);
    auto mqtt = std::make_unique<MqttNotifier>(service.host());
    mqtt->setTimeoutMs(timeoutMs);
    service.setNotifier(Notifiers::Kind::Mqtt, std::move(mqtt));
    std::optional<NotificationResult> result; // the host's previous external address is 198.51.100.1
    service.notify(Notifiers::Kind::Mqtt, [&result](const NotificationResult& r) { result = r; });
    (void)QTest::qWaitFor([&result] { return result.has_value(); }, timeoutMs + 5000);
    return result.value_or(NotificationResult::givenUp());
}

QStringList TestMqttNotifier::retained(const QStringList& topics, int count)
{
    QStringList args{
        "-h", "127.0.0.1", "-p", m_broker.readyField("PORT"), "-u", "alice", "-P", Password, "-v", "--retained-only",
        "-W", "5",         "-C", QString::number(count)};
    for (const QString& topic : topics)
        args << "-t" << topic;
    return runTool(QStringLiteral("mosquitto_sub"), args);
}

void TestMqttNotifier::publishesTheAddresses_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("discovery");
    QTest::newRow("plain, with Home Assistant discovery") << false << true;
    QTest::newRow("TLS, the broker's CA trusted") << true << false;
}

void TestMqttNotifier::publishesTheAddresses()
{
    QFETCH(bool, tls);
    QFETCH(bool, discovery);
    TestNotificationHost host;
    const QString topic = QStringLiteral("home/ip/") + (tls ? "tls" : "plain");
    const QString port = m_broker.readyField(tls ? "TLS" : "PORT");
    configure(host, tls, QStringLiteral("localhost"), port.toUShort(), m_broker.readyField("CA"), Password, topic);
    QVERIFY(host.settings().writeFlag(Key::MqttDiscovery, discovery).ok);
    QVERIFY(host.settings().write(Key::MqttDiscoveryPrefix, QStringLiteral("ha-") + port).ok);

    const NotificationResult result = publish(host);
    QVERIFY2(result.ok(), qPrintable(result.message));
    QCOMPARE(host.statuses.first(), QStringLiteral("Publishing to the MQTT broker localhost:") + port);
    QVERIFY2(host.status().startsWith("Success: MQTT message published to " + topic + " on localhost:" + port),
             qPrintable(host.status()));

    const QStringList state = retained({topic}, 1);
    QCOMPARE(state.size(), 1);
    const QJsonObject json = QJsonDocument::fromJson(state[0].section(u' ', 1).toUtf8()).object();
    QCOMPARE(json.value("internal").toString(), QStringLiteral("192.168.1.20"));
    QCOMPARE(json.value("external").toString(), QStringLiteral("203.0.113.7"));
    QCOMPARE(json.value("external_ipv6").toString(), QStringLiteral("2001:db8::7"));
    QCOMPARE(json.value("previous_external").toString(), QStringLiteral("198.51.100.1"));
    const QDateTime time = QDateTime::fromString(json.value("time").toString(), Qt::ISODate);
    QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 60);

    const QStringList configs = retained({"ha-" + port + "/#"}, 3);
    QCOMPARE(configs.size(), discovery ? 3 : 0);
    const QString node = mqttNodeId(QSysInfo::machineHostName());
    const QStringList objects{"external", "external_ipv6", "internal"};
    for (int i = 0; i < configs.size(); ++i) {
        QCOMPARE(configs[i].section(u' ', 0, 0), "ha-" + port + "/sensor/" + node + "/" + objects[i] + "/config");
        const QJsonObject config = QJsonDocument::fromJson(configs[i].section(u' ', 1).toUtf8()).object();
        QCOMPARE(config.value("state_topic").toString(), topic);
        QCOMPARE(config.value("unique_id").toString(), node + "_" + objects[i]);
        QVERIFY(config.value("value_template").toString().contains("value_json." + objects[i] + " "));
        QCOMPARE(config.value("device").toObject().value("identifiers").toArray().first().toString(), node);
    }
}

void TestMqttNotifier::showsWhyItFailed_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("broker");
    QTest::addColumn<QString>("port"); // a field of the broker's ready line, or "free" or "silent"
    QTest::addColumn<QString>("ca");   // a field of the broker's ready line
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("status"); // the start of the last status line; %1: host:port
    const QString refused = QStringLiteral("Error: The MQTT broker %1 refused the user name or password");
    QTest::newRow("wrong password") << false << "127.0.0.1"
                                    << "PORT"
                                    << "CA" << WrongPassword << refused;
    QTest::newRow("CA not trusted") << true << "localhost"
                                    << "TLS"
                                    << "OTHERCA" << Password
                                    << "Error: The MQTT broker's certificate is not trusted, or TLS failed with %1";
    QTest::newRow("host name mismatch") << true << "127.0.0.1"
                                        << "TLS"
                                        << "CA" << Password
                                        << "Error: The MQTT broker's certificate is not for 127.0.0.1";
    QTest::newRow("nothing listening") << false << "127.0.0.1"
                                       << "free"
                                       << "CA" << Password
                                       << "Error: No connection to the MQTT broker %1 (Connection refused)";
    QTest::newRow("plain to the TLS port") << false << "127.0.0.1"
                                           << "TLS"
                                           << "CA" << Password << "Error: The MQTT broker %1 closed the connection";
    QTest::newRow("no answer") << false << "127.0.0.1"
                               << "silent"
                               << "CA" << Password << "Error: No answer from the MQTT broker %1 within 1 seconds";
    QTest::newRow("a PUBLISH of 256 MiB unasked") << false << "127.0.0.1"
                                                  << "HUGE"
                                                  << "CA" << Password
                                                  << "Error: The MQTT broker %1 sent more than 1 MiB that nothing "
                                                     "asked for: connection closed";
    QTest::newRow("CA file missing") << true << "localhost"
                                     << "TLS"
                                     << "none" << Password << "Error: The MQTT CA file cannot be read: ";
}

void TestMqttNotifier::showsWhyItFailed()
{
    QFETCH(bool, tls);
    QFETCH(QString, broker);
    QFETCH(QString, port);
    QFETCH(QString, ca);
    QFETCH(QString, password);
    QFETCH(QString, status);
    if (port == "TLS" && !tls && qEnvironmentVariableIsSet("VISTREL_UNDER_WINE")) // set by windows/wine-run.sh
        QSKIP("Under Wine the relay's socket to the broker misses its close in about one run of three");
    QTcpServer silent; // listens and never answers
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    quint16 portNumber = port == "silent" ? silent.serverPort() : m_broker.readyField(port).toUShort();
    if (port == "free") {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        portNumber = closed.serverPort();
    }
    TestNotificationHost host;
    const QString caFile = ca == "none" ? QStringLiteral("/nonexistent/ca.pem") : m_broker.readyField(ca);
    configure(host, tls, broker, portNumber, caFile, password, QStringLiteral("home/ip"));

    const qint64 peakBefore = peakMemoryKiB();
    // The silent broker's second; the others end the session by themselves (TLS under Wine on a busy machine: seconds).
    const NotificationResult result = publish(host, port == "silent" ? 1000 : 8000);
    // A few MiB, some 40 under the sanitizers: far below the 256 MiB the broker announces.
    QVERIFY2(peakMemoryKiB() - peakBefore < 64 * 1024, qPrintable(QString::number(peakMemoryKiB() - peakBefore)));
    QCOMPARE(result.outcome, NotificationResult::Outcome::Failed);
    QCOMPARE(result.message, host.status());
    const QString expected = status.contains("%1") ? status.arg(broker + ":" + QString::number(portNumber)) : status;
    QVERIFY2(host.status().startsWith(expected), qPrintable(host.status()));
    for (const QString& line : std::as_const(host.statuses))
        QVERIFY2(!line.contains(Password) && !line.contains(WrongPassword), qPrintable(line));
}

void TestMqttNotifier::refusesTopicsItCannotPublishTo_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("why");
    QTest::newRow("empty") << ""
                           << "empty";
    // Published to "home/ip" if it were passed on as a C string.
    QTest::newRow("NUL") << QStringLiteral("home/ip") + QChar(u'\0') + QStringLiteral("/x") << "holds a NUL character";
    QTest::newRow("wildcards") << "home/+/ip/#"
                               << "holds the wildcard + or #";
    // 21846 characters, 65538 bytes in UTF-8.
    QTest::newRow("65538 bytes") << QString(21846, QChar(0x20AC)) << "longer than 65535 bytes in UTF-8";
}

void TestMqttNotifier::refusesTopicsItCannotPublishTo()
{
    QFETCH(QString, topic);
    QFETCH(QString, why);
    TestNotificationHost host;
    configure(host, false, QStringLiteral("127.0.0.1"), m_broker.readyField("PORT").toUShort(), {}, Password, topic);
    const NotificationResult result = publish(host, 3000);
    QCOMPARE(result.outcome, NotificationResult::Outcome::Failed);
    QVERIFY2(result.message.startsWith(u"Error: The MQTT topic \"") &&
                 result.message.endsWith("\" is not valid (" + why + ")"),
             qPrintable(result.message.left(200)));
    QCOMPARE(host.statuses.size(), 2); // "Publishing ...", then the error: nothing else happened
}

void TestMqttNotifier::testNowInTheDialog()
{
    TestNotificationHost host;
    DetachedProcessLauncher launcher;
    NotificationService service(host, launcher);
    service.setNotifier(Notifiers::Kind::Mqtt, std::make_unique<MqttNotifier>(service.host()));
    frmConfigure dialog(host, service);
    const auto field = [&dialog](const char* name) { return dialog.findChild<QLineEdit*>(QLatin1String(name)); };
    QTest::keyClicks(field("txtMqttHost"), QStringLiteral("127.0.0.1"));
    dialog.findChild<QSpinBox*>("txtMqttPort")->setValue(m_broker.readyField("PORT").toInt());
    QTest::keyClicks(field("txtMqttUser"), QStringLiteral("alice"));
    QTest::keyClicks(field("txtMqttPassword"), Password);
    field("txtMqttTopic")->clear();
    QTest::keyClicks(field("txtMqttTopic"), QStringLiteral("pane/ip"));
    dialog.findChild<QCheckBox*>("chkMqttNotify")->click();
    QCOMPARE(field("txtMqttPassword")->echoMode(), QLineEdit::Password);
    QVERIFY(host.settings().readFlag(Key::MqttNotify));

    dialog.findChild<QPushButton*>("cmdMqttTest")->click();
    const QLabel* result = dialog.findChild<QLabel*>("lblMqttResult");
    QTRY_VERIFY_WITH_TIMEOUT(result->text().startsWith("Success: MQTT message published to pane/ip"), 10000);
    QCOMPARE(retained({"pane/ip"}, 1).size(), 1);
}

QTEST_MAIN(TestMqttNotifier)
#include "tst_mqttnotifier.moc"
