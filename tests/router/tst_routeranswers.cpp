// What a router says, read without a router: the UPnP, PCP and NAT-PMP answers' readers and what an answer means
// beside the agreed address, on both systems.
#include "RouterAnswerText.h"

#include "core/RouterCheck.h"
#include "router/IgdXml.h"
#include "router/NatPmpMessage.h"
#include "router/PcpMessage.h"

#include <QNetworkDatagram>
#include <QtTest>

class TestRouterAnswers : public QObject
{
    Q_OBJECT
private slots:
    void judge_data();
    void judge();
    void soapAnswer_data();
    void soapAnswer();
    void pcpAnswer_data();
    void pcpAnswer();
    void pcpEpoch();
    void natPmpAnswer_data();
    void natPmpAnswer();
};

// What a router's answer says beside the agreed address (what miniupnpd cannot be made to say: it never tells a
// private or shared address).
void TestRouterAnswers::judge_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("wan");
    QTest::addColumn<QString>("agreed");
    QTest::addColumn<int>("nat"); // -1: says nothing
    using K = RouterAnswer::Kind;
    using N = RouterCheck::Nat;
    QTest::newRow("no answer") << int(K::None) << ""
                               << "100.128.3.5" << -1;
    QTest::newRow("withheld") << int(K::Withheld) << ""
                              << "" << int(N::CarrierGrade);
    QTest::newRow("shared space") << int(K::Address) << "100.127.255.254"
                                  << "" << int(N::CarrierGrade);
    QTest::newRow("past shared space") << int(K::Address) << "100.128.0.1"
                                       << "100.128.0.1" << int(N::None);
    QTest::newRow("private") << int(K::Address) << "192.168.178.20"
                             << "100.128.3.5" << int(N::SecondRouter);
    QTest::newRow("other public") << int(K::Address) << "100.128.9.9"
                                  << "100.128.3.5" << int(N::CarrierGrade);
    QTest::newRow("public, no agreed") << int(K::Address) << "100.128.9.9"
                                       << "" << -1;
}

void TestRouterAnswers::judge()
{
    QFETCH(int, kind);
    QFETCH(QString, wan);
    QFETCH(QString, agreed);
    QFETCH(int, nat);
    const std::optional<RouterCheck::Nat> judged =
        RouterCheck::judge({RouterAnswer::Kind(kind), QHostAddress(wan), QStringLiteral("UPnP")}, agreed);
    QCOMPARE(judged ? int(*judged) : -1, nat);
}

// What GetExternalIPAddress says: only a whole dotted quad is an address (QHostAddress alone reads "100.64" as
// 100.0.0.64, inet_aton's short form), an IPv6 address is none to compare, and anything else is a bad answer.
void TestRouterAnswers::soapAnswer_data()
{
    QTest::addColumn<QByteArray>("text"); // NewExternalIPAddress
    QTest::addColumn<QString>("told");
    QTest::newRow("dotted quad") << QByteArray(" 100.64.3.4\n") << "100.64.3.4";
    QTest::newRow("zeros") << QByteArray("0.10.0.0") << "0.10.0.0";
    QTest::newRow("empty") << QByteArray() << "withheld";
    QTest::newRow("0.0.0.0") << QByteArray("0.0.0.0") << "withheld";
    QTest::newRow("IPv6") << QByteArray("2001:db8::1") << "none";
    for (const char* bad : {"100.64", "1", "100.64.3", "100.64.3.4.5", "100.064.3.4", "0x64.1.2.3", "256.1.1.1",
                            "100.64.3.4x", "100..3.4", "1.2.3.4 5", "::ffff:1.2", "fe80::1%eth0", "100.64.3.-4"})
        QTest::newRow(bad) << QByteArray(bad) << "bad";
    QTest::newRow("no response") << QByteArray("</NewExternalIPAddress><x>") << "bad";
}

void TestRouterAnswers::soapAnswer()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, told);
    const QByteArray reply = "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                             "<s:Body><u:GetExternalIPAddressResponse xmlns:u=\"urn:schemas-upnp-org:service:"
                             "WANIPConnection:1\"><NewExternalIPAddress>" +
                             text + "</NewExternalIPAddress></u:GetExternalIPAddressResponse></s:Body></s:Envelope>";
    const RouterAnswer answer = IgdXml::externalAddress(reply);
    QCOMPARE(::told(answer), told);
    QCOMPARE(answer.method, told == u"none" ? QString() : QStringLiteral("UPnP"));
}

// What an answer on the PCP port says to a MAP request for TCP port 9 with the nonce 012edc70...: each row is
// miniupnpd 2.3.1's answer to that request, changed as the row says.
void TestRouterAnswers::pcpAnswer_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("verdict");
    const QByteArray map =
        QByteArray::fromHex("028100000000007800000002000000000000000000000000012edc70666a9e22646ed490"
                            "060000000009000900000000000000000000ffff64800305");
    const auto changed = [&map](int at, const char* bytes) {
        return QByteArray(map).replace(at, qstrlen(bytes), bytes);
    };
    QTest::newRow("miniupnpd's answer") << map << "100.128.3.5";
    QTest::newRow("with an option") << map + QByteArray::fromHex("0100000200010000") << "100.128.3.5";
    QTest::newRow("network failure") << changed(3, "\x07") << "withheld";
    QTest::newRow("no external address") << QByteArray(map).replace(56, 4, QByteArray(4, '\0')) << "withheld";
    QTest::newRow("an IPv6 address") << changed(44, "\x20") << "none";
    // miniupnpd's answer when its own address is a shared one; a NAT-PMP server's to any version but its own
    // (RFC 6886 section 3.5): ask by NAT-PMP.
    QTest::newRow("no resources") << changed(3, "\x08") << "NAT-PMP";
    QTest::newRow("NAT-PMP only") << QByteArray::fromHex("0081000100000e10") << "NAT-PMP";
    QTest::newRow("another nonce") << changed(24, "\x02") << "ignored";
    QTest::newRow("another port") << changed(40, "\x01") << "ignored";
    QTest::newRow("another protocol") << changed(36, "\x11") << "ignored";
    QTest::newRow("an ANNOUNCE answer") << map.left(24).replace(1, 1, "\x80") << "ignored";
    QTest::newRow("a request") << changed(1, "\x01") << "malformed";
    QTest::newRow("cut short") << map.left(56) << "malformed";
    QTest::newRow("not in words") << map + '\0' << "malformed";
    QTest::newRow("an option past the end") << map + QByteArray::fromHex("01000008") << "malformed";
    QTest::newRow("an option's padding past the end") << map + QByteArray::fromHex("0100000500000000") << "malformed";
    QTest::newRow("too long") << map + QByteArray(1044, '\0') << "malformed";
    QTest::newRow("empty") << QByteArray() << "malformed";
    QTest::newRow("NAT-PMP, cut short") << QByteArray::fromHex("008100") << "malformed";
}

void TestRouterAnswers::pcpAnswer()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, verdict);
    PcpMessage::MapRequest request;
    const QByteArray nonce = QByteArray::fromHex("012edc70666a9e22646ed490");
    std::copy(nonce.begin(), nonce.end(), request.nonce.begin());
    request.protocol = 6;
    request.internalPort = 9;
    QString error;
    const std::optional<PcpMessage::Reply> reply = PcpMessage::parseReply(datagram, &error);
    QCOMPARE(error.isEmpty(), bool(reply));
    const PcpMessage::Verdict judged = reply ? PcpMessage::judge(request, *reply) : PcpMessage::Verdict{};
    using Next = PcpMessage::Verdict::Next;
    QCOMPARE(!reply                           ? QStringLiteral("malformed")
             : judged.next == Next::Ignore    ? QStringLiteral("ignored")
             : judged.next == Next::AskNatPmp ? QStringLiteral("NAT-PMP")
                                              : told(judged.answer),
             verdict);
    QCOMPARE(judged.answer.method, judged.answer.kind == RouterAnswer::Kind::None ? QString() : QStringLiteral("PCP"));
}

// A router's epoch goes on with the client's clock, within a second or two and 1/16 of the time between (RFC 6887
// section 8.5); going back, or jumping far ahead, means it lost its mappings.
void TestRouterAnswers::pcpEpoch()
{
    QVERIFY(PcpMessage::epochContinues(100, 101, 1));
    QVERIFY(PcpMessage::epochContinues(100, 99, 0)); // answers crossing
    QVERIFY(PcpMessage::epochContinues(100, 100 + 3600 + 200, 3600));
    QVERIFY(!PcpMessage::epochContinues(100, 5, 10));
    QVERIFY(!PcpMessage::epochContinues(100, 100 + 7200, 3600));
    QVERIFY(!PcpMessage::epochContinues(100, 103, 3600));
    QVERIFY(!PcpMessage::epochContinues(0xffffffff, 0, 1));
}

// What a datagram from "host:port" says in answer to NAT-PMP's request to 192.168.77.1: each row is an answer laid
// out as RFC 6886 section 3.2 has it, changed as the row says; refusals carry their section 3.5 meaning.
void TestRouterAnswers::natPmpAnswer_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("verdict");
    const QByteArray answer = QByteArray::fromHex("008000000001e24064400304");
    const QString gateway = QStringLiteral("192.168.77.1:5351");
    const auto result = [&answer](char code) { return QByteArray(answer).replace(3, 1, &code, 1); };
    QTest::newRow("an address") << answer << gateway << "100.64.3.4";
    QTest::newRow("from another port") << answer << QStringLiteral("192.168.77.1:5350") << "ignored";
    QTest::newRow("from another host") << answer << QStringLiteral("192.168.77.2:5351") << "ignored";
    QTest::newRow("unsupported version") << result(1) << gateway << "1, unsupported version";
    QTest::newRow("not authorized") << result(2) << gateway << "2, not authorized or refused";
    QTest::newRow("network failure") << result(3) << gateway << "3, network failure (no external address yet)";
    QTest::newRow("refusal, 8 bytes") << result(3).left(8) << gateway << "3, network failure (no external address yet)";
    QTest::newRow("out of resources") << result(4) << gateway << "4, out of resources";
    QTest::newRow("unsupported opcode") << result(5) << gateway << "5, unsupported opcode";
    QTest::newRow("an unknown result") << result(char(0xff)) << gateway << "255, unknown result";
    QTest::newRow("cut short") << answer.left(11) << gateway << "malformed";
    QTest::newRow("refusal cut short") << result(3).left(7) << gateway << "malformed";
    QTest::newRow("too long") << answer + '\0' << gateway << "malformed";
    QTest::newRow("a PCP answer") << QByteArray(answer).replace(0, 1, "\x02") << gateway << "malformed";
    QTest::newRow("a mapping's answer") << QByteArray(answer).replace(1, 1, "\x81") << gateway << "malformed";
    QTest::newRow("the request") << NatPmpMessage::addressRequest() << gateway << "malformed";
}

void TestRouterAnswers::natPmpAnswer()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, from);
    QFETCH(QString, verdict);
    QNetworkDatagram received(datagram);
    received.setSender(QHostAddress(from.section(':', 0, 0)), from.section(':', 1).toUShort());
    QString error;
    quint16 result = 0;
    const std::optional<NatPmpMessage::Answer> answer = NatPmpMessage::parseAnswer(datagram, &error, &result);
    QCOMPARE(error.isEmpty(), bool(answer));
    QCOMPARE(!NatPmpMessage::fromGateway(received, QHostAddress(QStringLiteral("192.168.77.1"))) ? "ignored"
             : answer ? answer->external.toString()
             : result ? error.section(' ', 2)
                      : QStringLiteral("malformed"),
             verdict);
}

QTEST_GUILESS_MAIN(TestRouterAnswers)
#include "tst_routeranswers.moc"
