#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

/// Runs the DNS converter's conversions off the window's thread, one clsIPResolve each, and hands
/// each result back on the window's thread. Only the newest conversion's result is delivered: a
/// result that arrives after a later conversion was asked for is dropped, so a slow look-up can never
/// overwrite what a newer one wrote.
class DnsConverter : public QObject
{
    Q_OBJECT
public:
    enum class Direction
    {
        AddressToName,
        NameToAddress,
    };
    /// The blocking look-up run on a worker thread. The default makes one clsIPResolve per call.
    using Lookup = std::function<QString(Direction, const QString&)>;
    using Result = std::function<void(const QString&)>;

    explicit DnsConverter(QObject* parent = nullptr);
    /// For tests that must hold a look-up back to see which result wins.
    DnsConverter(Lookup lookup, QObject* parent = nullptr);
    ~DnsConverter() override;

    /// Converts @p text. @p done runs on this object's thread with the result (empty when there is
    /// none), unless a newer conversion was asked for in the meantime or cancelAll() ran. Text that is
    /// not an IPv4 address gets its empty answer at once, without a look-up.
    void convert(Direction direction, const QString& text, Result done);
    /// Drops every result still on its way.
    void cancelAll();

private:
    struct Mailbox;
    void deliver(quint64 generation, const QString& result, const Result& done);

    Lookup m_lookup;
    quint64 m_generation = 0;
    std::shared_ptr<Mailbox> m_mailbox;
};
