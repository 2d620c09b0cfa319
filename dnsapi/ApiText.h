#pragma once

#include <QJsonDocument>
#include <QJsonValue>
#include <QString>

/// What the providers read out of an API's answers, within bounds: every text cleaned for showing and cut, every
/// id checked to be one that can go into a URL path, every name in one form.
namespace ApiText {
constexpr qsizetype MaxRecords = 500;   ///< of one answer: the rest are not read
constexpr qsizetype MaxIdChars = 128;

/// @p body as JSON; a null document for anything else.
QJsonDocument json(const QByteArray& body);
/// A text of the answer as the status line may show it: one line, control characters gone, at most 120 characters.
QString shown(const QJsonValue& value);
/// An id (a text or a whole number) made only of letters, digits, "-", "_", "." and ":"; empty for anything else.
QString id(const QJsonValue& value);
/// A name in one form: lower case, without the final dot.
QString name(QString name);
/// @p relative ("home", "@", or already "home.example.com") within @p zone, fully qualified.
QString absolute(const QString& relative, const QString& zone);
/// @p name within @p zone: "home", or "@" for the zone itself; @p name as it is when it is not in the zone.
QString relative(const QString& name, const QString& zone);
/// @p text with XML's five special characters escaped.
QString xmlEscaped(const QString& text);
/// The text of the first <@p element>...</@p element> in @p xml, unescaped and cleaned like shown(); empty when
/// there is none. Enough for the short, flat answers of the APIs that answer in XML.
QString xmlElement(const QByteArray& xml, const char* element, qsizetype from = 0, qsizetype* end = nullptr);
} // namespace ApiText
