#include "platform/windows/Registry.h"

#include "platform/windows/SystemError.h"

#include <windows.h>

#include <vector>

namespace {
std::wstring wide(const QString& text)
{
    return text.toStdWString();
}
} // namespace

std::optional<QString> Registry::readText(const QString& key, const QString& name, qsizetype maxChars)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring valueName = wide(name);
    std::optional<QString> result;
    // The value may change between asking its size and reading it: ask again a few times.
    for (int attempt = 0; attempt < 4 && !result; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(handle, valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
            bytes / sizeof(wchar_t) > DWORD(maxChars) + 1)
            break;
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = DWORD(buffer.size() * sizeof(wchar_t));
        const LONG rc =
            RegQueryValueExW(handle, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            break;
        // The stored text need not end in a NUL, nor hold a whole number of characters.
        qsizetype length = qsizetype(std::min<DWORD>(got, bytes) / sizeof(wchar_t));
        while (length > 0 && buffer[size_t(length - 1)] == L'\0')
            --length;
        result = QString::fromWCharArray(buffer.data(), length);
    }
    RegCloseKey(handle);
    return result;
}

bool Registry::writeText(const QString& key, const QString& name, const QString& text, QString* error)
{
    HKEY handle = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                              nullptr, &handle, nullptr);
    if (rc == ERROR_SUCCESS) {
        const std::wstring data = wide(text);
        rc = RegSetValueExW(handle, wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            DWORD((data.size() + 1) * sizeof(wchar_t)));
        if (rc == ERROR_SUCCESS)
            rc = RegFlushKey(handle); // on disk when the write returns, as the settings file is
        RegCloseKey(handle);
    }
    if (rc != ERROR_SUCCESS && error)
        *error = QStringLiteral("%1%2 cannot be written: %3").arg(CurrentUser, key, systemErrorText(rc));
    return rc == ERROR_SUCCESS;
}

bool Registry::removeValue(const QString& key, const QString& name, QString* error)
{
    HKEY handle = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, KEY_SET_VALUE, &handle);
    if (rc == ERROR_SUCCESS) {
        rc = RegDeleteValueW(handle, wide(name).c_str());
        RegCloseKey(handle);
    }
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND)
        return true;
    if (error)
        *error = QStringLiteral("%1%2\\%3 cannot be removed: %4").arg(CurrentUser, key, name, systemErrorText(rc));
    return false;
}
