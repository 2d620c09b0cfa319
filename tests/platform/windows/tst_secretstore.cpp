// The Credential Manager under Wine or Windows: each write checked through wincred.h directly (Wine has no
// cmdkey.exe), and credentials that another program wrote read back.
#include "platform/SecretStore.h"

#include <QRandomGenerator>
#include <QtTest>

#include <windows.h>

#include <wincred.h> // after windows.h, whose types it uses

using Result = SecretStore::Result;

class TestSecretStore : public QObject
{
    Q_OBJECT
private:
    // A target of this test's own, removed at the end.
    const QString m_service =
        QStringLiteral("Tarnwick IP Vistrel tests %1").arg(QRandomGenerator::global()->generate());
    const std::wstring m_target = (m_service + QStringLiteral("/mail password")).toStdWString();

    // Runs @p call and waits for its one answer, which must not come before the call returned.
    template <typename Call> static SecretStore::Answer answerOf(Call call)
    {
        int answers = 0;
        SecretStore::Answer answer{Result::Error, {}, QStringLiteral("no answer")};
        call([&](const SecretStore::Answer& given) {
            answer = given;
            ++answers;
        });
        if (answers != 0)
            return {Result::Error, {}, QStringLiteral("answered before the call returned")};
        if (!QTest::qWaitFor([&] { return answers > 0; }, 5000))
            return answer;
        QTest::qWait(10); // a second answer would come on the same turns
        return answers == 1 ? answer : SecretStore::Answer{Result::Error, {}, QStringLiteral("answered twice")};
    }
    SecretStore::Answer read() const
    {
        SecretStore store(m_service, QStringLiteral("mail password")); // a second instance: nothing is cached
        return answerOf([&](SecretStore::Done done) { store.read(std::move(done)); });
    }
    // The credential as the system holds it: its blob, its type and how long it persists.
    struct Held
    {
        QByteArray blob;
        DWORD type = 0, persist = 0;
    };
    std::optional<Held> held() const
    {
        PCREDENTIALW credential = nullptr;
        if (!CredReadW(m_target.c_str(), CRED_TYPE_GENERIC, 0, &credential))
            return std::nullopt;
        Held result{QByteArray(reinterpret_cast<const char*>(credential->CredentialBlob),
                               qsizetype(credential->CredentialBlobSize)),
                    credential->Type, credential->Persist};
        CredFree(credential);
        return result;
    }

private slots:
    void cleanupTestCase() { CredDeleteW(m_target.c_str(), CRED_TYPE_GENERIC, 0); }

    void writeReadRemove()
    {
        SecretStore store(m_service, QStringLiteral("mail password"));
        QCOMPARE(read().result, Result::NotFound);
        for (const QString& secret :
             {QStringLiteral("first"), QStringLiteral("Grüße, Zoë — 名前 \U0001F511"), QString()}) {
            const auto written = answerOf([&](SecretStore::Done done) { store.write(secret, std::move(done)); });
            QVERIFY2(written.result == Result::Ok, qPrintable(written.message));
            const auto system = held();
            QVERIFY(system);
            QCOMPARE(system->type, DWORD(CRED_TYPE_GENERIC));
            QCOMPARE(system->persist, DWORD(CRED_PERSIST_LOCAL_MACHINE));
            QCOMPARE(system->blob, QByteArray(reinterpret_cast<const char*>(secret.utf16()), secret.size() * 2));
            const auto again = read();
            QCOMPARE(again.result, Result::Ok);
            QCOMPARE(again.secret, secret);
        }
        QCOMPARE(answerOf([&](SecretStore::Done done) { store.remove(std::move(done)); }).result, Result::Ok);
        QVERIFY(!held());
        QCOMPARE(read().result, Result::NotFound);
        QCOMPARE(answerOf([&](SecretStore::Done done) { store.remove(std::move(done)); }).result, Result::NotFound);
    }

    void readsWhatOthersWrote_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<Result>("result");
        QTest::addColumn<QString>("secret");
        QTest::newRow("UTF-16LE") << QByteArray("p\0w\0", 4) << Result::Ok << QStringLiteral("pw");
        QTest::newRow("with its NUL") << QByteArray("p\0w\0\0\0", 6) << Result::Ok << QStringLiteral("pw");
        QTest::newRow("odd size") << QByteArray("pwd") << Result::Error << QString();
    }
    void readsWhatOthersWrote()
    {
        QFETCH(QByteArray, blob);
        QFETCH(Result, result);
        QFETCH(QString, secret);
        CREDENTIALW credential{};
        credential.Type = CRED_TYPE_GENERIC;
        credential.TargetName = const_cast<wchar_t*>(m_target.c_str());
        credential.CredentialBlobSize = DWORD(blob.size());
        credential.CredentialBlob = reinterpret_cast<BYTE*>(blob.data());
        credential.Persist = CRED_PERSIST_SESSION;
        QVERIFY(CredWriteW(&credential, 0));
        const auto answer = read();
        QCOMPARE(answer.result, result);
        QCOMPARE(answer.secret, secret);
        QVERIFY(!answer.message.contains(QLatin1String("pwd")));
    }
};

QTEST_GUILESS_MAIN(TestSecretStore)
#include "tst_secretstore.moc"
