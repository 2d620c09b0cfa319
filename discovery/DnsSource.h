#pragma once

#include "discovery/AddressSource.h"
#include "discovery/DnsAnswer.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>

#include <map>
#include <memory>

struct ares_channeldata;

/// A dns://SERVER[:PORT]/NAME?type=…;class=… source: one query sent straight to SERVER with c-ares (not
/// through the system resolver), driven by the Qt event loop: a QSocketNotifier on each socket c-ares opens
/// and one single-shot timer for its retransmissions.
class DnsSource : public AddressSource
{
    Q_OBJECT
public:
    DnsSource(const QHostAddress& server, quint16 port, const DnsQuestion& question, QString uri,
              QObject* parent = nullptr);
    ~DnsSource() override;
    void start(int timeoutMs) override;
    void cancel() override;

private:
    static void replyCallback(void* arg, int status, int timeouts, unsigned char* abuf, int alen);
    void onSocketState(qintptr fd, bool readable, bool writable);
    void onReply(int status, const unsigned char* abuf, int alen);
    void process(qintptr readFd, qintptr writeFd);
    void scheduleTimer();
    void destroyChannel();
    void haltQuery() override;
    void releaseQuery() override;

    struct Notifiers
    {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };

    QHostAddress m_server;
    quint16 m_port;
    DnsQuestion m_question;
    ares_channeldata* m_channel = nullptr;
    std::map<qintptr, Notifiers> m_notifiers; // by socket: an int on Linux, a SOCKET on Windows
    QTimer m_aresTimer;
    QTimer m_deadline;
    quint16 m_id = 0;
};
