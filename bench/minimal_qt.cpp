// The yardstick for start-up: a minimal Qt Widgets program that shows a window with a label, prints
// "shown" on standard error once the window is shown, and quits.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Internal: 192.0.2.2"), &window));
    window.show();
    // Queued, so that it comes after the show events the window system sends.
    QTimer::singleShot(0, &app, [] {
        std::fputs("shown\n", stderr);
        std::fflush(stderr);
        QCoreApplication::quit();
    });
    return app.exec();
}
