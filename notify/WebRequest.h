#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>
#include <utility>

/// When a web request goes, stored as these numbers (webSends1 for the first URL, webSends<n + 1> for entry n):
/// on a change of address, or as a ping after lookups (health checks): after every lookup, after a failed one, or
/// after every lookup with the failed ones going to a URL of their own (webFailUrl<n + 1>).
enum class WebSends
{
    OnChange = 0,
    EveryLookup = 1,
    FailedLookup = 2,
    Both = 3,
};

/// What fills a web request's placeholders: the addresses now and before the change, the time and the entry's
/// secret.
struct WebValues
{
    QString internal;
    QString external;
    QString external6;
    QString oldInternal;
    QString oldExternal;
    QString oldExternal6;
    QString time;   // ISO 8601, UTC
    QString secret; // the entry's secret; "***" for what is shown
    QString internal6 = QStringLiteral("none"); // the machine's own stable IPv6 address
    QString prefix6 = QStringLiteral("none");
    QString oldPrefix6 = QStringLiteral("none");
};

/// One web request of the web notification (entries 2 to 9; the first is the URL of old, strURL): its shape as the
/// user wrote it, with placeholders. Stored as one JSON object per settings key (webRequest2 ...):
/// `{"name":"phone","on":true,"method":"POST","url":"https://ntfy.example/home","headers":"Title: New address",
///   "body":"$ExternalIP$","bodyType":"text","preset":"ntfy"}`; a missing field takes its default.
struct WebRequest
{
    enum class Method
    {
        Get,
        Post,
        Put,
        Patch,
    };
    enum class BodyType
    {
        None,
        Json,
        Form,
        Text,
    };

    static constexpr qsizetype MaxStoredLength = 16 * 1024; // of one stored entry
    static constexpr qsizetype MaxHeaders = 20;

    QString name;
    bool on = false;
    Method method = Method::Get;
    QString url;
    QString headers; // "Name: value" lines
    QString body;
    BodyType bodyType = BodyType::None;
    QString preset; // how the answer is read (WebPresets); "" for the HTTP status alone

    /// Reads a stored entry; nothing, with @p error saying why, for one that is damaged (not a JSON object, a field
    /// of the wrong type, an unknown method or body type, a header with a line break, too long). The preset is
    /// WebEntries::load's to check.
    static std::optional<WebRequest> fromStored(const QString& text, QString* error);
    QString toStored() const;

    /// Whether it can be saved: a URL, headers of the form "Name: value", and a JSON body that is JSON once filled.
    [[nodiscard]] bool check(QString* error) const;

    static QString methodText(Method method);
    static std::optional<Method> methodFromText(const QString& text);
    static QString bodyTypeText(BodyType type);
    static std::optional<BodyType> bodyTypeFromText(const QString& text);
};

/// A web request with its placeholders filled in, ready to send.
struct FilledRequest
{
    QByteArray method;
    QString url;   // for the request
    QString shown; // the same with the secret masked
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray contentType; // empty: none
    QByteArray body;
};

/// Fills @p request with @p values: every placeholder escaped for where it stands (percent-encoded in the URL,
/// JSON-escaped in a JSON body, form-encoded in a form body, as it is in a text body and in header values).
/// Nothing, with @p error saying why, when a header would hold a line break or the filled JSON body is not JSON.
std::optional<FilledRequest> fillWebRequest(const WebRequest& request, const WebValues& values, QString* error);

/// The placeholder names of the web requests, for the dialog's caption.
QString webPlaceholderList();
