#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// An RDAP server's JSON answer (RFC 9083) made readable: the object's kind and name, handle, status, events,
/// name servers, the entities with their roles and names (nested ones indented), remarks and notices. Bounded:
/// a body over MaxBytes or nested deeper than MaxDepth is refused, and at most MaxItems of each list are shown.
struct RdapAnswer
{
    static constexpr qsizetype MaxBytes = 1024 * 1024;
    static constexpr int MaxDepth = 32;
    static constexpr int MaxItems = 50;

    /// The text to show, or nullopt and @p error when @p body is no RDAP object.
    [[nodiscard]] static std::optional<QString> read(const QByteArray& body, QString* error);
};
