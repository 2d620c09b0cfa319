#pragma once

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>

/// Finds the secrets of one request in what a server sends back and shows each as "***": as it is, percent-encoded
/// (hex digits in either case, whichever characters the encoder left plain), form-encoded (a space as "+"),
/// JSON-escaped, and in Base64 (both alphabets, at any byte offset of a longer encoded text). A text is masked
/// before it is cut, so that no part of a secret shows in what is left.
class SecretMask
{
public:
    /// Adds @p secret; an empty one masks nothing.
    void add(const QString& secret);
    /// Adds only the Base64 form of @p bytes: what Basic authentication sends of "user:password".
    void addBase64(const QByteArray& bytes);

    bool isEmpty() const { return m_patterns.isEmpty(); }
    /// @p text with every form of every secret replaced by "***".
    QString apply(QString text) const;
    /// The same for @p bytes read as UTF-8 (unchanged when there is no secret).
    QByteArray apply(const QByteArray& bytes) const;

private:
    QList<QRegularExpression> m_patterns;
};
