#include "notify/WebRequest.h"

#include "platform/DisplayedUrl.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <array>
#include <functional>

namespace {
using Escape = std::function<QString(const QString&)>;

struct Name
{
    const char* name;
    QString WebValues::*value;
};

// Each name ends in "$", so none is the front of another.
const std::array<Name, 13> Names{{
    {"$InternalIP$", &WebValues::internal},
    {"$ExternalIP$", &WebValues::external},
    {"$ExternalIPv6$", &WebValues::external6},
    {"$Internal$", &WebValues::internal},
    {"$External$", &WebValues::external},
    {"$OldInternalIP$", &WebValues::oldInternal},
    {"$OldExternalIP$", &WebValues::oldExternal},
    {"$OldExternalIPv6$", &WebValues::oldExternal6},
    {"$InternalIPv6$", &WebValues::internal6},
    {"$IPv6Prefix$", &WebValues::prefix6},
    {"$OldIPv6Prefix$", &WebValues::oldPrefix6},
    {"$Time$", &WebValues::time},
    {"$Secret$", &WebValues::secret},
}};

/// @p text with every placeholder (any letter case) replaced by its value escaped by @p escape; one pass, a
/// replacement is never searched again.
QString fill(const QString& text, const WebValues& values, const Escape& escape)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const Name* found = nullptr;
        if (text[i] == u'$') {
            for (const Name& name : Names) {
                if (QStringView(text).mid(i).startsWith(QLatin1String(name.name), Qt::CaseInsensitive)) {
                    found = &name;
                    break;
                }
            }
        }
        if (found) {
            out += escape(values.*(found->value));
            i += qsizetype(qstrlen(found->name));
        } else {
            out += text[i++];
        }
    }
    return out;
}

QString jsonEscaped(const QString& value)
{
    QString out;
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString urlEscaped(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, ":"));
}

QString formEscaped(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, " ")).replace(u' ', u'+');
}

bool isTokenChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           QStringView(u"!#$%&'*+-.^_`|~").contains(c);
}

/// The "Name: value" lines of @p text; nothing, with @p error, for a line of another form or with a CR.
std::optional<QList<std::pair<QString, QString>>> headerLines(const QString& text, QString* error)
{
    QList<std::pair<QString, QString>> headers;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype colon = line.indexOf(u':');
        const QString name = line.left(colon);
        if (line.contains(u'\r') || line.contains(QChar(0))) {
            *error = QStringLiteral("a header holds a line break");
            return std::nullopt;
        }
        if (colon <= 0 || !std::all_of(name.begin(), name.end(), isTokenChar)) {
            *error = QStringLiteral("\"%1\" is not a header of the form Name: value").arg(line.left(40));
            return std::nullopt;
        }
        headers.append({name, line.mid(colon + 1).trimmed()});
    }
    if (headers.size() > WebRequest::MaxHeaders) {
        *error = QStringLiteral("more than %1 headers").arg(WebRequest::MaxHeaders);
        return std::nullopt;
    }
    return headers;
}

const std::array<const char*, 4> MethodNames = {"GET", "POST", "PUT", "PATCH"};
const std::array<const char*, 4> BodyTypeNames = {"none", "json", "form", "text"};
} // namespace

QString WebRequest::methodText(Method method)
{
    return QLatin1String(MethodNames[size_t(method)]);
}

std::optional<WebRequest::Method> WebRequest::methodFromText(const QString& text)
{
    for (size_t i = 0; i < MethodNames.size(); ++i) {
        if (text.compare(QLatin1String(MethodNames[i]), Qt::CaseInsensitive) == 0)
            return Method(i);
    }
    return std::nullopt;
}

QString WebRequest::bodyTypeText(BodyType type)
{
    return QLatin1String(BodyTypeNames[size_t(type)]);
}

std::optional<WebRequest::BodyType> WebRequest::bodyTypeFromText(const QString& text)
{
    for (size_t i = 0; i < BodyTypeNames.size(); ++i) {
        if (text.compare(QLatin1String(BodyTypeNames[i]), Qt::CaseInsensitive) == 0)
            return BodyType(i);
    }
    return std::nullopt;
}

std::optional<WebRequest> WebRequest::fromStored(const QString& text, QString* error)
{
    if (text.size() > MaxStoredLength) {
        *error = QStringLiteral("longer than %1 characters").arg(MaxStoredLength);
        return std::nullopt;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parse);
    if (!document.isObject()) {
        *error = parse.error != QJsonParseError::NoError ? parse.errorString() : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    WebRequest request;
    const auto text_ = [&](const char* key, QString* into) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return true;
        if (!value.isString()) {
            *error = QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key));
            return false;
        }
        *into = value.toString();
        return true;
    };
    QString method = QStringLiteral("GET"), bodyType = QStringLiteral("none");
    if (!text_("name", &request.name) || !text_("url", &request.url) || !text_("headers", &request.headers) ||
        !text_("body", &request.body) || !text_("preset", &request.preset) || !text_("method", &method) ||
        !text_("bodyType", &bodyType))
        return std::nullopt;
    const QJsonValue on = object.value(QLatin1String("on"));
    if (!on.isUndefined() && !on.isBool()) {
        *error = QStringLiteral("\"on\" is not true or false");
        return std::nullopt;
    }
    request.on = on.toBool();
    const std::optional<Method> m = methodFromText(method);
    const std::optional<BodyType> b = bodyTypeFromText(bodyType);
    if (!m || !b) {
        *error = !m ? QStringLiteral("unknown method \"%1\"").arg(method.left(20))
                    : QStringLiteral("unknown body type \"%1\"").arg(bodyType.left(20));
        return std::nullopt;
    }
    request.method = *m;
    request.bodyType = *b;
    if (!headerLines(request.headers, error))
        return std::nullopt;
    return request;
}

QString WebRequest::toStored() const
{
    QJsonObject object{{QStringLiteral("name"), name},
                       {QStringLiteral("on"), on},
                       {QStringLiteral("method"), methodText(method)},
                       {QStringLiteral("url"), url},
                       {QStringLiteral("headers"), headers},
                       {QStringLiteral("body"), body},
                       {QStringLiteral("bodyType"), bodyTypeText(bodyType)},
                       {QStringLiteral("preset"), preset}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

bool WebRequest::check(QString* error) const
{
    if (url.trimmed().isEmpty()) {
        *error = QStringLiteral("Please enter a URL");
        return false;
    }
    // A value with a quote and a backslash: a placeholder that stands outside a JSON string shows here.
    const QString sample = QStringLiteral("203.0.113.7");
    const WebValues values{sample, sample, sample, sample, sample, sample, sample, QStringLiteral("\"x\\")};
    return fillWebRequest(*this, values, error).has_value();
}

std::optional<FilledRequest> fillWebRequest(const WebRequest& request, const WebValues& values, QString* error)
{
    FilledRequest filled;
    filled.method = WebRequest::methodText(request.method).toLatin1();
    filled.url = fill(request.url.trimmed(), values, urlEscaped);
    // The secret's place is marked by a private-use character, percent-encoded like any, and shown as "***".
    WebValues masked = values;
    masked.secret = QString(QChar(0xE000));
    filled.shown = displayedUrl(
        fill(request.url.trimmed(), masked, urlEscaped).replace(QLatin1String("%EE%80%80"), QLatin1String("***")));
    const auto headers = headerLines(request.headers, error);
    if (!headers)
        return std::nullopt;
    for (const auto& [name, value] : *headers) {
        const QString filledValue = fill(value, values, [](const QString& v) { return v; });
        if (filledValue.contains(u'\r') || filledValue.contains(u'\n') || filledValue.contains(QChar(0))) {
            *error = QStringLiteral("the header %1 holds a line break once filled").arg(name);
            return std::nullopt;
        }
        filled.headers.append({name.toLatin1(), filledValue.toUtf8()});
    }
    switch (request.bodyType) {
    case WebRequest::BodyType::None:
        break;
    case WebRequest::BodyType::Json: {
        filled.body = fill(request.body, values, jsonEscaped).toUtf8();
        filled.contentType = "application/json";
        QJsonParseError parse;
        QJsonDocument::fromJson(filled.body, &parse);
        if (parse.error != QJsonParseError::NoError) {
            *error = QStringLiteral("the body is not JSON once filled: %1 at character %2")
                         .arg(parse.errorString())
                         .arg(parse.offset);
            return std::nullopt;
        }
        break;
    }
    case WebRequest::BodyType::Form:
        filled.body = fill(request.body, values, formEscaped).toUtf8();
        filled.contentType = "application/x-www-form-urlencoded";
        break;
    case WebRequest::BodyType::Text:
        filled.body = fill(request.body, values, [](const QString& v) { return v; }).toUtf8();
        filled.contentType = "text/plain; charset=utf-8";
        break;
    }
    return filled;
}

QString webPlaceholderList()
{
    QStringList names;
    for (const Name& name : Names)
        names << QLatin1String(name.name);
    return names.join(QStringLiteral(", "));
}
