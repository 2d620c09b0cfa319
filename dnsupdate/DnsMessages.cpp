#include "dnsupdate/DnsMessages.h"

#include <QHostAddress>
#include <QRandomGenerator>

#include <ldns/ldns.h>

#include <algorithm>
#include <memory>

namespace {

constexpr uint16_t FudgeSeconds = 300;
constexpr int OpcodeUpdate = 5;
constexpr int TsigErrorField = 5; // algorithm, time, fudge, MAC, original ID, error, other
constexpr int TsigMacField = 3;

struct PacketFree
{
    void operator()(ldns_pkt* packet) const { ldns_pkt_free(packet); }
};
struct RdfFree
{
    void operator()(ldns_rdf* rdf) const { ldns_rdf_deep_free(rdf); }
};
struct ListFree
{
    void operator()(ldns_rr_list* list) const { ldns_rr_list_deep_free(list); }
};
using Packet = std::unique_ptr<ldns_pkt, PacketFree>;
using Rdf = std::unique_ptr<ldns_rdf, RdfFree>;
using RrList = std::unique_ptr<ldns_rr_list, ListFree>;

Rdf domainName(const QString& text)
{
    const QByteArray ascii = text.trimmed().toLatin1();
    if (ascii.isEmpty() || ascii.contains(' '))
        return nullptr;
    return Rdf(ldns_dname_new_frm_str(ascii.constData()));
}

QString rdfText(const ldns_rdf* rdf)
{
    char* text = rdf ? ldns_rdf2str(rdf) : nullptr;
    const QString result = text ? QString::fromLatin1(text) : QString();
    free(text);
    return result;
}

QString canonical(const QString& name)
{
    QString lower = name.toLower();
    return lower.endsWith(u'.') ? lower : lower + u'.';
}

QString algorithmOf(const TsigKey& key)
{
    return key.algorithm.trimmed().isEmpty() ? QStringLiteral("hmac-sha256") : key.algorithm.trimmed();
}

/// A record of @p name with no data yet (ldns_rr_new_frm_type would reserve empty data fields).
ldns_rr* newRecord(const ldns_rdf* owner, int type, ldns_rr_class rrClass, uint32_t ttl)
{
    ldns_rr* rr = ldns_rr_new();
    ldns_rr_set_owner(rr, ldns_rdf_clone(owner));
    ldns_rr_set_type(rr, ldns_rr_type(type));
    ldns_rr_set_class(rr, rrClass);
    ldns_rr_set_ttl(rr, ttl);
    return rr;
}

bool pushAddresses(ldns_rr_list* list, const ldns_rdf* owner, const RecordSet& set, uint32_t ttl, QString* error)
{
    for (const QString& address : set.addresses) {
        const bool v6 = set.type == DnsMessages::TypeAaaa;
        const QHostAddress parsed(address);
        if (parsed.isNull() || (parsed.protocol() == QAbstractSocket::IPv6Protocol) != v6) {
            *error = QStringLiteral("%1 is no IPv%2 address").arg(address, v6 ? u"6" : u"4");
            return false;
        }
        const QByteArray ascii = parsed.toString().toLatin1();
        ldns_rdf* data = ldns_rdf_new_frm_str(v6 ? LDNS_RDF_TYPE_AAAA : LDNS_RDF_TYPE_A, ascii.constData());
        ldns_rr* rr = newRecord(owner, set.type, LDNS_RR_CLASS_IN, ttl);
        if (!data || !ldns_rr_push_rdf(rr, data)) {
            ldns_rdf_deep_free(data);
            ldns_rr_free(rr);
            *error = QStringLiteral("%1 could not be written").arg(address);
            return false;
        }
        ldns_rr_list_push_rr(list, rr);
    }
    return true;
}

/// Signs @p packet with a random ID and fills @p request with its wire form.
bool finish(ldns_pkt* packet, const TsigKey& key, DnsRequest* request, QString* error)
{
    request->id = quint16(QRandomGenerator::system()->bounded(0x10000));
    ldns_pkt_set_id(packet, request->id);
    const QByteArray keyName = canonical(key.name).toLatin1();
    const QByteArray secret = key.secret.trimmed().toLatin1();
    const QByteArray algorithm = canonical(algorithmOf(key)).toLatin1();
    if (!DnsMessages::checkKey(key, error))
        return false;
    if (ldns_pkt_tsig_sign(packet, keyName.constData(), secret.constData(), FudgeSeconds, algorithm.constData(),
                           nullptr) != LDNS_STATUS_OK) {
        *error = QStringLiteral("the request could not be signed with %1 (key name or algorithm)")
                     .arg(QString::fromLatin1(algorithm));
        return false;
    }
    const ldns_rdf* mac = ldns_rr_rdf(ldns_pkt_tsig(packet), TsigMacField);
    request->mac = QByteArray(reinterpret_cast<const char*>(ldns_rdf_data(mac)), qsizetype(ldns_rdf_size(mac)));
    uint8_t* wire = nullptr;
    size_t size = 0;
    if (ldns_pkt2wire(&wire, packet, &size) != LDNS_STATUS_OK) {
        *error = QStringLiteral("the request could not be written");
        return false;
    }
    request->wire = QByteArray(reinterpret_cast<const char*>(wire), qsizetype(size));
    free(wire);
    return true;
}

} // namespace

namespace DnsMessages {

bool checkKey(const TsigKey& key, QString* error)
{
    const QByteArray secret = key.secret.trimmed().toLatin1();
    if (secret.isEmpty()) {
        *error = QStringLiteral("the key secret is missing");
        return false;
    }
    // Strict: QByteArray::fromBase64 would skip what is not Base64, and ldns would then refuse the key for another
    // reason than the real one.
    const auto decoded = QByteArray::fromBase64Encoding(secret, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty()) {
        *error = QStringLiteral("the key secret is not Base64");
        return false;
    }
    return true;
}

bool checkName(const QString& zone, const QString& name, QString* error)
{
    const Rdf zoneName = domainName(zone);
    const Rdf ownerName = domainName(name);
    if (!zoneName || !ownerName) {
        *error = QStringLiteral("the %1 is no domain name").arg(zoneName ? u"name" : u"zone");
        return false;
    }
    if (ldns_dname_compare(zoneName.get(), ownerName.get()) != 0 &&
        !ldns_dname_is_subdomain(ownerName.get(), zoneName.get())) {
        *error = QStringLiteral("%1 is not inside the zone %2").arg(name, zone);
        return false;
    }
    return true;
}

bool buildQuery(const QString& name, int type, const TsigKey& key, DnsRequest* request, QString* error)
{
    Rdf owner = domainName(name);
    if (!owner) {
        *error = QStringLiteral("the name is no domain name");
        return false;
    }
    const Packet packet(ldns_pkt_query_new(owner.release(), ldns_rr_type(type), LDNS_RR_CLASS_IN, 0));
    *request = DnsRequest{{}, 0, 0, canonical(name), type, {}};
    return packet && finish(packet.get(), key, request, error);
}

bool buildUpdate(const UpdatePlan& plan, const TsigKey& key, DnsRequest* request, QString* error)
{
    if (!checkName(plan.zone, plan.name, error))
        return false;
    const Rdf owner = domainName(plan.name);
    const RrList prerequisites(ldns_rr_list_new());
    const RrList updates(ldns_rr_list_new());
    for (const RecordSet& before : plan.before) {
        // RFC 2136 2.4.2 and 2.4.3: the records are exactly these (TTL 0), or there is none of the type.
        if (before.addresses.isEmpty())
            ldns_rr_list_push_rr(prerequisites.get(), newRecord(owner.get(), before.type, LDNS_RR_CLASS_NONE, 0));
        else if (!pushAddresses(prerequisites.get(), owner.get(), before, 0, error))
            return false;
    }
    for (const RecordSet& after : plan.after) {
        // Delete the type's records (class ANY, no data), then add the new ones.
        ldns_rr_list_push_rr(updates.get(), newRecord(owner.get(), after.type, LDNS_RR_CLASS_ANY, 0));
        if (!pushAddresses(updates.get(), owner.get(), after, uint32_t(plan.ttl), error))
            return false;
    }
    const Packet packet(ldns_update_pkt_new(domainName(plan.zone).release(), LDNS_RR_CLASS_IN, prerequisites.get(),
                                            updates.get(), nullptr));
    if (!packet) {
        *error = QStringLiteral("the update could not be written");
        return false;
    }
    ldns_pkt_set_rd(packet.get(), false);
    *request = DnsRequest{{}, 0, OpcodeUpdate, canonical(plan.zone), TypeSoa, {}};
    return finish(packet.get(), key, request, error);
}

DnsAnswer readAnswer(const QByteArray& wire, const DnsRequest& request, const TsigKey& key)
{
    DnsAnswer answer;
    ldns_pkt* parsed = nullptr;
    if (wire.size() > MaxMessageBytes || ldns_wire2pkt(&parsed, reinterpret_cast<const uint8_t*>(wire.constData()),
                                                       size_t(wire.size())) != LDNS_STATUS_OK) {
        answer.problem = QStringLiteral("no DNS message");
        return answer;
    }
    const Packet packet(parsed);
    // Before the signature only what tells a stray datagram from the answer is looked at: QR, ID, opcode, question.
    if (!ldns_pkt_qr(packet.get()) || ldns_pkt_id(packet.get()) != request.id ||
        int(ldns_pkt_get_opcode(packet.get())) != request.opcode) {
        answer.problem = QStringLiteral("an answer with another ID or opcode");
        return answer;
    }
    const ldns_rr_list* question = ldns_pkt_question(packet.get());
    const size_t questions = question ? ldns_rr_list_rr_count(question) : 0;
    const ldns_rr* asked = questions == 1 ? ldns_rr_list_rr(question, 0) : nullptr;
    const bool sameQuestion = asked && int(ldns_rr_get_type(asked)) == request.questionType &&
                              canonical(rdfText(ldns_rr_owner(asked))) == request.question;
    if (!sameQuestion && questions != 0) {
        answer.problem = QStringLiteral("an answer to another question");
        return answer;
    }

    const ldns_rr* tsig = ldns_pkt_tsig(packet.get());
    const ldns_rdf* error =
        tsig && ldns_rr_rd_count(tsig) > TsigErrorField ? ldns_rr_rdf(tsig, TsigErrorField) : nullptr;
    answer.tsigError = error && ldns_rdf_size(error) == 2 ? ldns_rdf2native_int16(error) : 0;
    const QByteArray keyName = canonical(key.name).toLatin1();
    const QByteArray secret = key.secret.trimmed().toLatin1();
    const Rdf mac(ldns_rdf_new_frm_data(LDNS_RDF_TYPE_INT16_DATA, size_t(request.mac.size()), request.mac.constData()));
    // Signed with the key's own name and algorithm, or not by it (ldns leaks on an algorithm it does not know). The
    // MAC covers the request's MAC (RFC 8945 4.3.3), so an answer to another request does not verify either.
    const bool ourKey = tsig && canonical(rdfText(ldns_rr_owner(tsig))) == canonical(key.name) &&
                        ldns_rr_rd_count(tsig) > 0 &&
                        canonical(rdfText(ldns_rr_rdf(tsig, 0))) == canonical(algorithmOf(key));
    if (!ourKey || !mac ||
        !ldns_pkt_tsig_verify(packet.get(), reinterpret_cast<const uint8_t*>(wire.constData()), size_t(wire.size()),
                              keyName.constData(), secret.constData(), mac.get())) {
        answer.verdict = DnsAnswer::Verdict::BadSignature;
        answer.problem = !tsig     ? QStringLiteral("it carries no TSIG")
                         : !ourKey ? QStringLiteral("its TSIG names another key or algorithm")
                                   : QStringLiteral("its TSIG signature does not verify");
        return answer;
    }

    answer.rcode = (int(ldns_pkt_edns_extended_rcode(packet.get())) << 4) | int(ldns_pkt_get_rcode(packet.get()));
    // An error answer may leave the question out; a NOERROR answer names what it answers.
    if (!sameQuestion && answer.rcode == 0) {
        answer.problem = QStringLiteral("an answer to another question");
        return answer;
    }
    if (ldns_pkt_tc(packet.get())) {
        answer.verdict = DnsAnswer::Verdict::Truncated;
        return answer;
    }
    answer.verdict = DnsAnswer::Verdict::Read;
    const RrList records(
        ldns_pkt_rr_list_by_type(packet.get(), ldns_rr_type(request.questionType), LDNS_SECTION_ANSWER));
    for (size_t i = 0; records && i < ldns_rr_list_rr_count(records.get()); ++i) {
        const ldns_rr* rr = ldns_rr_list_rr(records.get(), i);
        if (ldns_rr_rd_count(rr) == 1 && canonical(rdfText(ldns_rr_owner(rr))) == request.question)
            answer.addresses << QHostAddress(rdfText(ldns_rr_rdf(rr, 0))).toString();
    }
    answer.addresses.sort();
    answer.addresses.removeDuplicates();
    return answer;
}

QString rcodeText(const DnsAnswer& answer, const QString& zone, const QString& keyName)
{
    switch (answer.tsigError) {
    case 16:
        return QStringLiteral("BADSIG: the server did not accept the signature (is the key secret right?)");
    case 17:
        return QStringLiteral("BADKEY: the server does not know the key %1 or its algorithm, or does not let it "
                              "update this zone")
            .arg(keyName);
    case 18:
        return QStringLiteral("BADTIME: this computer's clock and the server's differ by more than %1 s")
            .arg(FudgeSeconds);
    default:
        break;
    }
    switch (answer.rcode) {
    case 0:
        return QStringLiteral("NOERROR");
    case 1:
        return QStringLiteral("FORMERR: the server could not read the request");
    case 2:
        return QStringLiteral("SERVFAIL: the server failed to handle it");
    case 3:
        return QStringLiteral("NXDOMAIN: the name does not exist");
    case 4:
        return QStringLiteral("NOTIMP: the server does not take updates");
    case 5:
        return QStringLiteral("REFUSED: the server refused it (may the key %1 update this name?)").arg(keyName);
    case 6:
    case 7:
    case 8:
        return QStringLiteral("%1: the record changed while it was being updated")
            .arg(answer.rcode == 6   ? u"YXDOMAIN"
                 : answer.rcode == 7 ? u"YXRRSET"
                                     : u"NXRRSET");
    case 9:
        return QStringLiteral("NOTAUTH: the server is not the primary of %1").arg(zone);
    case 10:
        return QStringLiteral("NOTZONE: the name is not inside the zone %1").arg(zone);
    default:
        return QStringLiteral("the server answered with code %1").arg(answer.rcode);
    }
}

} // namespace DnsMessages
