#include "../notify/TestNotificationHost.h"
#include "StoreView.h"
#include "configure/frmConfigure.h"
#include "core/Notifiers.h"
#include "keyring/PasswordStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace {
const QString Service = StoreView::service();
// A store whose password reaches @p values, as the program's wiring connects it.
std::unique_ptr<PasswordStore> storeFor(Settings& settings, NotifySettings& values)
{
    auto store = std::make_unique<PasswordStore>(Service, settings);
    QObject::connect(store.get(), &PasswordStore::passwordKnown, [&values](const QString& p) { values.password = p; });
    return store;
}

struct KeyringHost : TestNotificationHost
{
    std::unique_ptr<PasswordStore> store = storeFor(settings(), notifySettings());
    PasswordStore* passwordStore() override { return store.get(); }
};

struct NoNotifiers : Notifiers
{
    void notify(Kind, Done) override {}
    void abort() override {}
};
} // namespace

class TestPasswordStore : public QObject
{
    Q_OBJECT
private slots:
    void cleanupTestCase() { StoreView::clear(); }
    void keepsPasswordInKeyring();
    void keepsFileCopyWhenKeyringRefuses();
    void dialogSavesIntoKeyring();
    void lateKeyringTakesWhatWasTypedMeanwhile();

private:
    QString inFile() const { return m_settings.read("strPassword", "<absent>"); }
    TempConfigHome m_home;
    Settings m_settings{m_home.settingsPath()};
};

void TestPasswordStore::keepsPasswordInKeyring()
{
    m_home.writeSettingsFile("[Settings]\nstrPassword=from before\n");
    NotifySettings values;
    auto store = storeFor(m_settings, values);
    QString atMail;
    QStringList atMove;
    connect(store.get(), &PasswordStore::placeChanged, this, [&] { atMove << StoreView::held() << inFile(); });
    store->start();
    store->whenReady(this, [&] { atMail = values.password; }); // a mail asked for before the keyring answered
    QTRY_COMPARE(atMail, QStringLiteral("from before"));
    QTRY_COMPARE(store->place(), PasswordStore::Place::Keyring);
    QCOMPARE(atMove, (QStringList{"from before", ""}));

    for (const char* typed : {"t", "ty", "typed"}) // keystrokes: only the newest needs to arrive
        store->save(QLatin1String(typed));
    QCOMPARE(values.password, QStringLiteral("typed"));
    QTRY_COMPARE(StoreView::held(), QStringLiteral("typed"));
    QCOMPARE(inFile(), QString());

    store = storeFor(m_settings, values); // the next start
    values.password.clear();
    store->start();
    QTRY_VERIFY(store->isReady());
    QCOMPARE(values.password, QStringLiteral("typed"));
    QCOMPARE(store->placeText(), QStringLiteral("The password is kept in the ") + StoreView::name());
}

void TestPasswordStore::keepsFileCopyWhenKeyringRefuses()
{
    if (qEnvironmentVariableIsEmpty("KEYRING_MODE"))
        QSKIP("needs a store that refuses or hangs: under_keyring.sh's modes");
    m_home.writeSettingsFile("[Settings]\nstrPassword=from before\n");
    NotifySettings values;
    const auto owned = storeFor(m_settings, values);
    PasswordStore& store = *owned;
    QStringList notices;
    connect(&store, &PasswordStore::notice, this, [&](const QString& text) { notices << text; });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(store.placeText().isEmpty()); // nothing asked yet, nothing to say
    store.start();
    const bool hung = qgetenv("KEYRING_MODE") == "hung";
    if (hung) { // as while the keyring asks its user: the time-out goes on, a password typed meanwhile waits in memory
        QTRY_VERIFY_WITH_TIMEOUT(store.isReady(), PasswordStore::AnswerTimeoutMs + 1000);
        QCOMPARE(values.password, QStringLiteral("from before"));
        store.save(QStringLiteral("typed"));
        QCOMPARE(values.password, QStringLiteral("typed"));
        QCOMPARE(inFile(), QStringLiteral("from before"));
        QCOMPARE(notices, QStringList{"Mail password kept in memory until the " + StoreView::name() + " answers"});
    }
    // The late answer (D-Bus gives up on the call after 25 s) refuses: then the settings keep it.
    QTRY_COMPARE_WITH_TIMEOUT(store.place(), PasswordStore::Place::File, hung ? 30000 : 5000);
    // A refusal is an answer, not a wait: only a keyring that never answers costs the store's time-out.
    QCOMPARE(clock.elapsed() >= PasswordStore::AnswerTimeoutMs / 2, hung);
    QVERIFY(store.isReady());
    QCOMPARE(values.password, QLatin1String(hung ? "typed" : "from before"));
    QCOMPARE(inFile(), values.password);
    store.save(QStringLiteral("typed"));
    QCOMPARE(inFile(), QStringLiteral("typed"));
    QCOMPARE(hung ? QString() : StoreView::held(), QString());
    QCOMPARE(store.placeText(), QStringLiteral("The password is kept in the settings, not in the ") + StoreView::name());
    QCOMPARE(notices.size(), hung ? 2 : 1);
    QVERIFY(!notices.last().contains(QLatin1String("before")) && !notices.last().contains(QLatin1String("typed")));
    if (hung)
        return; // its next start would wait for D-Bus to give up once more

    const auto nextOwned = storeFor(m_settings, values); // the next start: typed while the keyring is asked
    PasswordStore& next = *nextOwned;
    next.start();
    next.save(QStringLiteral("typed again"));
    QTRY_COMPARE_WITH_TIMEOUT(next.place(), PasswordStore::Place::File, PasswordStore::AnswerTimeoutMs + 5000);
    QCOMPARE(inFile(), QStringLiteral("typed again"));
}

void TestPasswordStore::dialogSavesIntoKeyring()
{
    StoreView::seed(QStringLiteral("seeded")); // by another program
    KeyringHost host;
    NoNotifiers notifiers;
    host.store->start();
    frmConfigure dialog(host, notifiers); // opened before the keyring answered
    dialog.show();
    auto* field = dialog.findChild<QLineEdit*>("txtPassword2");
    QTRY_COMPARE(field->text(), QStringLiteral("seeded"));
    QCOMPARE(dialog.findChild<QLabel*>("lblPasswordPlace")->text(),
             QStringLiteral("The password is kept in the ") + StoreView::name());
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("changed"));
    QTRY_COMPARE(StoreView::held(), QStringLiteral("changed"));
    QCOMPARE(host.settings().read("strPassword", "<absent>"), QStringLiteral("<absent>"));
}

void TestPasswordStore::lateKeyringTakesWhatWasTypedMeanwhile()
{
    if (qgetenv("KEYRING_MODE") != "slow")
        QSKIP("needs a keyring that answers late: under_keyring.sh's slow mode");
    m_home.writeSettingsFile("[Settings]\nstrPassword=from before\n");
    NotifySettings values;
    auto store = storeFor(m_settings, values);
    store->start();
    QTRY_VERIFY_WITH_TIMEOUT(store->isReady(), PasswordStore::AnswerTimeoutMs + 1000); // the time-out: goes on
    store->save(QStringLiteral("typed"));
    QCOMPARE(inFile(), QStringLiteral("from before"));
    QTRY_COMPARE_WITH_TIMEOUT(store->place(), PasswordStore::Place::Keyring, 20000);
    QCOMPARE(StoreView::held(), QStringLiteral("typed"));
    QCOMPARE(inFile(), QString());
    QCOMPARE(values.password, QStringLiteral("typed"));
}

QTEST_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
