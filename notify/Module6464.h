#pragma once

#include <QByteArray>
#include <QString>

/// Base64 (RFC 4648 section 4, standard alphabet, padded) of the UTF-8 bytes of @p text. With
/// @p lineLength of 1 or more, CR LF is put after every @p lineLength characters, except that the
/// result never ends with CR LF and a last line of one character stays on the line before it.
QString Base64Encode(const QString& text, int lineLength);

/// The same for raw bytes.
QByteArray Base64EncodeBytes(const QByteArray& octets, int lineLength);
