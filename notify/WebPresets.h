#pragma once

#include "notify/WebRequest.h"

#include <QByteArrayView>
#include <QString>

#include <span>

/// How a service's answer is read beyond its HTTP status.
struct WebAnswerRule
{
    const char* successWord = nullptr; // the body's first word when it worked ("OK"); any other 2xx body failed
    bool dynDns2 = false;              // the dyndns2 answer words (good, nochg, badauth ...)
    const char* jsonOk = nullptr;      // a JSON field that is true when it worked ("ok")
    const char* errorFields = "";      // JSON fields that hold the reason of a failure, ',' between ("error,message")
    const char* successLine = nullptr; // the body's whole first line when it worked ("OK", not "OK (not found)")
};

/// A service the web requests know: the shape of its request (with placeholders; words in capitals are the
/// user's to fill in) and how its answers read. The table is in WebPresets.cpp.
struct WebPreset
{
    const char* id; // as stored in an entry's "preset"
    const char* label;
    WebRequest::Method method;
    const char* url;
    const char* headers;
    const char* body;
    WebRequest::BodyType bodyType;
    WebAnswerRule answer;
    bool setsAddress;      // a dynamic-DNS update: sent only when the external address differs from what it last set
    const char* secretFor; // what the entry's secret ($Secret$) is, for the dialog
    WebSends sends = WebSends::OnChange; // a health check's pings after lookups
    const char* failUrl = "";            // where a failed lookup's ping goes (WebSends::Both)
};

std::span<const WebPreset> webPresets();
/// The preset named @p id; none for an unknown id.
const WebPreset* findWebPreset(const QString& id);
/// An entry filled from @p preset (switched off, named after the service).
WebRequest webRequestFrom(const WebPreset& preset);


/// An answer read: whether it worked and the status line's text for it ("Success: ..." or "Error: ...").
struct WebAnswer
{
    bool ok = false;
    QString text;
};

/// Reads the answer @p status / @p body by @p rule (none: the HTTP status alone, dyndns2 error words failing as
/// they do for the first web request); @p statusText is "HTTP <code> <reason>".
WebAnswer readWebAnswer(const WebAnswerRule* rule, int status, const QString& statusText, QByteArrayView body);
