#include "platform/UnixSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int s_pair[2] = {-1, -1};
const int HandledSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number)
{
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(s_pair[0], &byte, 1); // full pipe: one is pending already
    errno = saved;
}

void readPending(UnixSignals* owner)
{
    char numbers[16];
    ssize_t count;
    while ((count = ::read(s_pair[1], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (numbers[i] == SIGHUP)
                emit owner->reload();
            else
                emit owner->terminate();
        }
    }
}
} // namespace

UnixSignals::UnixSignals(QObject* parent) : QObject(parent) {}

UnixSignals::~UnixSignals()
{
    if (s_pair[0] < 0)
        return;
    for (const int number : HandledSignals)
        std::signal(number, SIG_DFL);
    ::close(s_pair[0]);
    ::close(s_pair[1]);
    s_pair[0] = s_pair[1] = -1;
}

bool UnixSignals::start(QString* error)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, s_pair) != 0) {
        *error = QStringLiteral("socketpair: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    auto* notifier = new QSocketNotifier(s_pair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { readPending(this); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : HandledSignals) {
        if (::sigaction(number, &action, nullptr) != 0) {
            *error = QStringLiteral("sigaction: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    return true;
}
