// The configuration dialog on the offscreen platform: every keystroke stored, the provider presets,
// reopening, the test buttons and the status mirror.
#include "TestNotificationHost.h"
#include "app/Form1Hooks.h"
#include "notify/frmConfigure.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

// What the buttons ask of the main window, in order.
struct RecordingHooks : NotificationHooks
{
    QStringList calls;
    void cmdSend_Click() override { calls << QStringLiteral("mail"); }
    void doHitURL() override { calls << QStringLiteral("web"); }
    void doLauchProg() override { calls << QStringLiteral("program"); }
    void showConfiguration() override {}
    void unload() override {}
};

} // namespace

class TestFrmConfigure : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void opensWithTheCurrentValues();
    void typingStoresEveryKeystroke();
    void emptiedPortStaysEmpty();
    void checkBoxesStoreTheirFlag();
    void presets_data();
    void presets();
    void presetsOneAfterAnother();
    void typedProviderNameIsNoPreset();
    void attachmentBoxWritesNothing();
    void editsSurviveReopening();
    void testButtons();
    void statusMirror();

private:
    template <typename W> W* child(const char* name)
    {
        W* w = m_dialog->findChild<W*>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QString stored(const char* key) { return m_host->settings().read(QLatin1String(key), QStringLiteral("<absent>")); }
    void open();
    void choose(QComboBox* box, const QString& entry);

    std::unique_ptr<TestNotificationHost> m_host;
    RecordingHooks m_hooks;
    QPointer<frmConfigure> m_dialog;
};

void TestFrmConfigure::init()
{
    m_host = std::make_unique<TestNotificationHost>();
    m_hooks.calls.clear();
}

void TestFrmConfigure::cleanup()
{
    delete m_dialog.data();
    m_host.reset();
}

void TestFrmConfigure::open()
{
    delete m_dialog.data();
    m_dialog = new frmConfigure(*m_host, m_hooks);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
}

void TestFrmConfigure::choose(QComboBox* box, const QString& entry)
{
    // As a user does: open the list and click the entry.
    box->showPopup();
    QAbstractItemView* view = box->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex index = view->model()->index(box->findText(entry), 0);
    QVERIFY(index.isValid());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTRY_VERIFY(!view->isVisible());
}

void TestFrmConfigure::opensWithTheCurrentValues()
{
    NotifySettings& v = m_host->notifySettings();
    v.server = QStringLiteral("mail.example.org");
    v.port = QStringLiteral("2525");
    v.emailTo = QStringLiteral("to@example.org");
    v.emailFrom = QStringLiteral("from@example.org");
    v.username = QStringLiteral("user");
    v.password = QStringLiteral("pw");
    v.body = QStringLiteral("a\r\nb");
    v.useAuth = true;
    v.useBody = true;
    v.encoding = QStringLiteral("UUEncode");
    m_host->settings().write(QStringLiteral("strurl"), QStringLiteral("http://127.0.0.1/hook/"));
    m_host->settings().write(QStringLiteral("strProg"), QStringLiteral("/bin/true"));
    open();
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Notification Configuration"));
    QCOMPARE(child<QComboBox>("Combo3")->currentText(), v.server);
    QCOMPARE(child<QLineEdit>("txtPort")->text(), QStringLiteral("2525"));
    QCOMPARE(child<QLineEdit>("txtPort")->toolTip(), QStringLiteral("Usually 25 or 1025"));
    QCOMPARE(child<QLineEdit>("txtEmailTo")->text(), v.emailTo);
    QCOMPARE(child<QLineEdit>("txtEmailFrom")->text(), v.emailFrom);
    QCOMPARE(child<QLineEdit>("txtUsername")->text(), v.username);
    QCOMPARE(child<QLineEdit>("txtPassword2")->text(), v.password);
    QCOMPARE(child<QLineEdit>("txtPassword2")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QPlainTextEdit>("txtBody")->toPlainText(), QStringLiteral("a\nb"));
    QVERIFY(child<QCheckBox>("chkAuth")->isChecked());
    QCOMPARE(child<QComboBox>("cboSecurity")->currentIndex(), int(MailSecurity::None));
    QVERIFY(child<QCheckBox>("chkBody")->isChecked());
    QVERIFY(!child<QCheckBox>("chkAttachment")->isChecked());
    QCOMPARE(child<QComboBox>("Combo2")->currentText(), QStringLiteral("UUEncode"));
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("http://127.0.0.1/hook/"));
    QCOMPARE(child<QLineEdit>("Text3")->text(), QStringLiteral("/bin/true"));
    QCOMPARE(child<QLineEdit>("Text2")->text(), QString());
    // Opening wrote back what it showed, never anything else: the body keeps its CR LF.
    QCOMPARE(m_host->notifySettings().body, QStringLiteral("a\r\nb"));
    QCOMPARE(m_host->notifySettings().username, QStringLiteral("user"));
    // Not resizable.
    QCOMPARE(m_dialog->minimumSize(), m_dialog->maximumSize());
}

void TestFrmConfigure::typingStoresEveryKeystroke()
{
    open();
    struct Field
    {
        QWidget* widget;
        const char* key;
        QString NotifySettings::*member;
    };
    QLineEdit* server = child<QComboBox>("Combo3")->lineEdit();
    const QList<Field> fields{
        {server, "strServer", &NotifySettings::server},
        {child<QLineEdit>("txtPort"), "strPort", &NotifySettings::port},
        {child<QLineEdit>("txtEmailTo"), "strEmailTo", &NotifySettings::emailTo},
        {child<QLineEdit>("txtEmailFrom"), "strEmailFrom", &NotifySettings::emailFrom},
        {child<QLineEdit>("txtUsername"), "strUsername", &NotifySettings::username},
        {child<QLineEdit>("txtPassword2"), "strPassword", &NotifySettings::password},
        {child<QComboBox>("Combo2")->lineEdit(), "strEncoding", &NotifySettings::encoding},
        {child<QLineEdit>("Text1"), "strurl", &NotifySettings::url},
        {child<QLineEdit>("Text3"), "strProg", &NotifySettings::program},
        {child<QLineEdit>("Text2"), "strCommands", &NotifySettings::arguments},
    };
    for (const Field& f : fields) {
        auto* edit = qobject_cast<QLineEdit*>(f.widget);
        edit->clear();
        edit->setFocus();
        QString typed;
        for (const QChar c : QStringLiteral("smtp")) {
            QTest::keyClick(edit, c.toLatin1());
            typed += c;
            QCOMPARE(stored(f.key), typed);
            QCOMPARE(m_host->notifySettings().*f.member, typed);
        }
    }
    // The user name is the user name field's own text, never the sender's.
    child<QLineEdit>("txtEmailFrom")->setText(QStringLiteral("sender@example.org"));
    QCOMPARE(m_host->notifySettings().username, QStringLiteral("smtp"));

    auto* body = child<QPlainTextEdit>("txtBody");
    body->setFocus();
    body->selectAll();
    QTest::keyClicks(body, QStringLiteral("a"));
    QTest::keyClick(body, Qt::Key_Return);
    QTest::keyClicks(body, QStringLiteral("b"));
    QCOMPARE(stored("txtBody"), QStringLiteral("a\r\nb"));
    QCOMPARE(m_host->notifySettings().body, QStringLiteral("a\r\nb"));
}

void TestFrmConfigure::emptiedPortStaysEmpty()
{
    open();
    auto* port = child<QLineEdit>("txtPort");
    QCOMPARE(port->text(), QStringLiteral("25"));
    port->setFocus();
    port->selectAll();
    QTest::keyClick(port, Qt::Key_Delete);
    QCOMPARE(stored("strPort"), QString());
    QCOMPARE(m_host->notifySettings().port, QString());
    NotifySettings reloaded;
    LoadNotifySettings(m_host->settings(), reloaded);
    QCOMPARE(reloaded.port, QString());
}

void TestFrmConfigure::checkBoxesStoreTheirFlag()
{
    open();
    const QList<std::pair<const char*, bool NotifySettings::*>> boxes{
        {"chkAuth", &NotifySettings::useAuth}, {"chkBody", &NotifySettings::useBody}};
    for (const auto& [name, member] : boxes) {
        auto* box = child<QCheckBox>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QCOMPARE(stored(name), QStringLiteral("1"));
        QVERIFY(m_host->notifySettings().*member);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QCOMPARE(stored(name), QStringLiteral("0"));
        QVERIFY(!(m_host->notifySettings().*member));
    }
}

void TestFrmConfigure::presets_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("username");
    QTest::addColumn<int>("security");
    QTest::newRow("Gmail") << "Gmail" << "smtp.gmail.com" << "587" << "ACCOUNT@gmail.com" << "ACCOUNT@gmail.com"
                           << int(MailSecurity::StartTls);
    QTest::newRow("Yahoo") << "Yahoo" << "smtp.mail.yahoo.com" << "465" << "ACCOUNT@yahoo.com" << "ACCOUNT@yahoo.com"
                           << int(MailSecurity::Tls);
    QTest::newRow("Lycos") << "Lycos" << "smtp.mail.lycos.com" << "25" << "ACCOUNT@lycos.com" << "ACCOUNT@lycos.com"
                           << int(MailSecurity::None);
    QTest::newRow("AOL") << "AOL" << "smtp.aol.com" << "25" << "ACCOUNT@aol.com" << "ACCOUNT" << int(MailSecurity::None);
}

void TestFrmConfigure::presets()
{
    QFETCH(QString, entry);
    QFETCH(QString, server);
    QFETCH(QString, port);
    QFETCH(QString, address);
    QFETCH(QString, username);
    QFETCH(int, security);
    open();
    child<QLineEdit>("txtPassword2")->setText(QStringLiteral("typed secret"));
    child<QComboBox>("Combo2")->setEditText(QStringLiteral("UUEncode"));
    child<QCheckBox>("chkAttachment")->setChecked(true);
    choose(child<QComboBox>("Combo3"), entry);

    QCOMPARE(child<QComboBox>("Combo3")->currentText(), server);
    const NotifySettings& v = m_host->notifySettings();
    const QList<std::tuple<const char*, QString, QString>> expected{
        {"strServer", server, v.server},       {"strPort", port, v.port},
        {"strEmailFrom", address, v.emailFrom}, {"strEmailTo", address, v.emailTo},
        {"strUsername", username, v.username}, {"strPassword", QString(), v.password},
        {"strEncoding", QStringLiteral("MIME"), v.encoding}};
    for (const auto& [key, value, inMemory] : expected) {
        QCOMPARE(stored(key), value);
        QCOMPARE(inMemory, value);
    }
    QCOMPARE(stored("chkAuth"), QStringLiteral("1"));
    QVERIFY(v.useAuth);
    QCOMPARE(child<QComboBox>("cboSecurity")->currentIndex(), security);
    QCOMPARE(int(v.security), security);
    QVERIFY(!child<QCheckBox>("chkAttachment")->isChecked());
}

void TestFrmConfigure::presetsOneAfterAnother()
{
    open();
    choose(child<QComboBox>("Combo3"), QStringLiteral("Gmail"));
    QCOMPARE(stored("strPort"), QStringLiteral("587"));
    QCOMPARE(stored("mailSecurity"), QStringLiteral("starttls"));
    choose(child<QComboBox>("Combo3"), QStringLiteral("AOL"));
    QCOMPARE(stored("strPort"), QStringLiteral("25"));
    QCOMPARE(stored("mailSecurity"), QStringLiteral("none"));
    QVERIFY(m_host->notifySettings().security == MailSecurity::None);
}

void TestFrmConfigure::typedProviderNameIsNoPreset()
{
    open();
    QLineEdit* server = child<QComboBox>("Combo3")->lineEdit();
    server->setFocus();
    server->selectAll();
    QTest::keyClicks(server, QStringLiteral("Gmail"));
    QTest::keyClick(server, Qt::Key_Return);
    QCOMPARE(stored("strServer"), QStringLiteral("Gmail"));
    QCOMPARE(child<QLineEdit>("txtPort")->text(), QStringLiteral("25"));
    QCOMPARE(stored("strPort"), QStringLiteral("25"));
    QCOMPARE(child<QComboBox>("cboSecurity")->currentIndex(), int(MailSecurity::None));
}

void TestFrmConfigure::attachmentBoxWritesNothing()
{
    open();
    QFile file(m_host->settings().path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    auto* box = child<QCheckBox>("chkAttachment");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QVERIFY(box->isChecked());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestFrmConfigure::editsSurviveReopening()
{
    open();
    child<QPlainTextEdit>("txtBody")->setPlainText(QStringLiteral("edited\nbody $Internal$"));
    choose(child<QComboBox>("Combo2"), QStringLiteral("UUEncode"));
    m_dialog->close();  // the close box discards the window
    QTRY_VERIFY(m_dialog.isNull());
    open();
    QCOMPARE(child<QPlainTextEdit>("txtBody")->toPlainText(), QStringLiteral("edited\nbody $Internal$"));
    QCOMPARE(child<QComboBox>("Combo2")->currentText(), QStringLiteral("UUEncode"));
    QCOMPARE(m_host->notifySettings().body, QStringLiteral("edited\r\nbody $Internal$"));
    QCOMPARE(stored("strEncoding"), QStringLiteral("UUEncode"));
}

void TestFrmConfigure::testButtons()
{
    open();
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("cmdSend"), Qt::LeftButton);
    QCOMPARE(m_hooks.calls, (QStringList{"web", "program", "mail"}));
    QCOMPARE(child<QPushButton>("cmdSend")->text(), QStringLiteral("Send Test Message"));
    QCOMPARE(child<QPushButton>("Command2")->text(), QStringLiteral("Test Now"));
}

void TestFrmConfigure::statusMirror()
{
    open();
    auto* status = child<QLineEdit>("txtStatus");
    for (const QString& text : {QStringLiteral("Sending Mail FROM"), QStringLiteral("Message Sent")}) {
        m_host->setStatus(text);
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), text, 1000);
        QVERIFY2(clock.elapsed() <= 400, qPrintable(QString::number(clock.elapsed())));
    }
}

QTEST_MAIN(TestFrmConfigure)
#include "tst_frmconfigure.moc"
