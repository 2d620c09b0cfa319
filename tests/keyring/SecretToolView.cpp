// The Secret Service through its own command-line client, on the private bus of under_keyring.sh.
#include "StoreView.h"

#include "keyring/PasswordStore.h"

#include <QProcess>

QString StoreView::service()
{
    return QStringLiteral("Tarnwick IP Vistrel");
}

QString StoreView::name()
{
    return QStringLiteral("keyring");
}

QString StoreView::held()
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("server"), service(),
                                               QStringLiteral("user"), QLatin1String(PasswordStore::KeyringKey)});
    return tool.waitForFinished() ? QString::fromUtf8(tool.readAllStandardOutput()) : QStringLiteral("<hung>");
}

void StoreView::seed(const QString& password)
{
    // An entry as QtKeychain writes it.
    QProcess::execute(
        QStringLiteral("sh"),
        {QStringLiteral("-c"),
         QStringLiteral("printf %s \"$2\" | secret-tool store "
                        "--label=seed xdg:schema org.qt.keychain type plaintext server \"$0\" user \"$1\""),
         service(), QLatin1String(PasswordStore::KeyringKey), password});
}

void StoreView::clear() {} // the keyring goes with under_keyring.sh's temporary home
