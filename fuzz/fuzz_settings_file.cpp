// Settings files as a user, a crash or another program may leave them. The parser: what it accepts it writes back
// so that it reads the same, a value set reads back as set and changes one line (or adds at most three). The program:
// reading every key as text and as a number never fails, and numbers stay in their range.
#include "core/NotifySettings.h"
#include "core/Settings.h"
#include "platform/IniText.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {
void checkParser(const QByteArray& bytes)
{
    std::optional<IniText> text = IniText::parse(bytes, nullptr);
    if (!text)
        return;
    const QStringList keys = {"strurl", "txtBody", "x", "OldExternal"};
    std::optional<IniText> again = IniText::parse(text->toBytes(), nullptr);
    if (!again)
        __builtin_trap();
    for (const QString& key : keys) {
        if (again->value(QStringLiteral("Settings"), key) != text->value(QStringLiteral("Settings"), key))
            __builtin_trap();
    }
    // The input's own text (escapes decoded) as a value, in a section that may not exist yet.
    const QString value = IniText::decodeValue(QString::fromUtf8(bytes.left(512)));
    if (IniText::decodeValue(IniText::encodeValue(value)) != value)
        __builtin_trap();
    const qsizetype linesBefore = text->toBytes().count('\n');
    text->setValue(QStringLiteral("Settings"), QStringLiteral("strurl"), value);
    const QByteArray after = text->toBytes();
    again = IniText::parse(after, nullptr);
    if (!again || again->value(QStringLiteral("Settings"), QStringLiteral("strurl")) != value)
        __builtin_trap();
    // One line replaced, or at most a blank line, a header and the key added.
    if (after.count('\n') < linesBefore || after.count('\n') > linesBefore + 3)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkParser(bytes);

    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.conf"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
    }
    Settings settings(path);
    NotifySettings values;
    LoadNotifySettings(settings, values);
    for (const KeyRow& row : SettingsKeys) {
        if (row.info.type == KeyInfo::Type::Text) {
            (void)settings.read(row.key);
            continue;
        }
        // A stored number within the key's range, or else its default (which may be a sentinel outside the range).
        const int number = settings.readInt(row.key);
        if ((number < row.info.min || number > row.info.max) && number != row.info.defaultNumber)
            __builtin_trap();
    }
    return 0;
}
