#include "notify/PlainMailTransport.h"

PlainMailTransport::PlainMailTransport(QObject* parent) : MailTransport(parent)
{
    connect(&m_socket, &SocketControl::connected, this, &MailTransport::connected);
    connect(&m_socket, &SocketControl::error, this, [this](int number, const QString&) {
        if (number == QAbstractSocket::ConnectionRefusedError)
            emit failed(refusedBy(m_socket.remoteHost()));
    });
    connect(&m_socket, &SocketControl::dataArrival, this, [this](qint64) {
        const QByteArray data = m_socket.getData();
        if (!data.isEmpty())
            emit received(data);
    });
}

void PlainMailTransport::connectTo(const QString& host, quint16 port)
{
    m_socket.connectTo(host, port);
}

void PlainMailTransport::send(const QByteArray& data)
{
    m_socket.sendData(data);
}

void PlainMailTransport::close()
{
    if (m_socket.state() == SocketControl::Connected)
        m_socket.flush();
    m_socket.close();
}
