#include "app/CommandLine.h"

#include "ProductVersion.h"
#include "metrics/MetricsServer.h"
#include "platform/FileAccess.h"
#include "platform/SettingsFile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {
// Qt's own options for a window platform: Qt reads them from argv, so they must not count as unknown.
const char* const QtOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin", "display",    "geometry",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "style",  "stylesheet", "session"};
const char* const QtFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Nearest folder that exists, for a file whose folders are still to be made.
QString existingAncestor(QString folder)
{
    while (!QFileInfo::exists(folder) && !QDir(folder).isRoot())
        folder = QFileInfo(folder).absolutePath();
    return folder;
}
} // namespace

CommandLine CommandLine::parse(int argc, char** argv)
{
    CommandLine result;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = arguments.isEmpty() ? QStringLiteral("tarnwick-ip-vistrel") : arguments.first();

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Shows this computer's internal address and its public IPv4 and IPv6 addresses, looks them up again on a\n"
        "timer and when the network changes, keeps a history of their changes, and when one changes notifies by\n"
        "mail, web requests, a program, MQTT, DNS UPDATE (TSIG), DNS hosts' APIs and a desktop notice. The window\n"
        "shows the state (current, stale, error, notice pending) and the router's WAN address; Action > History\n"
        "shows the history, and Setup the notifications and the address sources (https://, dns://, stun:)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version."));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Watches without a window; status on standard error."));
    const QCommandLineOption once(QStringLiteral("once"),
                                  QStringLiteral("One lookup and its notifications, then exit (0 unchanged, 1 changed "
                                                 "and notified, 2 a notification failed, 3 the lookup failed)."));
    const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Uses another settings file."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption history(QStringLiteral("history"),
                                     QStringLiteral("Prints the recorded changes of the addresses and exits."));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("How --history prints: text (aligned columns, the default) or csv."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption health(QStringLiteral("health"),
                                    QStringLiteral("Says whether the last lookup of --headless or --once succeeded "
                                                   "(exit 0) or not (exit 1), in one line."));
    const QCommandLineOption metrics(
        QStringLiteral("metrics"),
        QStringLiteral("With --headless: serves Prometheus metrics on ADDRESS:PORT (a port alone: on loopback)."),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption installTask(
        QStringLiteral("install-task"),
        QStringLiteral("Has the system start the watcher without the window (--headless) at logon, and exits."));
    const QCommandLineOption removeTask(QStringLiteral("remove-task"),
                                        QStringLiteral("Removes what --install-task made, and exits."));
    parser.addOptions(
        {help, version, headless, once, history, format, health, config, metrics, installTask, removeTask});
    for (const char* name : QtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : QtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    // helpText() names the program from QCoreApplication, which does not exist yet.
    const QString usage =
        parser.helpText().replace(QStringLiteral("<executable_name>"), program) +
        QStringLiteral("\nEnvironment:\n"
                       "  VISTREL_ADDRESS_SOURCES   The IPv4 address sources, blank-separated, instead of the settings'.\n"
                       "  VISTREL_ADDRESS6_SOURCES  The IPv6 address sources while the above is set (unset: none).\n"
                       "  VISTREL_ASK_ROUTER=1      Asks the router for its WAN address even with the sources above.\n"
                       "  VISTREL_WHOIS_SERVER      The WHOIS server (host or host:port) asked first; alone, it turns RDAP off.\n"
                       "  VISTREL_RDAP_BOOTSTRAP    Where RDAP's bootstrap registries come from instead of data.iana.org.\n");
    QString problem;
    quint16 port = 0;
    if (!parser.parse(arguments))
        problem = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        problem = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
    else if (parser.isSet(headless) && parser.isSet(once))
        problem = QStringLiteral("--headless and --once cannot be used together.");
    else if (parser.isSet(history) && (parser.isSet(headless) || parser.isSet(once)))
        problem = QStringLiteral("--history cannot be used with --headless or --once.");
    else if (parser.isSet(health) && (parser.isSet(headless) || parser.isSet(once) || parser.isSet(history)))
        problem = QStringLiteral("--health cannot be used with --headless, --once or --history.");
    else if (parser.isSet(format) && !parser.isSet(history))
        problem = QStringLiteral("--format is for --history.");
    else if (parser.isSet(format) && parser.value(format) != QLatin1String("text") &&
             parser.value(format) != QLatin1String("csv"))
        problem = QStringLiteral("--format is text or csv.");
    else if (parser.isSet(metrics) && !parser.isSet(headless))
        problem = QStringLiteral("--metrics is for --headless.");
    else if (QHostAddress address; parser.isSet(metrics) &&
                                   !MetricsServer::parseListen(parser.value(metrics), &address, &port, &problem))
        problem = QStringLiteral("--metrics: ") + problem;
    else if ((parser.isSet(installTask) || parser.isSet(removeTask)) &&
             (parser.isSet(installTask) == parser.isSet(removeTask) || parser.isSet(headless) || parser.isSet(once) ||
              parser.isSet(history) || parser.isSet(health)))
        problem = QStringLiteral("--install-task and --remove-task go alone.");
    else if (parser.isSet(config) && parser.value(config).isEmpty())
        problem = QStringLiteral("--config needs a file name.");
    if (!problem.isEmpty()) {
        print(stderr, QStringLiteral("%1: %2\n\n%3").arg(program, problem, usage));
        result.exitStatus = ExitUsage;
        return result;
    }
    if (parser.isSet(help)) {
        print(stdout, usage);
        result.exitStatus = 0;
        return result;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("%1 %2\n").arg(
                          QStringLiteral(VISTREL_PRODUCT_NAME),
                          QStringLiteral("%1.%2").arg(VISTREL_VERSION_MAJOR).arg(VISTREL_VERSION_MINOR)));
        result.exitStatus = 0;
        return result;
    }
    result.mode = parser.isSet(headless)      ? Mode::Headless
                  : parser.isSet(once)        ? Mode::Once
                  : parser.isSet(history)     ? Mode::History
                  : parser.isSet(health)      ? Mode::Health
                  : parser.isSet(installTask) ? Mode::InstallTask
                  : parser.isSet(removeTask)  ? Mode::RemoveTask
                                              : Mode::Windowed;
    result.historyCsv = parser.value(format) == QLatin1String("csv");
    result.metricsListen = parser.value(metrics);
    if (parser.isSet(config))
        result.configPath = QFileInfo(parser.value(config)).absoluteFilePath();
    return result;
}

bool CommandLine::checkSettingsFile(const QString& path, QString* error)
{
    if (!SettingsFile::isFile(path))
        return true; // the system's own store
    // Through a symbolic link, the file it reaches is the one rewritten, in its own folder.
    const QFileInfo file(SettingsFile::resolve(path));
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("The settings file %1 cannot be used: %2.").arg(path, reason);
        return false;
    };
    if (file.exists()) {
        if (file.isDir())
            return fail(QStringLiteral("it is a folder"));
        if (QString reason; !SettingsFile::check(path, &reason))
            return fail(reason);
        if (!FileAccess::mayWrite(path))
            return fail(QStringLiteral("it cannot be written"));
    }
    const QString folder = existingAncestor(file.absolutePath());
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir())
        return fail(QStringLiteral("%1 is not a folder").arg(folder));
    if (!FileAccess::mayCreateIn(folder))
        return fail(QStringLiteral("the folder %1 cannot be written").arg(folder));
    return true;
}
