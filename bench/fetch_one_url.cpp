// The yardstick for --once: a bare Qt program that fetches one URL (the address source) and exits, the least a
// run that looks the address up must do.
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 64;
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(QString::fromLocal8Bit(argv[1]))));
    QObject::connect(reply, &QNetworkReply::finished, &app, [reply] {
        std::fputs(reply->readAll().constData(), stdout);
        QCoreApplication::exit(reply->error() == QNetworkReply::NoError ? 0 : 1);
    });
    return app.exec();
}
