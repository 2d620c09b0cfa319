#include "mainwindow/Form1.h"

#include "core/AddressSourceSettings.h"
#include "core/NotifierKinds.h"
#include "core/Settings.h"
#include "mainwindow/AddressFrame.h"
#include "mainwindow/ScreenFitArea.h"
#include "widgets/WidgetHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

// The DNS converter's answer field while it waits, and once answered: grey words in the empty field.
void showLookingUp(QLineEdit* answer)
{
    answer->clear();
    answer->setPlaceholderText(QStringLiteral("Looking up..."));
}

void showAnswer(QLineEdit* answer, const QString& text)
{
    answer->setText(text);
    answer->setPlaceholderText(text.isEmpty() ? QStringLiteral("not found") : QString());
}

QGroupBox* frame(const char* objectName, const QString& caption)
{
    auto* box = new QGroupBox(caption);
    box->setObjectName(QLatin1String(objectName));
    return box;
}

} // namespace

Form1::Form1(AddressWatcher& watcher, Settings& settings, QWidget* parent)
    : Form1(watcher, settings, Build::Now, parent)
{
}

Form1::Form1(AddressWatcher& watcher, Settings& settings, Build build, QWidget* parent)
    : QMainWindow(parent), m_watcher(watcher), m_settings(settings)
{
    setObjectName(QStringLiteral("Form1"));
    // Until the widgets exist, what the watcher says is kept by the watcher itself; build() shows it.
    connect(&m_watcher, &AddressWatcher::statusChanged, this, [this](const QString& text) {
        if (txtStatus)
            txtStatus->setText(text);
        emit statusChanged(text);
    });
    connect(&m_watcher, &AddressWatcher::lookupStarted, this, &Form1::lookupStarted);
    connect(&m_watcher, &AddressWatcher::lookupFinished, this, &Form1::lookupFinished);
    connect(&m_watcher, &AddressWatcher::addressesUpdated, this, [this] {
        if (m_addresses)
            showAddresses();
    });
    connect(&m_watcher, &AddressWatcher::stateChanged, this, [this](const WatchState& state) {
        if (m_addresses)
            m_addresses->showState(state);
    });
    connect(&m_watcher, &AddressWatcher::routerAnswered, this, [this] {
        if (m_addresses)
            m_addresses->showRouter(m_watcher.routerText());
    });
    if (build == Build::Now)
        this->build();
}

void Form1::build()
{
    if (m_addresses)
        return;
    buildWindow();
    m_addresses->showState(m_watcher.state());
    if (const QString router = m_watcher.routerText(); !router.isEmpty())
        m_addresses->showRouter(router);
    if (m_watcher.lookupsStarted() > 0) {
        showAddresses();
        txtStatus->setText(m_watcher.status());
    }
}

Form1::~Form1() = default;

// ---------------------------------------------------------------------------------------------
// Window

void Form1::buildWindow()
{
    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);
    m_addresses = new AddressFrame;
    grid->addWidget(m_addresses, 0, 0, 1, 2);
    grid->addWidget(buildDnsFrame(), 1, 0);
    grid->addWidget(buildProgramFrame(), 1, 1);
    grid->addWidget(buildWhoisFrame(), 2, 0);
    grid->addWidget(buildAutomationFrame(), 2, 1);
    grid->addWidget(buildNotificationFrame(), 3, 0, 1, 2);
    txtStatus = named(new QLineEdit, "txtStatus");
    txtStatus->setReadOnly(true);
    txtStatus->setAccessibleName(QStringLiteral("Status"));
    grid->addWidget(txtStatus, 4, 0, 1, 2);
    m_content = new ScreenFitArea(central);
    setCentralWidget(m_content);
    buildMenus();
    fitScreen();
    // Ctrl+C copies the external address, unless a text field has a selection to copy.
    auto* copy = new QShortcut(QKeySequence::Copy, this, m_addresses, &AddressFrame::copyFocusedOrExternal);
    copy->setObjectName(QStringLiteral("copyShortcut"));
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(this);
}

void Form1::fitScreen()
{
    // Before the window is shown its frame is not known: a title bar of two lines is allowed for.
    const QSize frame = windowHandle() && isVisible() ? frameGeometry().size() - geometry().size()
                                                      : QSize(0, 2 * fontMetrics().height());
    m_content->setRoom(screen()->availableGeometry().size() - frame - QSize(0, menuBar()->sizeHint().height()));
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // A text field takes Ctrl+C for itself even without a selection; without one, the window's shortcut has it.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched); edit && !edit->hasSelectedText()) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QWidget* Form1::buildDnsFrame()
{
    QGroupBox* box = frame("Frame2", QStringLiteral("DNS Converter"));
    Text1 = named(new QLineEdit, "Text1");
    Text2 = named(new QLineEdit, "Text2");
    cmdConvert = named(new QPushButton(QStringLiteral("Co&nvert")), "cmdConvert");
    cmdConvert2 = named(new QPushButton(QStringLiteral("Con&vert")), "cmdConvert2");
    cmdConvert->setAccessibleName(QStringLiteral("Convert IP Address"));
    cmdConvert2->setAccessibleName(QStringLiteral("Convert Domain Name"));
    connect(cmdConvert, &QPushButton::clicked, this, &Form1::cmdConvert_Click);
    connect(cmdConvert2, &QPushButton::clicked, this, &Form1::cmdConvert2_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &Form1::cmdConvert_Click);
    connect(Text2, &QLineEdit::returnPressed, this, &Form1::cmdConvert2_Click);

    auto* grid = new QGridLayout(box);
    grid->addWidget(named(buddyLabel(QStringLiteral("IP Address:"), Text1), "Label5"), 0, 0);
    grid->addWidget(Text1, 0, 1);
    grid->addWidget(cmdConvert, 0, 2);
    grid->addWidget(named(buddyLabel(QStringLiteral("Domain Name:"), Text2), "Label6"), 1, 0);
    grid->addWidget(Text2, 1, 1);
    grid->addWidget(cmdConvert2, 1, 2);
    return box;
}

QWidget* Form1::buildProgramFrame()
{
    QGroupBox* box = frame("Frame3", QStringLiteral("Program Options"));
    Command1 = named(new QPushButton(QStringLiteral("&Refresh")), "Command1");
    Command2 = named(new QPushButton(QStringLiteral("Turn on IP Address &Overlay")), "Command2");
    cmdWebsite = named(new QPushButton(QStringLiteral("Vis&it ")), "cmdWebsite");
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(cmdWebsite, &QPushButton::clicked, this, &Form1::cmdWebsite_Click);
    auto* column = new QVBoxLayout(box);
    column->addWidget(Command1);
    column->addWidget(Command2);
    column->addWidget(cmdWebsite);
    return box;
}

QWidget* Form1::buildWhoisFrame()
{
    QGroupBox* box = frame("Frame4", QStringLiteral("Whois Lookup"));
    Text3 = named(new QLineEdit, "Text3");
    cmdWhois = named(new QPushButton(QStringLiteral("&Whois")), "cmdWhois");
    connect(cmdWhois, &QPushButton::clicked, this, &Form1::cmdWhois_Click);
    connect(Text3, &QLineEdit::returnPressed, this, &Form1::cmdWhois_Click);
    auto* row = new QHBoxLayout(box);
    row->addWidget(named(buddyLabel(QStringLiteral("IP Address/Domain:"), Text3), "Label7"));
    row->addWidget(Text3, 1);
    row->addWidget(cmdWhois);
    return box;
}

QWidget* Form1::buildAutomationFrame()
{
    QGroupBox* box = frame("Frame5", QStringLiteral("Automation Options"));
    Check1 = named(new QCheckBox(QStringLiteral("A&uto Refresh Every:")), "Check1");
    cmbRefresh = named(new QComboBox, "cmbRefresh");
    cmbRefresh->addItems({QStringLiteral("01 Minute"), QStringLiteral("05 Minutes"), QStringLiteral("10 Minutes"),
                          QStringLiteral("30 Minutes"), QStringLiteral("60 Minutes")});
    cmbRefresh->setCurrentIndex(-1);
    cmbRefresh->setAccessibleName(QStringLiteral("Refresh interval"));
    Check2 = named(new QCheckBox(QStringLiteral("Run at s&tartup")), "Check2");
    chkMin = named(new QCheckBox(QStringLiteral("Start &minimized")), "chkMin");
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);
    connect(cmbRefresh, &QComboBox::currentIndexChanged, this, &Form1::cmbRefresh_Click);
    connect(Check2, &QCheckBox::toggled, this, &Form1::Check2_Click);
    connect(chkMin, &QCheckBox::toggled, this, &Form1::chkMin_Click);

    auto* grid = new QGridLayout(box);
    grid->addWidget(Check1, 0, 0);
    grid->addWidget(cmbRefresh, 0, 1);
    grid->addWidget(Check2, 1, 0, 1, 2);
    grid->addWidget(chkMin, 2, 0, 1, 2);
    return box;
}

QWidget* Form1::buildNotificationFrame()
{
    QGroupBox* box = frame("Frame6", QStringLiteral("Notification Options"));
    Check3 = named(new QCheckBox(QStringLiteral("Use Emai&l Notification")), "Check3");
    Check4 = named(new QCheckBox(QStringLiteral("Use We&b Notification")), "Check4");
    Check5 = named(new QCheckBox(QStringLiteral("Use Pro&gram Notification")), "Check5");
    chkDesktopNotice = named(new QCheckBox(QStringLiteral("Show a &desktop notice")), "chkDesktopNotice");
    Command3 = named(new QPushButton(QStringLiteral("&Setup")), "Command3");
    connect(Check3, &QCheckBox::toggled, this, [this] { notificationOption_Click(Check3, Key::MailNotify); });
    connect(Check4, &QCheckBox::toggled, this, [this] { notificationOption_Click(Check4, Key::WebNotify); });
    connect(Check5, &QCheckBox::toggled, this, [this] { notificationOption_Click(Check5, Key::ProgramNotify); });
    connect(chkDesktopNotice, &QCheckBox::toggled, this,
            [this] { m_settings.writeFlag(Key::DesktopNotice, chkDesktopNotice->isChecked()); });
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    // The dialog's tabs switch the same keys: a box shows what its key holds.
    connect(&m_settings, &Settings::changed, this, [this](Key key) {
        for (const auto& [box, shown] : {std::pair{Check3, Key::MailNotify}, std::pair{Check4, Key::WebNotify},
                                         std::pair{Check5, Key::ProgramNotify}}) {
            if (key != shown)
                continue;
            const QSignalBlocker shownNotClicked(box);
            box->setChecked(m_settings.readFlag(key));
        }
    });
    auto* grid = new QGridLayout(box);
    grid->addWidget(Check3, 0, 0);
    grid->addWidget(Check4, 0, 1);
    grid->addWidget(Check5, 0, 2);
    grid->addWidget(chkDesktopNotice, 1, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    grid->addWidget(Command3, 0, 4);
    return box;
}

void Form1::buildMenus()
{
    const auto menu = [this](const QString& caption, const char* name) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    const auto item = [](QMenu* menu, const QString& caption, const char* name, const QKeySequence& keys = {}) {
        QAction* action = named(menu->addAction(caption), name);
        action->setShortcut(keys);
        return action;
    };
    QMenu* file = menu(QStringLiteral("&File"), "mnuFile");
    connect(item(file, QStringLiteral("Mi&nimize"), "mniFileItem"), &QAction::triggered, this,
            [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    connect(item(file, QStringLiteral("E&xit"), "mnuFileItem", QKeySequence(Qt::CTRL | Qt::Key_Q)), &QAction::triggered,
            this, [this] { close(); });

    QMenu* edit = menu(QStringLiteral("&Edit"), "mnuEdit");
    connect(item(edit, QStringLiteral("Copy &Internal IP"), "mniEditItem"), &QAction::triggered, this,
            &Form1::cmdCopy1_Click);
    // Ctrl+C itself belongs to the window's shortcut alone, which leaves a selection in a text field alone: the
    // item only shows the keys (an action of its own would claim them too once the menus had the focus).
    QAction* copyExternal = item(edit, QStringLiteral("Copy &External IP") + u'\t' +
                                           QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText),
                                 "mnuEditItem");
    connect(copyExternal, &QAction::triggered, this, &Form1::cmdCopy2_Click);

    QMenu* action = menu(QStringLiteral("A&ction"), "mnuAction");
    connect(item(action, QStringLiteral("&Overlay On/Off"), "mnuActionItem0"), &QAction::triggered, this,
            &Form1::Command2_Click);
    connect(item(action, QStringLiteral("&Refresh"), "mnuActionItem1", QKeySequence(Qt::Key_F5)), &QAction::triggered,
            this, &Form1::Command1_Click);
    connect(item(action, QStringLiteral("&History"), "mnuActionHistory"), &QAction::triggered, this,
            &Form1::historyRequested);

    QMenu* help = menu(QStringLiteral("&Help"), "mnuHelp");
    connect(item(help, QStringLiteral("View &Help"), "mnuHelpItem", QKeySequence::HelpContents), &QAction::triggered,
            this, &Form1::helpRequested);

    QMenu* about = menu(QStringLiteral("&About"), "mnuAbout");
    connect(item(about, QStringLiteral("&About this software"), "mnuAboutItem"), &QAction::triggered, this,
            &Form1::aboutRequested);
}

// ---------------------------------------------------------------------------------------------
// Status line and addresses

void Form1::setStatus(const QString& text)
{
    m_watcher.setStatus(text);
}

QString Form1::status() const
{
    return txtStatus->text();
}

QString Form1::externalAddress() const
{
    return m_addresses->address(AddressFrame::Address::External);
}

QString Form1::internalAddress() const
{
    return m_addresses->address(AddressFrame::Address::Internal);
}

QString Form1::externalIPv6Address() const
{
    return m_addresses->address(AddressFrame::Address::ExternalIPv6);
}

void Form1::showAddresses()
{
    m_addresses->showAddresses(m_watcher.internalAddress(), m_watcher.externalAddress(),
                               m_watcher.externalIPv6Address());
    m_addresses->showOwnIPv6(m_watcher.internalIPv6Address(), m_watcher.ipv6Prefix(),
                             m_watcher.isExternalIPv6Temporary());
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void Form1::restoreToggle(QCheckBox* box, Key key)
{
    // Ticking runs the box's own click handling, as a user's click would; a box left unticked runs nothing.
    box->setChecked(m_settings.readFlag(key));
}

void Form1::Form_Load()
{
    build();
    emit loading();
    if (m_settings.readFlag(Key::Minimized))
        show();
    // The program may have started the first lookup before the window loaded (and loaded the store for it).
    const bool lookedUp = m_watcher.lookupsStarted() > 0;
    if (!lookedUp)
        m_watcher.load();
    m_product = LoadProductInfo();

    restoreToggle(chkMin, Key::StartMinimized);
    restoreToggle(Check1, Key::AutoRefresh);
    restoreToggle(Check2, Key::RunAtLogon);
    restoreToggle(Check3, Key::MailNotify);
    restoreToggle(Check4, Key::WebNotify);
    restoreToggle(Check5, Key::ProgramNotify);
    restoreToggle(chkDesktopNotice, Key::DesktopNotice);
    cmbRefresh->setCurrentIndex(m_settings.readInt(Key::RefreshRate));

    setWindowTitle(m_product.productName + QStringLiteral(" by ") + m_product.companyName);
    cmdWebsite->setText(QStringLiteral("Vis&it ") + m_product.website);

    if (m_settings.readFlag(Key::ShowHelp))
        emit helpRequested();
    if (chkMin->isChecked())
        setWindowState(windowState() | Qt::WindowMinimized);
    if (lookedUp) {
        showAddresses();
        txtStatus->setText(m_watcher.status());
    } else {
        Command1_Click();
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

void Form1::Form_QueryUnload()
{
    emit queryUnload();
}

void Form1::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_watcher.shutdown();
    emit unloaded();
}

void Form1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        emit minimizedChanged(isMinimized());
}

// ---------------------------------------------------------------------------------------------
// Lookup and refresh cycle

void Form1::Command1_Click()
{
    if (!m_unloaded)
        m_watcher.lookUp();
}

void Form1::networkChanged()
{
    m_watcher.networkChanged();
}

void Form1::Check1_Click()
{
    m_watcher.setAutoRefresh(Check1->isChecked());
    m_watcher.setRefreshSelection(cmbRefresh->currentIndex());
    m_settings.writeFlag(Key::AutoRefresh, Check1->isChecked());
}

void Form1::cmbRefresh_Click()
{
    m_settings.write(Key::RefreshRate, cmbRefresh->currentIndex());
    m_watcher.setRefreshSelection(cmbRefresh->currentIndex());
}

// ---------------------------------------------------------------------------------------------
// Commands

void Form1::cmdCopy1_Click()
{
    m_addresses->copy(AddressFrame::Address::Internal);
}

void Form1::cmdCopy2_Click()
{
    m_addresses->copy(AddressFrame::Address::External);
}

void Form1::Command2_Click()
{
    emit overlayToggleRequested();
}

void Form1::showOverlayState(bool shown)
{
    Command2->setText(shown ? QStringLiteral("Turn off IP Address &Overlay")
                            : QStringLiteral("Turn on IP Address &Overlay"));
}

void Form1::Command3_Click()
{
    emit configurationRequested();
}

void Form1::cmdWebsite_Click()
{
    emit websiteRequested();
}

void Form1::Check2_Click()
{
    emit runAtLogonRequested(Check2->isChecked());  // a refusal unticks the box before the store is written
    m_settings.writeFlag(Key::RunAtLogon, Check2->isChecked());
}

void Form1::refuseRunAtLogon(const QString& error)
{
    setStatus(QStringLiteral("Error: ") + error);
    // The registration failed: the box shows what is true, and the store agrees.
    const QSignalBlocker blocker(Check2);
    Check2->setChecked(false);
}

void Form1::notificationOption_Click(QCheckBox* box, Key key)
{
    m_settings.writeFlag(key, box->isChecked());
}

void Form1::chkMin_Click()
{
    m_settings.writeFlag(Key::StartMinimized, chkMin->isChecked());
}

// ---------------------------------------------------------------------------------------------
// Notifications and network tools, owned by their subsystems

void Form1::cmdSend_Click()
{
    m_watcher.notify(Notifiers::Kind::Mail);
}

void Form1::doHitURL()
{
    m_watcher.notify(Notifiers::Kind::Web);
}

void Form1::doLauchProg()
{
    m_watcher.notify(Notifiers::Kind::Program);
}

void Form1::cmdConvert_Click()
{
    const QString address = Text1->text();
    showLookingUp(Text2);
    emit addressToNameRequested(address);
}

void Form1::cmdConvert2_Click()
{
    const QString name = Text2->text();
    showLookingUp(Text1);
    emit nameToAddressRequested(name);
}

void Form1::showConvertedName(const QString& name)
{
    showAnswer(Text2, name);
}

void Form1::showConvertedAddress(const QString& address)
{
    showAnswer(Text1, address);
}

void Form1::cmdWhois_Click()
{
    emit whoisRequested(Text3->text());
}
