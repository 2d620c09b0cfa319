// Writes settings as fast as the store allows, for the crash test, or prints what a store holds.
//
//   settings_hammer write <file> <keys> <first>   writes key (i mod keys) = i for i = first, first + 1, ...
//                                                 until killed
//   settings_hammer set <file> <key> <value>       writes one value
//   settings_hammer dump <file>                    prints every key=value of the section, one a line,
//                                                  with CR and LF written as \r and \n
#include "app/Settings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args.at(1) == QLatin1String("write")) {
        Settings settings(args.at(2));
        const int keys = args.at(3).toInt();
        for (qint64 i = args.at(4).toLongLong();; ++i)
            settings.write(QStringLiteral("hammer%1").arg(i % keys), QString::number(i));
    }
    if (args.size() >= 5 && args.at(1) == QLatin1String("set")) {
        Settings(args.at(2)).write(args.at(3), args.at(4));
        return 0;
    }
    if (args.size() >= 3 && args.at(1) == QLatin1String("dump")) {
        QSettings file(args.at(2), QSettings::IniFormat);
        if (file.status() != QSettings::NoError)
            return 2;
        file.beginGroup(QLatin1String(Settings::Section));
        QTextStream out(stdout);
        for (const QString& key : file.childKeys())
            out << key << '=' << file.value(key).toString().replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n")) << '\n';
        return 0;
    }
    QTextStream(stderr) << "usage: settings_hammer write <file> <keys> <first> | set <file> <key> <value> | dump <file>\n";
    return 1;
}
