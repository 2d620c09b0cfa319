#include "platform/SocketControl.h"

#include <QHostInfo>

SocketControl::SocketControl(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState s) {
        switch (s) {
        case QAbstractSocket::HostLookupState:
            setState(ResolvingHost);
            break;
        case QAbstractSocket::ConnectingState:
            setState(Connecting);
            break;
        case QAbstractSocket::ClosingState:
            // A close asked for here is already Closed.
            if (m_state != Error && m_state != Closed)
                setState(Closing);
            break;
        default:
            break;
        }
    });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        setState(Connected);
        emit connected();
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        if (m_state != Closed && m_socket.bytesAvailable() > 0)
            emit dataArrival(m_socket.bytesAvailable());
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_state == Connected || m_state == Closing) {
            setState(Closing);
            emit closed();
        }
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        // The peer closing is a close event, not an error.
        if (e == QAbstractSocket::RemoteHostClosedError)
            return;
        setState(Error);
        emit error(int(e), m_socket.errorString());
    });
}

void SocketControl::connectTo(const QString& host, quint16 port)
{
    m_socket.abort();
    m_remoteHost = host;
    setState(ResolvingHost);
    m_socket.connectToHost(host, port);
}

void SocketControl::sendData(const QByteArray& data)
{
    if (m_state == Connected)
        m_socket.write(data);
}

QByteArray SocketControl::getData(qint64 maxBytes)
{
    return maxBytes < 0 ? m_socket.readAll() : m_socket.read(maxBytes);
}

void SocketControl::flush()
{
    m_socket.flush();
}

void SocketControl::close()
{
    // Closed first: the disconnection that follows is not the peer's close event.
    setState(Closed);
    // An open connection hands its queued bytes (a last QUIT) to the network before the FIN; an
    // attempt still under way is dropped.
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        m_socket.disconnectFromHost();
    else
        m_socket.abort();
}

QString SocketControl::localHostName()
{
    return QHostInfo::localHostName();
}
