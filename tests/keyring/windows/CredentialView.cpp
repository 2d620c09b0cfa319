// The Credential Manager through wincred.h, as another program reads and writes it (Wine has no cmdkey.exe).
#include "../StoreView.h"

#include "keyring/PasswordStore.h"

#include <windows.h>

#include <wincred.h> // after windows.h, whose types it uses

namespace {
std::wstring target()
{
    return (StoreView::service() + u'/' + QLatin1String(PasswordStore::KeyringKey)).toStdWString();
}
} // namespace

QString StoreView::service()
{
    return QStringLiteral("Tarnwick IP Vistrel tests"); // never the user's own entry
}

QString StoreView::name()
{
    return QStringLiteral("Credential Manager");
}

QString StoreView::held()
{
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(target().c_str(), CRED_TYPE_GENERIC, 0, &credential))
        return QString();
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(credential->CredentialBlob),
                                            qsizetype(credential->CredentialBlobSize / 2));
    CredFree(credential);
    return text;
}

void StoreView::seed(const QString& password)
{
    const std::wstring name = target();
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(name.c_str());
    std::u16string blob = password.toStdU16String();
    credential.CredentialBlobSize = DWORD(blob.size() * 2);
    credential.CredentialBlob = reinterpret_cast<BYTE*>(blob.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    CredWriteW(&credential, 0);
}

void StoreView::clear()
{
    CredDeleteW(target().c_str(), CRED_TYPE_GENERIC, 0);
}
