// Measures the notification mail: the processor time the program spends on a whole session with a
// server (plain, then TLS) that waits before every reply, and the time from the end of a lookup that
// saw a change to the message being accepted, over plain SMTP and over STARTTLS. Run by smtp_bench.sh.
#include "NginxPeer.h"
#include "PeerProcess.h"
#include "TempConfigHome.h"
#include "core/AddressWatcher.h"
#include "core/Settings.h"
#include "mainwindow/Form1.h"
#include "notify/MailNotifier.h"
#include "notify/NotificationService.h"
#include "notify/WatcherNotificationHost.h"
#include "notify/SmtpSession.h"
#include "platform/ProcessLauncher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Rig
{
    TempConfigHome home;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<AddressWatcher> watcher;
    std::unique_ptr<Form1> form;
    std::unique_ptr<WatcherNotificationHost> host;
    DetachedProcessLauncher launcher;
    std::unique_ptr<NotificationService> service;

    void load(const QByteArray& file)
    {
        home.writeSettingsFile(file);
        settings = std::make_unique<Settings>(home.settingsPath());
        form.reset();
        watcher = std::make_unique<AddressWatcher>(*settings);
        form = std::make_unique<Form1>(*watcher, *settings);
        host = std::make_unique<WatcherNotificationHost>(*watcher);
        service = std::make_unique<NotificationService>(*host, launcher);
        watcher->setNotifiers(service.get());
        watcher->setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
        QSignalSpy loaded(form.get(), &Form1::lookupFinished);
        form->Form_Load();
        loaded.wait(10000);  // the start-up lookup answers later; a round must not overlap it
    }
};

bool waitForStatus(Form1& form, const QString& text, int timeoutMs)
{
    if (form.status() == text)
        return true;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    QObject::connect(&form, &Form1::statusChanged, &loop, [&](const QString& s) {
        if (s == text || s.startsWith(QLatin1String("Error: ")))
            loop.quit();
    });
    loop.exec();
    return form.status() == text;
}

// Processor time over a whole session whose every reply comes after `delay` seconds.
bool slowSession(const QStringList& peerArgs, const QString& extraSettings, double delay, double* cpuShare)
{
    QString error;
    PeerProcess slow;
    if (!slow.start(QStringLiteral("smtp_peer.py"),
                    peerArgs + QStringList{"--delay", QString::number(delay), "--quiet"}, &error)) {
        std::fprintf(stderr, "peer: %s\n", qPrintable(error));
        return false;
    }
    Rig rig;
    rig.load(QStringLiteral("[Settings]\nshowHelp=0\nstrServer=127.0.0.1\nstrPort=%1\nchkAuth=1\n"
                            "strUsername=alice\nstrPassword=secret\nmailTrustedCertificates=%2\n%3")
                 .arg(slow.port())
                 .arg(slow.readyField(QStringLiteral("CERT")), extraSettings)
                 .toUtf8());
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    rig.form->cmdSend_Click(); // a mail the watcher starts, whose status the main window shows
    const bool sent = waitForStatus(*rig.form, QStringLiteral("Message Sent"), int(delay * 1000 * 14 + 10000));
    const double wallSeconds = double(wall.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    *cpuShare = 100.0 * cpu / wallSeconds;
    std::printf("slow server%s (%.1f s before each reply): %s, wall %.2f s, processor %.4f s = %.3f %% of wall\n",
                qPrintable(extraSettings.isEmpty() ? QString() : QStringLiteral(", ") + extraSettings.trimmed()), delay,
                sent ? "sent" : qPrintable(rig.form->status()), wallSeconds, cpu, *cpuShare);
    return sent;
}

// From "Finished looking up IPs" to the message accepted by aiosmtpd, over several changes; the median in ms.
double lookupToAccepted(NginxPeer& nginx, const QStringList& peerArgs, const QString& extraSettings, int rounds)
{
    QString error;
    PeerProcess smtp;
    if (!smtp.start(QStringLiteral("smtp_peer.py"), peerArgs + QStringList{"--quiet"}, &error)) {
        std::fprintf(stderr, "aiosmtpd: %s\n", qPrintable(error));
        return -1;
    }
    nginx.setBody(QStringLiteral("ip"), "203.0.113.1\n");  // the start-up lookup sees no change: no mail
    Rig rig;
    rig.load(QStringLiteral("[Settings]\nshowHelp=0\nemailNotify=1\nstrServer=127.0.0.1\nstrPort=%1\n"
                            "OldExternal=203.0.113.1\nOldInternal=10.0.0.2\nmailTrustedCertificates=%2\n%3")
                 .arg(smtp.port())
                 .arg(smtp.readyField(QStringLiteral("CERT")), extraSettings)
                 .toUtf8());
    QList<double> ms;
    QElapsedTimer clock;
    QObject::connect(rig.form.get(), &Form1::statusChanged, [&clock](const QString& s) {
        if (s == QLatin1String("Finished looking up IPs"))
            clock.start();
    });
    SmtpSession& session = static_cast<MailNotifier*>(rig.service->notifier(Notifiers::Kind::Mail))->session();
    for (int i = 0; i < rounds; ++i) {
        nginx.setBody(QStringLiteral("ip"), QByteArray("203.0.113.") + QByteArray::number(10 + i) + "\n");
        clock.invalidate();
        rig.form->Command1_Click();
        if (!waitForStatus(*rig.form, QStringLiteral("Message Sent"), 10000) || !clock.isValid()) {
            std::fprintf(stderr, "round %d: %s\n", i, qPrintable(rig.form->status()));
            return -1;
        }
        ms << double(clock.nsecsElapsed()) / 1e6;
        if (session.isBusy()) // QUIT's reply
            QSignalSpy(&session, &SmtpSession::finished).wait(3000);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("lookup end to message accepted%s, %d rounds: median %.1f ms, max %.1f ms\n",
                qPrintable(extraSettings.isEmpty() ? QString() : QStringLiteral(", ") + extraSettings.trimmed()),
                int(ms.size()), ms.at(ms.size() / 2), ms.last());
    return ms.at(ms.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const double delay = argc > 1 ? QByteArray(argv[1]).toDouble() : 2.0;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 20;
    QString error;
    NginxPeer nginx;
    if (!nginx.start(&error)) {
        std::fprintf(stderr, "nginx: %s\n", qPrintable(error));
        return 1;
    }
    nginx.setBody(QStringLiteral("ip"), "203.0.113.1\n");
    qputenv("VISTREL_ADDRESS_URL", nginx.url(QStringLiteral("/body/ip")).toEncoded());

    double plainCpu = 0;
    double tlsCpu = 0;
    if (!slowSession({}, {}, delay, &plainCpu) ||
        !slowSession({"--security", "tls"}, QStringLiteral("mailSecurity=tls\n"), delay, &tlsCpu))
        return 1;
    const double plain = lookupToAccepted(nginx, {}, {}, rounds);
    const double starttls =
        lookupToAccepted(nginx, {"--security", "starttls"}, QStringLiteral("mailSecurity=starttls\n"), rounds);
    if (plain <= 0 || starttls <= 0)
        return 1;
    std::printf("STARTTLS / plain, change to message accepted: %.2f (goal under 2; STARTTLS %.1f ms, goal under 150)\n",
                starttls / plain, starttls);
    std::printf("processor share with a TLS server %.1f s before each reply: %.3f %% (goal under 2 %%)\n", delay,
                tlsCpu);
    return 0;
}
