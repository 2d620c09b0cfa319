#include "platform/SecretStore.h"

#include "platform/windows/SystemError.h"

#include <QTimer>

#include <windows.h>

#include <wincred.h> // after windows.h, whose types it uses

#include <string>

// The Credential Manager: a generic credential named "<service>/<key>" (the user sees it under "Windows
// Credentials"), kept on this computer for this user across logons but never roamed to other computers. The blob
// is the secret in UTF-16LE without a terminating NUL, as Windows' own tools store a password. These calls are
// local and quick: each answers on the next turn of the event loop.

namespace {

using Answer = SecretStore::Answer;
using Result = SecretStore::Result;

Answer failure(DWORD code)
{
    switch (code) {
    case ERROR_NOT_FOUND:
        return {Result::NotFound, {}, {}};
    case ERROR_NO_SUCH_LOGON_SESSION: // no profile loaded (a service account, a network logon)
        return {Result::NoStore, {}, systemErrorText(long(code))};
    case ERROR_ACCESS_DENIED:
        return {Result::Refused, {}, systemErrorText(long(code))};
    default:
        return {Result::Error, {}, systemErrorText(long(code))};
    }
}

Answer readNow(const std::wstring& target)
{
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &credential))
        return failure(GetLastError());
    Answer answer{Result::Ok, {}, {}};
    // Another program may have written it: an odd size is no UTF-16, and one terminating NUL is not part of it.
    const DWORD bytes = credential->CredentialBlob ? credential->CredentialBlobSize : 0;
    if (bytes % 2) {
        answer = {Result::Error, {}, QStringLiteral("the stored password is not UTF-16 text")};
    } else {
        const auto* text = reinterpret_cast<const char16_t*>(credential->CredentialBlob);
        qsizetype length = qsizetype(bytes / 2);
        if (length > 0 && text[length - 1] == u'\0')
            --length;
        answer.secret = QString::fromUtf16(text, length);
    }
    if (bytes)
        SecureZeroMemory(credential->CredentialBlob, bytes);
    CredFree(credential);
    return answer;
}

Answer writeNow(const std::wstring& target, const QString& secret)
{
    std::u16string blob(reinterpret_cast<const char16_t*>(secret.utf16()), size_t(secret.size()));
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(target.c_str());
    credential.CredentialBlobSize = DWORD(blob.size() * sizeof(char16_t));
    credential.CredentialBlob = blob.empty() ? nullptr : reinterpret_cast<BYTE*>(blob.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    const bool written = CredWriteW(&credential, 0);
    const DWORD code = written ? ERROR_SUCCESS : GetLastError();
    SecureZeroMemory(blob.data(), blob.size() * sizeof(char16_t));
    return written ? Answer{Result::Ok, {}, {}} : failure(code);
}

Answer removeNow(const std::wstring& target)
{
    if (!CredDeleteW(target.c_str(), CRED_TYPE_GENERIC, 0))
        return failure(GetLastError());
    return {Result::Ok, {}, {}};
}

} // namespace

SecretStore::SecretStore(QString service, QString key, QObject* parent)
    : QObject(parent), m_service(std::move(service)), m_key(std::move(key))
{
}

QString SecretStore::storeName()
{
    return QStringLiteral("Credential Manager");
}

bool SecretStore::reachable(QString*)
{
    return true; // part of every Windows logon; a session without one answers NoStore
}

namespace {
void answerLater(SecretStore* store, Answer answer, SecretStore::Done done)
{
    QTimer::singleShot(0, store, [answer = std::move(answer), done = std::move(done)] { done(answer); });
}
std::wstring targetOf(const QString& service, const QString& key)
{
    return (service + u'/' + key).toStdWString();
}
} // namespace

void SecretStore::read(Done done)
{
    answerLater(this, readNow(targetOf(m_service, m_key)), std::move(done));
}

void SecretStore::write(const QString& secret, Done done)
{
    answerLater(this, writeNow(targetOf(m_service, m_key), secret), std::move(done));
}

void SecretStore::remove(Done done)
{
    answerLater(this, removeNow(targetOf(m_service, m_key)), std::move(done));
}
