#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// The shared key a request is signed with: its name, its secret in base64 and its algorithm ("hmac-sha256").
struct TsigKey
{
    QString name;
    QString secret;
    QString algorithm;
};

/// A request as it goes out and what its answer has to match.
struct DnsRequest
{
    QByteArray wire;
    quint16 id = 0;
    int opcode = 0;   // 0 query, 5 update
    QString question; // the name asked for (the zone for an update)
    int questionType = 0;
    QByteArray mac; // the request's TSIG MAC as the answer's signature covers it (length first)
};

/// What an answer said, once it was found to belong to its request.
struct DnsAnswer
{
    enum class Verdict
    {
        Unreadable,   // no DNS message, or not an answer to the request (another ID, question or opcode)
        BadSignature, // unsigned, or its TSIG does not verify with the key: nothing else of it was read
        Truncated,    // signed, with TC set: ask again over TCP
        Read,
    };

    Verdict verdict = Verdict::Unreadable;
    int rcode = 0;         // with the extended bits of an OPT record, when there is one; read once it verified
    int tsigError = 0;     // the error field of the answer's TSIG record (16 BADSIG, 17 BADKEY, 18 BADTIME)
    QStringList addresses; // the answer's records of the type asked for, as text; read once it verified
    QString problem;       // why it is Unreadable or BadSignature
};

/// An address record as it is: its type (1 A, 28 AAAA) and its addresses, sorted.
struct RecordSet
{
    int type = 1;
    QStringList addresses;
};

/// What an update replaces: the records of @p name read before (the prerequisite) and those to set.
struct UpdatePlan
{
    QString zone;
    QString name;
    int ttl = 300;
    QList<RecordSet> before; // one per type replaced
    QList<RecordSet> after;
};

/// DNS messages through ldns: requests signed with TSIG, answers read with its bounds-checked wire parser.
namespace DnsMessages {

constexpr int TypeA = 1;
constexpr int TypeSoa = 6;
constexpr int TypeAaaa = 28;
constexpr int MaxMessageBytes = 65535;

/// False and @p error when @p key has no secret, or one that is not Base64.
[[nodiscard]] bool checkKey(const TsigKey& key, QString* error);

/// False and @p error when @p name is no domain name inside @p zone.
[[nodiscard]] bool checkName(const QString& zone, const QString& name, QString* error);

/// A query for @p type records of @p name, signed with @p key.
[[nodiscard]] bool buildQuery(const QString& name, int type, const TsigKey& key, DnsRequest* request, QString* error);

/// An update that replaces each type of @p plan, on condition that the records are still those of plan.before
/// (the exact records, or none of that type); signed with @p key.
[[nodiscard]] bool buildUpdate(const UpdatePlan& plan, const TsigKey& key, DnsRequest* request, QString* error);

/// Reads @p wire as the answer to @p request: its ID, opcode and question must match, and its TSIG must verify with
/// @p key before its code, flags or records are read. An answer that does not verify is BadSignature whatever its
/// code says; only its TSIG error field is kept, for the text (a server cannot sign a BADSIG or BADKEY).
DnsAnswer readAnswer(const QByteArray& wire, const DnsRequest& request, const TsigKey& key);

/// The text of an answer code for the status line ("REFUSED: ...").
QString rcodeText(const DnsAnswer& answer, const QString& zone, const QString& keyName);

} // namespace DnsMessages
