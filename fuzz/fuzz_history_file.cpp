// History files as a crash, a full disk or another program may leave them: read-only, every query answers without
// crashing, the rows it gives are printable and the printed forms hold one line per entry; opened for writing, a file
// that cannot be used is set aside and a new one started, and a failure is never silent.
#include "history/HistoryStore.h"
#include "history/HistoryText.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv); // the SQL driver is a plugin
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return 0;
    file.close();
    {
        HistoryStore reader(path, HistoryStore::Access::ReadOnly);
        const QList<HistoryEntry> entries = reader.all();
        const QList<HistoryEntry> page = reader.page(1u << HistoryEntry::External, 1, 10);
        reader.period(0, 1LL << 50);
        reader.count(3);
        reader.beginning();
        if (page.size() > 10 || HistoryText::csv(entries).count(u'\n') < entries.size() + 1)
            __builtin_trap();
        const QString table = HistoryText::table(entries);
        for (const QChar c : table) {
            if (c != u'\n' && c.category() == QChar::Other_Control)
                __builtin_trap();
        }
    }
    HistoryStore writer(path);
    int problems = 0;
    QObject::connect(&writer, &HistoryStore::problem, [&problems] { ++problems; });
    if (!writer.record(HistoryEntry::External, QStringLiteral("203.0.113.1"), QStringLiteral("203.0.113.2"), 1) &&
        problems == 0)
        __builtin_trap(); // failed without a word
    return 0;
}
