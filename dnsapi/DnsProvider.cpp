#include "dnsapi/DnsProvider.h"

#include "dnsapi/ApiText.h"

#include <QJsonArray>
#include <QJsonObject>

QUrl requestUrl(const DnsSession& session, const ApiRequest& request)
{
    if (!request.url.isEmpty())
        return request.url;
    QUrl url = session.api;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path + request.path);
    if (!request.query.isEmpty())
        url.setQuery(request.query);
    return url;
}

void DnsProvider::authenticate(const DnsSession& session, ApiRequest& request) const
{
    request.setHeader("Authorization", "Bearer " + session.secret().toUtf8());
}

ReadResult DnsProvider::readLogin(DnsSession& session, const ApiReply& reply) const
{
    (void)session;
    (void)reply;
    return {};
}

ReadResult DnsProvider::readZone(DnsSession& session, const ApiReply& reply) const
{
    (void)session;
    (void)reply;
    return {};
}

ApiRequest DnsProvider::list(const DnsSession& session, const DnsTarget& target, const QString& page) const
{
    (void)session;
    (void)target;
    (void)page;
    return {};
}

ReadResult DnsProvider::readList(DnsSession& session, const DnsTarget& target, const ApiReply& reply,
                                 QList<DnsRecord>& records, QString& next) const
{
    (void)session;
    (void)target;
    (void)reply;
    (void)records;
    (void)next;
    return {};
}

ApiRequest DnsProvider::change(const DnsSession& session, const DnsTarget& target, const DnsRecord& record) const
{
    (void)record;
    return create(session, target);
}

ReadResult DnsProvider::readWrite(DnsSession& session, const DnsTarget& target, const ApiReply& reply) const
{
    (void)session;
    (void)target;
    (void)reply;
    return {};
}

QString DnsProvider::errorText(const ApiReply& reply) const
{
    const QJsonObject object = ApiText::json(reply.body).object();
    for (const char* field : {"message", "error", "detail", "error_description", "title"}) {
        const QJsonValue value = object.value(QLatin1String(field));
        if (value.isObject()) {
            const QString inner = ApiText::shown(value.toObject().value(QLatin1String("message")));
            if (!inner.isEmpty())
                return inner;
        }
        const QString text = ApiText::shown(value);
        if (!text.isEmpty())
            return text;
    }
    const QJsonValue errors = object.value(QLatin1String("errors"));
    const QJsonObject first = errors.isArray() ? errors.toArray().first().toObject() : errors.toObject();
    for (const char* field : {"message", "detail", "title"}) {
        const QString text = ApiText::shown(first.value(QLatin1String(field)));
        if (!text.isEmpty())
            return text;
    }
    return {};
}
