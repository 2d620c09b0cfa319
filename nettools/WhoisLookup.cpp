#include "nettools/WhoisLookup.h"

#include "nettools/NetToolsLog.h"
#include "nettools/RdapAnswer.h"
#include "platform/OutsideText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSslConfiguration>

namespace {

QString serverOf(const QUrl& url)
{
    return url.port() < 0 ? url.host() : QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
}

} // namespace

bool WhoisLookup::fromEnvironment(const QString& cacheFolder, Options* options, QString* error)
{
    if (!WhoisServer::fromEnvironment(&options->whois, error))
        return false;
    const QString source = qEnvironmentVariable(BootstrapVariable);
    options->rdap = !source.isEmpty() || qEnvironmentVariableIsEmpty(WhoisServer::EnvironmentVariable);
    options->bootstrapSource = QUrl(source.isEmpty() ? QLatin1String(DefaultBootstrap) : source);
    options->cacheFolder = cacheFolder;
    options->shippedRegistries = source.isEmpty();
    return true;
}

WhoisLookup::WhoisLookup(QObject* parent) : QObject(parent)
{
    Q_INIT_RESOURCE(rdap);
    connect(&m_session, &WhoisSession::finished, this, &WhoisLookup::whoisAnswered);
}

WhoisLookup::~WhoisLookup()
{
    delete m_exchange;
}

void WhoisLookup::setServerText(const QString& text)
{
    m_serverText = text;
    emit serverTextChanged(text);
}

void WhoisLookup::start(const QString& query)
{
    delete m_exchange; // a question under way ends quietly
    m_whoisAsked = false;
    m_query = query;
    m_note.clear();
    m_rdap = m_options.rdap ? RdapQuery::fromText(query) : std::nullopt;
    if (!m_rdap)
        return askWhois(QString());
    const QFileInfo cached(QDir(m_options.cacheFolder).filePath(m_rdap->bootstrapFile()));
    const bool stale = !cached.exists() || cached.lastModified().daysTo(QDateTime::currentDateTime()) >= RefreshAfterDays;
    if (stale && !m_options.cacheFolder.isEmpty() && m_options.bootstrapSource.isValid() &&
        !m_options.bootstrapSource.isEmpty())
        return fetchBootstrap(m_rdap->bootstrapFile());
    askRdap();
}

void WhoisLookup::send(const QUrl& url, qint64 maxBytes, HttpExchange::Done done)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "application/rdap+json, application/json");
    if (!m_options.caCertificates.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(ssl.caCertificates() + m_options.caCertificates);
        request.setSslConfiguration(ssl);
    }
    m_exchange = new HttpExchange({.maxBodyBytes = maxBytes,
                                   .timeoutMs = m_options.timeoutMs,
                                   .redirects = HttpExchange::Redirects::Follow});
    m_exchange->start(m_network, request, "GET", {}, std::move(done));
}

void WhoisLookup::fetchBootstrap(const QString& file)
{
    const QUrl url = m_options.bootstrapSource.resolved(QUrl(file));
    setServerText(QStringLiteral("Asking %1\u2026").arg(serverOf(url)));
    send(url, RdapBootstrap::MaxBytes, [this, file](const HttpExchange::Result& result) {
        // Only a whole registry that reads replaces the one kept; any other outcome keeps what there is.
        QString error;
        if (result.answered && result.status == 200 && !result.cut && RdapBootstrap::parse(result.body, &error)) {
            QDir().mkpath(m_options.cacheFolder);
            QSaveFile saved(QDir(m_options.cacheFolder).filePath(file));
            if (!saved.open(QIODevice::WriteOnly) || saved.write(result.body) != result.body.size() || !saved.commit())
                qCWarning(lcWhois) << "bootstrap registry not kept:" << saved.errorString();
        } else {
            qCInfo(lcWhois) << "bootstrap registry not refreshed:" << result.status << result.failure << error;
        }
        askRdap();
    });
}

std::optional<RdapBootstrap> WhoisLookup::bootstrap(const QString& file) const
{
    QString error;
    QStringList paths;
    if (!m_options.cacheFolder.isEmpty())
        paths << QDir(m_options.cacheFolder).filePath(file);
    if (m_options.shippedRegistries)
        paths << QStringLiteral(":/rdap/") + file;
    for (const QString& path : std::as_const(paths)) {
        QFile stored(path);
        if (stored.open(QIODevice::ReadOnly)) {
            if (auto read = RdapBootstrap::parse(stored.read(RdapBootstrap::MaxBytes + 1), &error))
                return read;
            qCWarning(lcWhois) << path << error;
        }
    }
    return std::nullopt;
}

void WhoisLookup::askRdap()
{
    const std::optional<RdapBootstrap> registry = bootstrap(m_rdap->bootstrapFile());
    const QStringList servers = registry ? registry->serversFor(*m_rdap) : QStringList();
    if (servers.isEmpty())
        return askWhois(QStringLiteral("No RDAP server is known for %1: asked by WHOIS.").arg(m_rdap->object));
    const QUrl url(servers.first() + m_rdap->path());
    const QString server = serverOf(url);
    setServerText(QStringLiteral("Asking %1\u2026").arg(server));
    send(url, RdapAnswer::MaxBytes,
         [this, server](const HttpExchange::Result& result) { rdapAnswered(server, result); });
}

void WhoisLookup::rdapAnswered(const QString& server, const HttpExchange::Result& result)
{
    QString why;
    if (result.answered && result.status == 404) {
        setServerText(QStringLiteral("Answer from %1 (RDAP)").arg(server));
        emit finished(QStringLiteral("No such object: %1 holds no record of %2.").arg(server, m_rdap->object));
        return;
    }
    if (!result.answered)
        why = result.failure;
    else if (result.status != 200)
        why = QStringLiteral("HTTP %1 %2").arg(result.status).arg(OutsideText::line(result.reason));
    else if (result.cut)
        why = QStringLiteral("the answer is larger than %1 bytes").arg(RdapAnswer::MaxBytes);
    else if (const std::optional<QString> text = RdapAnswer::read(result.body, &why)) {
        setServerText(QStringLiteral("Answer from %1 (RDAP)").arg(server));
        emit finished(*text);
        return;
    }
    askWhois(QStringLiteral("RDAP at %1 did not answer (%2): asked by WHOIS.").arg(server, why));
}

void WhoisLookup::askWhois(const QString& note)
{
    m_note = note;
    m_referredBy.clear();
    m_whoisAsked = true;
    m_session.start(m_options.whois, m_query);
    setServerText(QStringLiteral("Asking %1\u2026").arg(m_session.serverName()));
}

void WhoisLookup::whoisAnswered(const QString& text)
{
    if (!m_whoisAsked)
        return;
    const bool whole = m_session.state() == WhoisSession::State::Done;
    WhoisServer next;
    QString error;
    if (const QString referral = WhoisAnswer::referral(text);
        whole && m_referredBy.isEmpty() && !referral.isEmpty() && WhoisServer::parse(referral, &next, &error)) {
        m_referredBy = m_session.serverName();
        m_session.start(next, m_query);
        setServerText(QStringLiteral("Asking %1\u2026 (referred by %2)").arg(m_session.serverName(), m_referredBy));
        return;
    }
    setServerText((whole ? QStringLiteral("Answer from ") : QStringLiteral("No complete answer from ")) +
                  m_session.serverName() +
                  (m_referredBy.isEmpty() ? QString() : QStringLiteral(" (referred by %1)").arg(m_referredBy)));
    emit finished(m_note.isEmpty() ? text : m_note + QStringLiteral("\n\n") + text);
}
