#pragma once

#include "nettools/RdapBootstrap.h"
#include "nettools/WhoisServer.h"
#include "nettools/WhoisSession.h"
#include "notify/HttpExchange.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QUrl>

#include <optional>

/// A "Whois" question asked of the server that holds the answer. RDAP first (RFC 9082 queries, RFC 9083 answers)
/// for a domain, an address or prefix, or an AS number: its server is chosen from IANA's bootstrap registries
/// (RFC 9224), shipped with the program and refreshed into the cache folder when older than a month. WHOIS when
/// RDAP has no server for the question or fails: the first server (IANA's) is asked, then the one its answer
/// refers to.
class WhoisLookup : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        bool rdap = true;
        QUrl bootstrapSource;                  ///< where the registries are refreshed from; empty: never
        QString cacheFolder;                   ///< where refreshed registries are kept; empty: not kept
        bool shippedRegistries = true;         ///< false: only the refreshed ones count (another source was named)
        WhoisServer whois;                     ///< the WHOIS server asked first
        QList<QSslCertificate> caCertificates; ///< trusted besides the system's (tests)
        int timeoutMs = 30000;
    };

    static constexpr const char* BootstrapVariable = "VISTREL_RDAP_BOOTSTRAP";
    static constexpr const char* DefaultBootstrap = "https://data.iana.org/rdap/";
    static constexpr int RefreshAfterDays = 30;

    /// The options the environment gives: VISTREL_WHOIS_SERVER names the first WHOIS server and turns RDAP off
    /// unless VISTREL_RDAP_BOOTSTRAP names where its registries come from; then only those are used (a test, or a
    /// service of one's own, asks no server elsewhere). False and @p error when VISTREL_WHOIS_SERVER cannot be read.
    [[nodiscard]] static bool fromEnvironment(const QString& cacheFolder, Options* options, QString* error);

    explicit WhoisLookup(QObject* parent = nullptr);
    ~WhoisLookup() override;

    void setOptions(Options options) { m_options = std::move(options); }
    const Options& options() const { return m_options; }

    /// Asks for @p query; a question under way is dropped.
    void start(const QString& query);
    /// "Asking <server>…", then "Answer from <server>" or "No complete answer from <server>".
    QString serverText() const { return m_serverText; }

signals:
    void serverTextChanged(const QString& text);
    /// The answer as text, or what went wrong.
    void finished(const QString& text);

private:
    void fetchBootstrap(const QString& file);
    void askRdap();
    void rdapAnswered(const QString& server, const HttpExchange::Result& result);
    void askWhois(const QString& note);
    void whoisAnswered(const QString& text);
    void setServerText(const QString& text);
    void send(const QUrl& url, qint64 maxBytes, HttpExchange::Done done);
    std::optional<RdapBootstrap> bootstrap(const QString& file) const;

    Options m_options;
    QNetworkAccessManager m_network;
    WhoisSession m_session;
    QPointer<HttpExchange> m_exchange;
    std::optional<RdapQuery> m_rdap;
    QString m_query;
    QString m_note;       // said above a WHOIS answer: why RDAP did not answer
    QString m_referredBy; // the WHOIS server that referred the question to the one asked now
    bool m_whoisAsked = false; // an earlier question's WHOIS answer arriving later is not this one's
    QString m_serverText;
};
