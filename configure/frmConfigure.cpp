#include "configure/frmConfigure.h"

#include "configure/AddressSourcesPane.h"
#include "configure/KindTab.h"
#include "configure/NotifierTabs.h"
#include "configure/PlaceholderTools.h"
#include "configure/WebRequestsPane.h"
#include "core/NotifySettings.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/MailPresets.h"
#include "notify/NotificationHost.h"
#include "notify/Placeholders.h"
#include "notify/WebNotifier.h"
#include "platform/DisplayedUrl.h"
#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* explanation(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// Under a caption that names only some of them: every placeholder that the notification fills in.
QLabel* placeholderHint(const char* objectName, const QList<Placeholder>& placeholders)
{
    auto* label = named(
        explanation(
            QStringLiteral("Placeholders: %1 (IPv6: \"none\" when there is none).").arg(placeholderList(placeholders))),
        objectName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QComboBox* editableList(const char* objectName, const QStringList& entries)
{
    auto* box = named(new QComboBox, objectName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);  // a completion would store text the user never typed
    box->addItems(entries);
    return box;
}

// The text box holds "\n" between lines; the store and the mail hold CR LF.
QString bodyForStore(const QString& shown)
{
    QString text = shown;
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString bodyForDisplay(const QString& stored)
{
    QString text = stored;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QScrollArea* scrolling(QWidget* content)
{
    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

} // namespace

frmConfigure::frmConfigure(NotificationHost& host, Notifiers& notifiers, QWidget* parent)
    : QWidget(parent, Qt::Window), m_host(host), m_notifiers(notifiers), m_editor(host.settings(), host.notifySettings())
{
    setObjectName(QStringLiteral("frmConfigure"));
    setWindowTitle(QStringLiteral("Notification Configuration"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_editor.setPasswordStore(host.passwordStore());

    // The panes sit in tabs, each one scrolls: the dialog fits a small screen and may be resized freely.
    auto* tabs = named(new QTabWidget, "tabsConfigure");
    tabs->setDocumentMode(true);
    auto* notices = new QWidget;
    auto* noticesLayout = new QVBoxLayout(notices);
    noticesLayout->addWidget(buildProgramFrame());
    noticesLayout->addWidget(buildWebFrame());
    noticesLayout->addStretch(1);
    tabs->addTab(scrolling(buildEmailFrame()), QStringLiteral("&Email"));
    tabs->addTab(scrolling(notices), QStringLiteral("&Program and Web"));
    tabs->addTab(scrolling(new AddressSourcesPane(host.settings())), QStringLiteral("Address S&ources"));
    tabs->addTab(scrolling(new WebRequestsPane(host, notifiers, m_edits)), QStringLiteral("Web &Requests"));
    for (const KindTabDescription& tab : notifierTabs())
        tabs->addTab(scrolling(new KindTab(tab, host, notifiers, m_edits)), tab.tabText);
    txtStatus = named(new QLineEdit, "txtStatus");
    txtStatus->setReadOnly(true);
    txtStatus->setAccessibleName(QStringLiteral("Status"));
    txtStatus->setBackgroundRole(QPalette::Button);
    QPalette palette = txtStatus->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    txtStatus->setPalette(palette);
    // Every field is stored as it is edited (typing once it pauses): closing keeps what was typed, there is nothing
    // to apply.
    auto* buttons = named(new QDialogButtonBox(QDialogButtonBox::Close), "cmdClose");
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(txtStatus);
    layout->addWidget(buttons);
    fitScreen(parent);

    Form_Load();
    host.watchStatus(this, [this](const QString& text) { showStatus(text); });
    if (PasswordStore* passwords = host.passwordStore()) {
        connect(passwords, &PasswordStore::placeChanged, this, &frmConfigure::showPasswordPlace);
        // Opened before the keyring answered: the field shows the keyring's password once it is known.
        passwords->whenReady(this, [this, passwords] { txtPassword2->setText(passwords->password()); });
    }
}

frmConfigure::~frmConfigure()
{
    storeEdits(); // closed by its owner without a close event (a test, a shutdown)
}

void frmConfigure::storeEdits()
{
    m_edits.storeNow();
}

void frmConfigure::closeEvent(QCloseEvent* event)
{
    storeEdits();
    QWidget::closeEvent(event);
}

void frmConfigure::fitScreen(const QWidget* parent)
{
    // As large as the content asks, never larger than the screen the main window is on; the frame
    // and title bar take some room around the client area.
    const QScreen* shownOn = parent ? parent->screen() : screen();
    if (!shownOn)
        return;
    const QSize room = shownOn->availableGeometry().size() - QSize(16, 48);
    // A scroll area asks for little: room for the largest tab's whole content, when the screen has it.
    QSize content;
    for (const QScrollArea* area : findChildren<QScrollArea*>())
        content =
            content.expandedTo(area->widget()->sizeHint() + QSize(area->verticalScrollBar()->sizeHint().width(), 0));
    const QSize more = (content - findChild<QTabWidget*>()->currentWidget()->sizeHint()).expandedTo(QSize(0, 0));
    const QSize wanted = (sizeHint() + more).expandedTo(QSize(760, 560));
    resize(wanted.boundedTo(room));
}

void frmConfigure::showPasswordPlace()
{
    const PasswordStore* passwords = m_host.passwordStore();
    lblPasswordPlace->setText(passwords ? passwords->placeText()
                                        : QStringLiteral("Password kept in the settings"));
}

QWidget* frmConfigure::buildEmailFrame()
{
    auto* box = named(new QGroupBox(QStringLiteral("Email Notification")), "fraEmail");
    auto* grid = new QGridLayout(box);
    Combo3 = editableList("Combo3", mailPresetNames());
    Combo3->setMinimumWidth(230);
    lblPresetHint = named(new QLabel, "lblPresetHint");
    lblPresetHint->setWordWrap(true);
    lblPresetHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPresetHint->hide();
    txtPort = named(new QLineEdit, "txtPort");
    txtPort->setToolTip(QStringLiteral("Usually 25 or 1025"));
    txtPort->setMaximumWidth(70);
    txtEmailTo = named(new QLineEdit, "txtEmailTo");
    txtEmailFrom = named(new QLineEdit, "txtEmailFrom");
    txtUsername = named(new QLineEdit, "txtUsername");
    txtPassword2 = named(new QLineEdit, "txtPassword2");
    txtPassword2->setEchoMode(QLineEdit::Password);
    txtPassword2->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"
    chkAuth = named(new QCheckBox(QStringLiteral("Use Authentication")), "chkAuth");
    cboSecurity = named(new QComboBox, "cboSecurity");
    // In the order of MailSecurity.
    cboSecurity->addItems({QStringLiteral("None"), QStringLiteral("STARTTLS (port 587)"),
                           QStringLiteral("TLS (port 465)"), QStringLiteral("SSL 2.0 (legacy)")});
    lblPasswordNote =
        named(new QLabel(QStringLiteral("Without security the password travels readable.")), "lblPasswordNote");
    lblPasswordNote->setWordWrap(true);
    QSizePolicy keepRoom = lblPasswordNote->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true); // the window keeps its size whichever security is chosen
    lblPasswordNote->setSizePolicy(keepRoom);
    lblPasswordPlace = named(new QLabel, "lblPasswordPlace");
    lblPasswordPlace->setWordWrap(true);
    txtTrustedCertificates = named(new QLineEdit, "txtTrustedCertificates");
    txtTrustedCertificates->setPlaceholderText(QStringLiteral("only for a server with its own CA"));
    txtTrustedCertificates->setToolTip(
        QStringLiteral("A PEM file of certificates to trust for mail besides the system's, for a self-hosted server"));
    cmdCertificates = named(new QPushButton(QStringLiteral("Browse...")), "cmdCertificates");
    cmdCertificates->setAccessibleName(QStringLiteral("Choose trusted certificates"));
    Combo2 = editableList("Combo2", {QStringLiteral("UUEncode"), QStringLiteral("MIME")});
    chkAttachment = named(new QCheckBox(QStringLiteral("Send as Attachment")), "chkAttachment");
    // The body box's caption is long: the check box carries it as its name, a wrapped label shows it.
    const QString bodyText = QStringLiteral(
        "Use this as the email body, replacing $Internal$ and $External$ with my actual Internal or External IP "
        "Address:");
    chkBody = named(new QCheckBox, "chkBody");
    chkBody->setAccessibleName(bodyText);
    auto* bodyLabel = named(new QLabel(bodyText), "lblBody");
    bodyLabel->setWordWrap(true);
    bodyLabel->setBuddy(chkBody);
    auto* bodyCaption = new QHBoxLayout;
    bodyCaption->addWidget(chkBody, 0, Qt::AlignTop);
    bodyCaption->addWidget(bodyLabel, 1);
    txtBody = named(new QPlainTextEdit, "txtBody");
    txtBody->setAccessibleName(bodyText);
    txtBody->setFixedHeight(90);
    cmdSend = named(new QPushButton(QStringLiteral("Send Test Message")), "cmdSend");

    int row = 0;
    grid->addWidget(buddyLabel(QStringLiteral("Mail Server:"), Combo3), row, 0);
    grid->addWidget(Combo3, row, 1);
    grid->addWidget(buddyLabel(QStringLiteral("Port:"), txtPort), row, 2);
    grid->addWidget(txtPort, row++, 3);
    grid->addWidget(lblPresetHint, row++, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("Email Address - To:"), txtEmailTo), row, 0);
    grid->addWidget(txtEmailTo, row++, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("Email Address - From:"), txtEmailFrom), row, 0);
    grid->addWidget(txtEmailFrom, row++, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("Security:"), cboSecurity), row, 0);
    grid->addWidget(cboSecurity, row, 1);
    grid->addWidget(chkAuth, row++, 2, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("Username:"), txtUsername), row, 0);
    grid->addWidget(txtUsername, row, 1);
    grid->addWidget(buddyLabel(QStringLiteral("Password:"), txtPassword2), row, 2);
    grid->addWidget(txtPassword2, row++, 3);
    grid->addWidget(lblPasswordNote, row++, 2, 1, 2);
    grid->addWidget(lblPasswordPlace, row++, 2, 1, 2);
    auto* certificates = new QHBoxLayout;
    certificates->addWidget(txtTrustedCertificates, 1);
    certificates->addWidget(cmdCertificates);
    grid->addWidget(buddyLabel(QStringLiteral("Trusted certificates:"), txtTrustedCertificates), row, 0);
    grid->addLayout(certificates, row++, 1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("Encoding:"), Combo2), row, 0);
    grid->addWidget(Combo2, row, 1);
    grid->addWidget(chkAttachment, row++, 2, 1, 2);
    grid->addLayout(bodyCaption, row++, 0, 1, 4);
    grid->addWidget(placeholderHint("lblBodyPlaceholders", programPlaceholders()), row++, 0, 1, 4);
    grid->addLayout(withButtons(txtBody, {placeholderButton("cmdBodyPlaceholder", programPlaceholders(), txtBody)}),
                    row++, 0, 1, 4);
    lblBodyPreview = previewLabel("lblBodyPreview");
    grid->addWidget(lblBodyPreview, row++, 0, 1, 4);
    grid->addWidget(cmdSend, row++, 0, 1, 4, Qt::AlignRight);

    editText(txtPort, NotifySettingsEditor::Text::Port);
    editText(txtEmailTo, NotifySettingsEditor::Text::EmailTo);
    editText(txtEmailFrom, NotifySettingsEditor::Text::EmailFrom);
    editText(txtUsername, NotifySettingsEditor::Text::Username);
    editText(txtPassword2, NotifySettingsEditor::Text::Password);
    editFlag(chkAuth, NotifySettingsEditor::Flag::Auth);
    editText(txtTrustedCertificates, NotifySettingsEditor::Text::TrustedCertificates);
    connect(cboSecurity, &QComboBox::activated, this, &frmConfigure::cboSecurity_Click);
    connect(cmdCertificates, &QPushButton::clicked, this, &frmConfigure::cmdCertificates_Click);
    editFlag(chkBody, NotifySettingsEditor::Flag::Body);
    editText(Combo3->lineEdit(), NotifySettingsEditor::Text::Server);
    connect(Combo3, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (text != m_hintServer)
            lblPresetHint->hide(); // another server: the provider's hint no longer applies
    });
    connect(Combo3, &QComboBox::activated, this, &frmConfigure::Combo3_Click);
    editText(Combo2->lineEdit(), NotifySettingsEditor::Text::Encoding);
    connect(txtBody, &QPlainTextEdit::textChanged, this, [this] {
        m_edits.defer(txtBody, [this] {
            m_editor.setText(NotifySettingsEditor::Text::Body, bodyForStore(txtBody->toPlainText()));
            showPreviews();
        });
    });
    connect(cmdSend, &QPushButton::clicked, this, &frmConfigure::cmdSend_Click);
    return box;
}

QWidget* frmConfigure::buildProgramFrame()
{
    auto* box = named(new QGroupBox(QStringLiteral("Program Notification")), "fraProgram");
    auto* grid = new QGridLayout(box);
    Text3 = named(new QLineEdit, "Text3");
    Text2 = named(new QLineEdit, "Text2");
    Command2 = named(new QPushButton(QStringLiteral("Test Now")), "Command2");
    Command2->setAccessibleDescription(QStringLiteral("Program Notification"));
    grid->addWidget(explanation(QStringLiteral(
                        "Launch the following file, sending it the following command line arguments, replacing "
                        "$Internal$ and $External$ with my actual Internal or External IP Address")),
                    0, 0, 1, 2);
    grid->addWidget(placeholderHint("lblProgramPlaceholders", programPlaceholders()), 1, 0, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("File Path:"), Text3), 2, 0);
    auto* browse = named(new QPushButton(QStringLiteral("Bro&wse...")), "cmdProgram");
    browse->setAccessibleName(QStringLiteral("Choose the program"));
    connect(browse, &QPushButton::clicked, this, &frmConfigure::cmdProgram_Click);
    grid->addLayout(withButtons(Text3, {browse}), 2, 1);
    grid->addWidget(buddyLabel(QStringLiteral("Arguments:"), Text2), 3, 0);
    grid->addLayout(withButtons(Text2, {placeholderButton("cmdProgramPlaceholder", programPlaceholders(), Text2)}), 3,
                    1);
    lblProgramPreview = previewLabel("lblProgramPreview");
    grid->addWidget(lblProgramPreview, 4, 0, 1, 2);
    grid->addWidget(Command2, 5, 0, 1, 2, Qt::AlignRight);
    grid->setRowStretch(6, 1);
    editText(Text3, NotifySettingsEditor::Text::Program);
    editText(Text2, NotifySettingsEditor::Text::Arguments);
    connect(Command2, &QPushButton::clicked, this, &frmConfigure::Command2_Click);
    return box;
}

QWidget* frmConfigure::buildWebFrame()
{
    auto* box = named(new QGroupBox(QStringLiteral("Web Notification")), "fraWeb");
    auto* grid = new QGridLayout(box);
    Text1 = named(new QLineEdit, "Text1");
    Command3 = named(new QPushButton(QStringLiteral("Test Now")), "Command3");
    Command3->setAccessibleDescription(QStringLiteral("Web Notification"));
    grid->addWidget(explanation(QStringLiteral("Hit the following URL, replacing any instance of $Internal$ and "
                                               "$External$ with my actual Internal or External IP Address:")),
                    0, 0, 1, 2);
    grid->addWidget(placeholderHint("lblUrlPlaceholders", urlPlaceholders()), 1, 0, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("URL:"), Text1), 2, 0);
    grid->addLayout(withButtons(Text1, {placeholderButton("cmdUrlPlaceholder", urlPlaceholders(), Text1)}), 2, 1);
    lblUrlPreview = previewLabel("lblUrlPreview");
    grid->addWidget(lblUrlPreview, 3, 0, 1, 2);
    grid->addWidget(Command3, 4, 0, 1, 2, Qt::AlignRight);
    grid->setRowStretch(5, 1);
    editText(Text1, NotifySettingsEditor::Text::Url);
    connect(Command3, &QPushButton::clicked, this, &frmConfigure::Command3_Click);
    return box;
}

void frmConfigure::editText(QLineEdit* field, NotifySettingsEditor::Text which)
{
    // textChanged, not textEdited: an assignment by a preset is an edit like a keystroke.
    connect(field, &QLineEdit::textChanged, this, [this, field, which] {
        m_edits.defer(field, [this, field, which] {
            m_editor.setText(which, field->text());
            showPreviews();
        });
    });
}

void frmConfigure::editFlag(QCheckBox* box, NotifySettingsEditor::Flag which)
{
    connect(box, &QCheckBox::toggled, this, [this, which](bool on) {
        m_edits.storeNow([this, which, on] {
            m_editor.setFlag(which, on);
            showPreviews();
        });
    });
}

void frmConfigure::Form_Load()
{
    const NotifySettings& values = m_host.notifySettings();
    // Copies first: each assignment below writes back through the field's own handler.
    NotifySettings shown = values;
    if (const PasswordStore* passwords = m_host.passwordStore())
        shown.password = passwords->password(); // the settings file, read again since, may hold none
    showPasswordPlace();
    Combo3->setEditText(shown.server);
    txtPort->setText(shown.port);
    txtEmailTo->setText(shown.emailTo);
    txtEmailFrom->setText(shown.emailFrom);
    txtUsername->setText(shown.username);
    txtPassword2->setText(shown.password);
    txtBody->setPlainText(bodyForDisplay(shown.body));
    chkAuth->setChecked(shown.useAuth);
    showSecurity(shown.security);
    txtTrustedCertificates->setText(shown.trustedCertificates);
    chkBody->setChecked(shown.useBody);
    Combo2->setEditText(shown.encoding);
    Settings& settings = m_host.settings();
    const QString url = settings.read(Key::Url);
    const QString program = settings.read(Key::Program);
    const QString arguments = settings.read(Key::Arguments);
    Text1->setText(url);
    Text3->setText(program);
    Text2->setText(arguments);
    chkAttachment->setChecked(false);
    storeEdits();
    showStatus(m_host.status());
}

void frmConfigure::Combo3_Click(int index)
{
    const std::optional<MailPreset> preset = mailPresetFor(Combo3->itemText(index));
    if (!preset)
        return;
    // Only what the provider decides, each one an edit of its field; the account is the user's to type.
    m_hintServer = preset->server;
    Combo3->setEditText(preset->server);
    txtPort->setText(preset->port);
    chkAuth->setChecked(true); // every provider in the list wants a login
    showSecurity(preset->security);
    m_edits.storeNow([this, security = preset->security] { m_editor.setSecurity(security); });
    lblPresetHint->setText(preset->hint);
    lblPresetHint->show();
}

QString frmConfigure::usualPort(MailSecurity security)
{
    switch (security) {
    case MailSecurity::None:
        return QStringLiteral("25");
    case MailSecurity::StartTls:
        return QStringLiteral("587");
    case MailSecurity::Tls:
    case MailSecurity::Ssl2:
        return QStringLiteral("465");
    }
    return QStringLiteral("25");
}

void frmConfigure::showSecurity(MailSecurity security)
{
    cboSecurity->setCurrentIndex(int(security));
    lblPasswordNote->setVisible(security == MailSecurity::None);
}

void frmConfigure::cboSecurity_Click(int index)
{
    if (index < 0 || index > int(MailSecurity::Ssl2))
        return;
    const auto security = MailSecurity(index);
    // A port the user typed stays; one that is merely another choice's usual port follows the choice.
    const QString port = txtPort->text().trimmed();
    const QStringList usual{usualPort(MailSecurity::None), usualPort(MailSecurity::StartTls),
                            usualPort(MailSecurity::Tls)};
    if (port.isEmpty() || usual.contains(port))
        txtPort->setText(usualPort(security));
    showSecurity(security);
    m_edits.storeNow([this, security] { m_editor.setSecurity(security); });
}

void frmConfigure::cmdCertificates_Click()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Trusted certificates for mail"),
                                                      txtTrustedCertificates->text(),
                                                      QStringLiteral("PEM certificates (*.pem *.crt);;All files (*)"));
    if (!path.isEmpty())
        txtTrustedCertificates->setText(path);
    storeEdits();
}

void frmConfigure::cmdProgram_Click()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Program to start"), Text3->text());
    if (!path.isEmpty())
        Text3->setText(path);
    storeEdits();
}

void frmConfigure::showPreviews()
{
    if (!lblUrlPreview || !lblProgramPreview || !lblBodyPreview)
        return; // still being built
    const NotificationPreviews previews = notificationPreviews(m_host);
    lblUrlPreview->setText(previews.url.isEmpty() ? QString() : QStringLiteral("Requests: ") + previews.url);
    lblProgramPreview->setText(previews.commandLine.isEmpty() ? QString()
                                                              : QStringLiteral("Starts: ") + previews.commandLine);
    lblBodyPreview->setText(QStringLiteral("The mail body as sent now:\n") + previews.mailBody);
}

void frmConfigure::showStatus(const QString& text)
{
    showPreviews(); // the addresses may have changed with it
    if (txtStatus->text() != text)
        txtStatus->setText(text);
}

void frmConfigure::cmdSend_Click()
{
    storeEdits(); // each test sends what its fields show
    m_notifiers.test(Notifiers::Kind::Mail, 0, {});
}

void frmConfigure::Command2_Click()
{
    storeEdits();
    m_notifiers.test(Notifiers::Kind::Program, 0, {});
}

void frmConfigure::Command3_Click()
{
    storeEdits();
    if (m_host.notifySettings().url.isEmpty())
        return m_notifiers.test(Notifiers::Kind::Web, 0, {});
    // The outcome names the URL as it was requested, addresses filled in, secrets masked.
    const QString requested = displayedUrl(webNotificationUrl(m_host));
    m_notifiers.test(
        Notifiers::Kind::Web, 0, [self = QPointer<frmConfigure>(this), requested](const NotificationResult& result) {
            if (self)
                self->m_host.setStatus(result.message + QStringLiteral(" (requested ") + requested + u')');
        });
}
