// settings_hammer FILE KEYS FIRST: writes hammer<i mod KEYS> = i from FIRST on until killed (FIRST 1: a long value).
#include "core/Settings.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 1;
    Settings settings(args.at(1));
    if (args.at(3) == u"1")  // it makes every later write slow enough to be interrupted
        settings.write(QStringLiteral("txtBody"), QString(100000, u'x'));
    for (qint64 i = args.at(3).toLongLong();; ++i)
        settings.write(QStringLiteral("hammer%1").arg(i % args.at(2).toInt()), QString::number(i));
}
