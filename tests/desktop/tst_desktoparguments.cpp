// The platform choice at start: X11 only in a Wayland session with an X server, and never over the
// user's own choice.
#include "desktop/DesktopArguments.h"

#include <QtTest>

class TestDesktopArguments : public QObject
{
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
};

void TestDesktopArguments::choice_data()
{
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("session");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("x11");
    QTest::newRow("wayland with XWayland") << QByteArray() << QByteArray(":0") << QByteArray("wayland-0")
                                           << QByteArray("wayland") << QStringList() << true;
    QTest::newRow("session type alone") << QByteArray() << QByteArray(":0") << QByteArray() << QByteArray("wayland")
                                        << QStringList() << true;
    QTest::newRow("no X server") << QByteArray() << QByteArray() << QByteArray("wayland-0") << QByteArray("wayland")
                                 << QStringList() << false;
    QTest::newRow("user chose a platform") << QByteArray("wayland") << QByteArray(":0") << QByteArray("wayland-0")
                                           << QByteArray("wayland") << QStringList() << false;
    QTest::newRow("user passed -platform") << QByteArray() << QByteArray(":0") << QByteArray("wayland-0")
                                           << QByteArray("wayland") << QStringList{"-platform", "wayland"} << false;
    QTest::newRow("plain X11 session") << QByteArray() << QByteArray(":0") << QByteArray() << QByteArray("x11")
                                       << QStringList() << false;
}

void TestDesktopArguments::choice()
{
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, session);
    QFETCH(QStringList, args);
    QFETCH(bool, x11);
    const auto set = [](const char* name, const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    set("QT_QPA_PLATFORM", platform);
    set("DISPLAY", display);
    set("WAYLAND_DISPLAY", wayland);
    set("XDG_SESSION_TYPE", session);
    QList<QByteArray> storage{"tarnwick-ip-vistrel"};
    for (const QString& arg : args)
        storage << arg.toUtf8();
    std::vector<char*> argv;
    for (QByteArray& arg : storage)
        argv.push_back(arg.data());
    DesktopArguments arguments(static_cast<int>(argv.size()), argv.data());
    QCOMPARE(arguments.prefersX11(), x11);
    QCOMPARE(arguments.argc(), static_cast<int>(argv.size()) + (x11 ? 2 : 0));
    QVERIFY(arguments.argv()[arguments.argc()] == nullptr);
    if (x11) {
        QCOMPARE(QByteArray(arguments.argv()[arguments.argc() - 2]), QByteArray("-platform"));
        QCOMPARE(QByteArray(arguments.argv()[arguments.argc() - 1]), QByteArray("xcb"));
        QVERIFY(qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"));  // children inherit no choice
    }
}

QTEST_GUILESS_MAIN(TestDesktopArguments)
#include "tst_desktoparguments.moc"
