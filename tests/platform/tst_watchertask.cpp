// The task that starts the watcher without the window, as the system reads it: on Linux systemd's own check of the
// unit, which also finds the program at the path it names; on Windows the task's XML read back.
#include "platform/WatcherTask.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

class TestWatcherTask : public QObject
{
    Q_OBJECT
private slots:
    void definitionNamesTheProgram();
};

// A program in a folder whose name holds what a unit or XML would read otherwise: a space, "%", "$", "&".
void TestWatcherTask::definitionNamesTheProgram()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("a b%n$HOME&x/tarnwick-ip-vistrel"));
    QVERIFY(QDir().mkpath(QFileInfo(program).absolutePath()));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    const WatcherTask task(program);
    const QByteArray definition = task.definition();
    if (QSysInfo::kernelType() == u"linux") {
        const QString unit = folder.filePath(QStringLiteral("tarnwick-ip-vistrel.service"));
        QFile file(unit);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(definition) == definition.size());
        file.close();
        // verify exits 0 on bad values: any word it says is a fault. Its user manager needs a runtime folder.
        QProcess verify;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
        verify.setProcessEnvironment(environment);
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(QStringLiteral("systemd-analyze"), {QStringLiteral("--user"), QStringLiteral("verify"), unit});
        QVERIFY(verify.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(verify.readAll()), QString());
        QCOMPARE(verify.exitCode(), 0);
        QVERIFY(definition.contains(" --headless\n"));
        return;
    }
    // UTF-16 with a byte order mark, as schtasks.exe reads it.
    QVERIFY(definition.startsWith("\xff\xfe"));
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(definition.constData() + 2), (definition.size() - 2) / 2);
    QXmlStreamReader xml(text);
    QMap<QString, QString> told;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            (xml.name() == u"Command" || xml.name() == u"Arguments" || xml.name() == u"LogonType"))
            told[xml.name().toString()] = xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(told.value(QStringLiteral("Command")), QDir::toNativeSeparators(program));
    QCOMPARE(told.value(QStringLiteral("Arguments")), QStringLiteral("--headless"));
    QCOMPARE(told.value(QStringLiteral("LogonType")), QStringLiteral("InteractiveToken"));

    // Removing a task that is not there is no failure (schtasks.exe's delete fails, and its query finds none; Wine's
    // answers a query with success and nothing). Making one is not tried here: Wine 8.0's scheduler refuses every
    // task in the session that made its prefix, and keeps neither triggers nor actions of the tasks it takes later.
    QString error;
    QVERIFY2(WatcherTask(program).remove(&error), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestWatcherTask)
#include "tst_watchertask.moc"
