#pragma once

#include "nettools/WhoisAnswer.h"
#include "nettools/WhoisServer.h"
#include "platform/SocketControl.h"

#include <QObject>
#include <QTimer>

/// One WHOIS exchange (RFC 3912): connect, send the query line ending in CR LF, collect the answer
/// until the server closes, then hand over the whole answer as text. Bounded: the exchange ends after
/// timeout() at the latest, and an answer is kept up to WhoisAnswer's limit; either way the text says
/// what happened.
class WhoisSession : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Idle,
        Connecting,
        Receiving,
        Done,
        Failed,
    };
    Q_ENUM(State)

    /// Time an exchange may take from the connect to the server's close.
    static constexpr int DefaultTimeoutMs = 30000;

    explicit WhoisSession(QObject* parent = nullptr);

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }
    State state() const { return m_state; }
    /// The socket this session talks through (the window's Winsock1).
    SocketControl& socket() { return m_socket; }

    /// The server of the last start, as "host:port" ("[v6]:port").
    QString serverName() const;

    /// Starts an exchange with @p server for @p query; an exchange under way is dropped first.
    void start(const WhoisServer& server, const QString& query);

signals:
    /// The exchange ended: the server's answer, or what went wrong, as the text to show.
    void finished(const QString& text);

private:
    void setState(State state);
    void Winsock1_Connect();
    void Winsock1_DataArrival(qint64 bytesTotal);
    void Winsock1_Close();
    void Winsock1_Error(int number, const QString& description);
    void timeoutReached();
    /// Ends the exchange once; closes the socket unless the server already did.
    void finish(State state, const QString& text, bool closeSocket = true);

    SocketControl m_socket;
    QTimer m_timer;
    WhoisAnswer m_answer;
    WhoisServer m_server;
    QString m_query;
    State m_state = State::Idle;
    int m_timeoutMs = DefaultTimeoutMs;
};
