#include "nettools/WhoisSession.h"

#include "nettools/NetToolsLog.h"

WhoisSession::WhoisSession(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WhoisSession::timeoutReached);
    connect(&m_socket, &SocketControl::connected, this, &WhoisSession::Winsock1_Connect);
    connect(&m_socket, &SocketControl::dataArrival, this, &WhoisSession::Winsock1_DataArrival);
    connect(&m_socket, &SocketControl::closed, this, &WhoisSession::Winsock1_Close);
    connect(&m_socket, &SocketControl::error, this, &WhoisSession::Winsock1_Error);
}

void WhoisSession::setState(State state)
{
    qCDebug(lcWhois) << m_state << "->" << state;
    m_state = state;
}

QString WhoisSession::serverName() const
{
    const QString host = m_server.host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(m_server.host)
                                                                   : m_server.host;
    return QStringLiteral("%1:%2").arg(host).arg(m_server.port);
}

void WhoisSession::start(const WhoisServer& server, const QString& query)
{
    m_server = server;
    m_query = query;
    m_answer.clear();
    // Connecting already, so that events of a connection being dropped here find no exchange to end.
    setState(State::Connecting);
    m_socket.close();
    m_timer.start(m_timeoutMs);
    m_socket.connectTo(server.host, server.port);
}

void WhoisSession::Winsock1_Connect()
{
    if (m_state != State::Connecting)
        return;
    setState(State::Receiving);
    // RFC 3912 section 2: the query is one line ending in CR LF.
    m_socket.sendData(m_query.toUtf8() + "\r\n");
}

void WhoisSession::Winsock1_DataArrival(qint64 bytesTotal)
{
    if (m_state != State::Receiving)
        return;
    m_answer.append(m_socket.getData(bytesTotal));
    if (m_answer.isCut()) {
        // No use reading on: what is kept is what will be shown.
        finish(State::Done, m_answer.text());
    }
}

void WhoisSession::Winsock1_Close()
{
    if (m_state != State::Receiving)
        return;
    if (m_socket.bytesAvailable() > 0)
        m_answer.append(m_socket.getData());
    // The server has closed; the socket is left as it is.
    finish(State::Done, m_answer.text(), false);
}

void WhoisSession::Winsock1_Error(int number, const QString& description)
{
    qCDebug(lcWhois) << "socket error" << number << description;
    if (m_state == State::Connecting) {
        finish(State::Failed, QStringLiteral("Could not connect to the WHOIS server %1: %2").arg(serverName(), description));
    } else if (m_state == State::Receiving) {
        QString text = m_answer.text();
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        finish(State::Failed, text + QStringLiteral("[The connection to the WHOIS server %1 broke: %2]")
                                         .arg(serverName(), description));
    }
}

void WhoisSession::timeoutReached()
{
    const QString seconds = QString::number(m_timeoutMs / 1000.0, 'g', 3);
    if (m_state == State::Connecting) {
        finish(State::Failed, QStringLiteral("Could not connect to the WHOIS server %1 within %2 seconds.")
                                  .arg(serverName(), seconds));
    } else if (m_state == State::Receiving) {
        QString text = m_answer.text();
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        finish(State::Failed, text + QStringLiteral("[The WHOIS server %1 did not finish its answer within %2 "
                                                    "seconds; the connection was closed.]")
                                         .arg(serverName(), seconds));
    }
}

void WhoisSession::finish(State state, const QString& text, bool closeSocket)
{
    // The state changes first: closing the socket can raise its events at once, and they must find
    // the exchange over.
    m_timer.stop();
    setState(state);
    if (closeSocket)
        m_socket.close();
    emit finished(text);
}
