#include "platform/UnixSignals.h"

#include <QMetaObject>

#include <windows.h>

#include <atomic>

// The console's requests to end: Ctrl+C, Ctrl+Break, closing the console window, logging off, shutting down. The
// system calls the handler on a thread of its own; it only queues terminate() for the event loop. For the last
// three the system ends the process as soon as the handler returns, so the handler waits (up to the system's own
// limit of about five seconds) until the watcher has ended cleanly and this object is gone. Windows has no request
// to read the settings again: reload() is never emitted.

namespace {
std::atomic<UnixSignals*> s_owner{nullptr};
HANDLE s_ended = nullptr; // set when the owner goes

constexpr DWORD EndWaitMs = 4500;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    UnixSignals* owner = s_owner.load();
    if (!owner)
        return FALSE; // the system's default: end the process
    QMetaObject::invokeMethod(owner, &UnixSignals::terminate, Qt::QueuedConnection);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(s_ended, EndWaitMs);
    return TRUE;
}
} // namespace

UnixSignals::UnixSignals(QObject* parent) : QObject(parent) {}

UnixSignals::~UnixSignals()
{
    if (s_owner.load() != this)
        return;
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    s_owner.store(nullptr);
    SetEvent(s_ended);
}

bool UnixSignals::start(QString* error)
{
    if (!s_ended)
        s_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s_owner.store(this);
    if (!s_ended || !SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        s_owner.store(nullptr);
        *error = QStringLiteral("the console's end requests cannot be handled (error %1)").arg(GetLastError());
        return false;
    }
    return true;
}
