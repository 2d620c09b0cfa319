#include "app/Form1.h"

#include "app/AddressSourceSettings.h"
#include "app/Form1Hooks.h"
#include "app/WidgetHelpers.h"
#include "app/Settings.h"
#include "platform/HttpGet.h"
#include "platform/LocalAddress.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcStatus, "vistrel.status", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLookup, "vistrel.lookup", QtInfoMsg)

namespace {

const QString NoAddressShown = QStringLiteral("000.000.000.000");
const QString NoIPv6 = QStringLiteral("none");

// The agreed address of @p result when it is one of @p family; a source list that agreed on the other
// family (a dual-stack service reached the other way) has not answered the question asked.
std::optional<QString> agreedAddress(const LookupResult& result, QAbstractSocket::NetworkLayerProtocol family)
{
    if (result.outcome != LookupResult::Outcome::Agreed)
        return std::nullopt;
    const QHostAddress address(result.address);
    if (address.protocol() != family) {
        qCWarning(lcLookup) << "sources agreed on" << result.address << "which is not of the family asked for";
        return std::nullopt;
    }
    return address.toString();
}

const char* outcomeName(LookupResult::Outcome outcome)
{
    switch (outcome) {
    case LookupResult::Outcome::Agreed:
        return "agreed";
    case LookupResult::Outcome::Disagreed:
        return "disagreed";
    case LookupResult::Outcome::Failed:
        return "failed";
    case LookupResult::Outcome::NoSources:
        return "no sources";
    }
    return "?";
}

QGroupBox* frame(const char* objectName, const QString& caption)
{
    auto* box = new QGroupBox(caption);
    box->setObjectName(QLatin1String(objectName));
    return box;
}

} // namespace

Form1::Form1(Settings& settings, HttpGet& http, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_http(http), m_changeTest(settings),
      m_localAddress(&localIPv4Address), m_ipv6Route(&hasIPv6Route), m_quit([] { QCoreApplication::exit(0); })
{
    connect(&m_lookup4, &AddressLookup::finished, this, [this](const LookupResult& result) {
        m_result4 = result;
        familyDone();
    });
    connect(&m_lookup6, &AddressLookup::finished, this, [this](const LookupResult& result) {
        m_result6 = result;
        familyDone();
    });
    setObjectName(QStringLiteral("Form1"));
    m_timRefresh = new QTimer(this);
    m_timRefresh->setObjectName(QStringLiteral("timRefresh"));
    m_timRefresh->setInterval(1000);
    connect(m_timRefresh, &QTimer::timeout, this, &Form1::timRefresh_Timer);
    buildWindow();
}

Form1::~Form1() = default;

// ---------------------------------------------------------------------------------------------
// Window

void Form1::buildWindow()
{
    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);
    grid->addWidget(buildAddressFrame(), 0, 0, 1, 2);
    grid->addWidget(buildDnsFrame(), 1, 0);
    grid->addWidget(buildProgramFrame(), 1, 1);
    grid->addWidget(buildWhoisFrame(), 2, 0);
    grid->addWidget(buildAutomationFrame(), 2, 1);
    grid->addWidget(buildNotificationFrame(), 3, 0, 1, 2);
    txtStatus = named(new QLineEdit, "txtStatus");
    txtStatus->setReadOnly(true);
    txtStatus->setAccessibleName(QStringLiteral("Status"));
    grid->addWidget(txtStatus, 4, 0, 1, 2);
    setCentralWidget(central);
    buildMenus();
}

QWidget* Form1::buildAddressFrame()
{
    QGroupBox* box = frame("Frame1", QStringLiteral("Local IP Addresses"));
    QFont addressFont(QStringLiteral("Verdana"), 12);
    addressFont.setBold(true);
    Label2 = named(new QLabel(NoAddressShown), "Label2");
    Label1 = named(new QLabel(NoAddressShown), "Label1");
    for (QLabel* label : {Label1, Label2}) {
        label->setFont(addressFont);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    lblIPv6 = named(new QLabel(NoIPv6), "lblIPv6");
    lblIPv6->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont ipv6Font = addressFont;
    ipv6Font.setPointSize(10);  // an IPv6 address is three times as long as the others
    lblIPv6->setFont(ipv6Font);
    Label2->setAccessibleName(QStringLiteral("Internal"));
    Label1->setAccessibleName(QStringLiteral("External"));
    lblIPv6->setAccessibleName(QStringLiteral("External IPv6"));
    cmdCopy1 = named(new QPushButton(QStringLiteral("Copy")), "cmdCopy1");
    cmdCopy2 = named(new QPushButton(QStringLiteral("Copy")), "cmdCopy2");
    cmdCopy1->setAccessibleName(QStringLiteral("Copy Internal IP"));
    cmdCopy2->setAccessibleName(QStringLiteral("Copy External IP"));
    for (QPushButton* button : {cmdCopy1, cmdCopy2})
        button->setToolTip(QStringLiteral("Copy to clipboard"));
    connect(cmdCopy1, &QPushButton::clicked, this, &Form1::cmdCopy1_Click);
    connect(cmdCopy2, &QPushButton::clicked, this, &Form1::cmdCopy2_Click);

    auto* grid = new QGridLayout(box);
    grid->addWidget(named(new QLabel(QStringLiteral("Internal:")), "Label3"), 0, 0);
    grid->addWidget(Label2, 0, 1);
    grid->addWidget(cmdCopy1, 0, 2);
    grid->addWidget(named(new QLabel(QStringLiteral("External:")), "Label4"), 1, 0);
    grid->addWidget(Label1, 1, 1);
    grid->addWidget(cmdCopy2, 1, 2);
    grid->addWidget(named(new QLabel(QStringLiteral("External IPv6:")), "lblIPv6Caption"), 2, 0);
    grid->addWidget(lblIPv6, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* Form1::buildDnsFrame()
{
    QGroupBox* box = frame("Frame2", QStringLiteral("DNS Converter"));
    Text1 = named(new QLineEdit, "Text1");
    Text2 = named(new QLineEdit, "Text2");
    cmdConvert = named(new QPushButton(QStringLiteral("Convert")), "cmdConvert");
    cmdConvert2 = named(new QPushButton(QStringLiteral("Convert")), "cmdConvert2");
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
    Command1 = named(new QPushButton(QStringLiteral("Refresh")), "Command1");
    Command2 = named(new QPushButton(QStringLiteral("Turn on IP Address Overlay")), "Command2");
    cmdWebsite = named(new QPushButton(QStringLiteral("Visit ")), "cmdWebsite");
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
    cmdWhois = named(new QPushButton(QStringLiteral("Whois")), "cmdWhois");
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
    Check1 = named(new QCheckBox(QStringLiteral("Auto Refresh Every:")), "Check1");
    cmbRefresh = named(new QComboBox, "cmbRefresh");
    cmbRefresh->addItems({QStringLiteral("01 Minute"), QStringLiteral("05 Minutes"), QStringLiteral("10 Minutes"),
                          QStringLiteral("30 Minutes"), QStringLiteral("60 Minutes")});
    cmbRefresh->setCurrentIndex(-1);
    cmbRefresh->setAccessibleName(QStringLiteral("Refresh interval"));
    Check2 = named(new QCheckBox(QStringLiteral("Run at startup")), "Check2");
    chkMin = named(new QCheckBox(QStringLiteral("Start minimized")), "chkMin");
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
    Check3 = named(new QCheckBox(QStringLiteral("Use Email Notification")), "Check3");
    Check4 = named(new QCheckBox(QStringLiteral("Use Web Notification")), "Check4");
    Check5 = named(new QCheckBox(QStringLiteral("Use Program Notification")), "Check5");
    Command3 = named(new QPushButton(QStringLiteral("Setup")), "Command3");
    Command3->setEnabled(false);
    connect(Check3, &QCheckBox::toggled, this, [this] { notificationOption_Click(Check3, "emailNotify"); });
    connect(Check4, &QCheckBox::toggled, this, [this] { notificationOption_Click(Check4, "webNotify"); });
    connect(Check5, &QCheckBox::toggled, this, [this] { notificationOption_Click(Check5, "programNotify"); });
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    auto* row = new QHBoxLayout(box);
    row->addWidget(Check3);
    row->addWidget(Check4);
    row->addWidget(Check5);
    row->addStretch(1);
    row->addWidget(Command3);
    return box;
}

void Form1::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    named(file->addAction(QStringLiteral("Minimize"), this, [this] { setWindowState(windowState() | Qt::WindowMinimized); }),
          "mniFileItem");
    named(file->addAction(QStringLiteral("Exit"), this, [this] { close(); }), "mnuFileItem");

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    named(edit->addAction(QStringLiteral("Copy Internal IP"), this, &Form1::cmdCopy1_Click), "mniEditItem");
    named(edit->addAction(QStringLiteral("Copy External IP"), this, &Form1::cmdCopy2_Click), "mnuEditItem");

    QMenu* action = menuBar()->addMenu(QStringLiteral("Action"));
    action->setObjectName(QStringLiteral("mnuAction"));
    named(action->addAction(QStringLiteral("Overlay On/Off"), this, &Form1::Command2_Click), "mnuActionItem0");
    named(action->addAction(QStringLiteral("Refresh"), this, &Form1::Command1_Click), "mnuActionItem1");

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    named(help->addAction(QStringLiteral("View Help"), this,
                          [this] {
                              if (m_desktop)
                                  m_desktop->showHelp();
                          }),
          "mnuHelpItem");

    QMenu* about = menuBar()->addMenu(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    named(about->addAction(QStringLiteral("About this software"), this,
                           [this] {
                               if (m_desktop)
                                   m_desktop->showAbout();
                           }),
          "mnuAboutItem");
}

// ---------------------------------------------------------------------------------------------
// Status line and addresses

void Form1::setStatus(const QString& text)
{
    txtStatus->setText(text);
    qCInfo(lcStatus).noquote() << text;
    emit statusChanged(text);
}

QString Form1::status() const
{
    return txtStatus->text();
}

QString Form1::externalAddress() const
{
    return Label1->text();
}

QString Form1::internalAddress() const
{
    return Label2->text();
}

QString Form1::externalIPv6Address() const
{
    return lblIPv6->text();
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void Form1::restoreToggle(QCheckBox* box, const char* key)
{
    // Ticking runs the box's own click handling, as a user's click would; a box left unticked runs nothing.
    box->setChecked(m_settings.readInt(QLatin1String(key), 0, 0, 1) == 1);
}

void Form1::Form_Load()
{
    m_refresh.setTicks(0);
    if (m_desktop) {
        m_desktop->setWindowIcons(this);
        m_desktop->addTrayIcon();
    }
    if (m_settings.readInt(QStringLiteral("Minimized"), 0, 0, 1) == 1)
        show();
    LoadNotifySettings(m_settings, m_notifySettings);
    m_product = LoadProductInfo();

    restoreToggle(chkMin, "chkMin");
    restoreToggle(Check1, "refresh");
    restoreToggle(Check2, "startup");
    restoreToggle(Check3, "emailNotify");
    restoreToggle(Check4, "webNotify");
    restoreToggle(Check5, "programNotify");
    cmbRefresh->setCurrentIndex(m_settings.readInt(QStringLiteral("refreshrate"), 0, -1, 4));

    m_changeTest.load();
    setWindowTitle(m_product.productName + QStringLiteral(" by ") + m_product.companyName);
    cmdWebsite->setText(QStringLiteral("Visit ") + m_product.website);

    if (m_settings.readInt(QStringLiteral("showHelp"), 1, 0, 1) == 1 && m_desktop)
        m_desktop->showHelp();
    if (chkMin->isChecked())
        setWindowState(windowState() | Qt::WindowMinimized);
    Command1_Click();
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

void Form1::Form_QueryUnload()
{
    if (m_desktop)
        m_desktop->removeTrayIcon();
}

void Form1::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_timRefresh->stop();
    m_lookup4.cancel();
    m_lookup6.cancel();
    bool keepAlive = false;
    if (m_desktop)
        keepAlive = m_desktop->unload();
    if (m_notifications)
        m_notifications->unload();
    if (m_netTools)
        m_netTools->unload();
    if (!keepAlive && m_quit)
        m_quit();
}

void Form1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_desktop)
        m_desktop->mainWindowStateChanged(isMinimized());
}

// ---------------------------------------------------------------------------------------------
// Lookup and refresh cycle

void Form1::Command1_Click()
{
    if (m_lookupRunning || m_unloaded)
        return;
    m_lookupRunning = true;
    setStatus(QStringLiteral("Looking up your IPs..."));
    emit lookupStarted();

    const AddressSourceSettings sources(m_settings);
    AddressLookup::Config config;
    config.quorum = sources.quorum();
    config.sources = sources.ipv4Sources();
    config.family = QAbstractSocket::IPv4Protocol;
    AddressLookup::Config config6 = config;
    config6.sources = sources.ipv6Sources();
    config6.family = QAbstractSocket::IPv6Protocol;
    m_result4.reset();
    m_result6.reset();
    // No IPv6 route: asking would only wait for the sources to time out.
    if (config6.sources.isEmpty() || !m_ipv6Route()) {
        m_result6 = LookupResult{LookupResult::Outcome::NoSources, QString(), {}};
    } else {
        m_lookup6.start(config6);
    }
    m_lookup4.start(config);
}

void Form1::familyDone()
{
    if (m_result4 && m_result6)
        lookupDone();
}

void Form1::lookupDone()
{
    const LookupResult result = *m_result4;
    const LookupResult result6 = *m_result6;
    qCDebug(lcLookup) << "IPv4 lookup" << outcomeName(result.outcome) << result.address << "IPv6 lookup"
                      << outcomeName(result6.outcome) << result6.address;
    if (result.outcome == LookupResult::Outcome::Disagreed) {
        setStatus(QStringLiteral("Error: Address sources disagree."));
        return endLookup(false);
    }
    const std::optional<QString> external = agreedAddress(result, QAbstractSocket::IPv4Protocol);
    if (!external) {
        setStatus(QStringLiteral("Error: Connection not available."));
        return endLookup(false);
    }
    Label1->setText(*external);
    Label2->setText(m_localAddress());
    bool addressChanged = m_changeTest.compareAndRemember(Label1->text(), Label2->text());

    if (result6.outcome == LookupResult::Outcome::NoSources) {
        lblIPv6->setText(NoIPv6);
    } else if (const std::optional<QString> external6 = agreedAddress(result6, QAbstractSocket::IPv6Protocol)) {
        lblIPv6->setText(*external6);
        addressChanged = m_changeTest.compareAndRememberIPv6(*external6) || addressChanged;
    } else {
        // The IPv4 sources answered, so the line is up; IPv6 sources that fail or disagree are not
        // trusted either way: the address shown and remembered stays, and nobody is told of a change.
        qCInfo(lcLookup) << "IPv6 sources" << outcomeName(result6.outcome) << "; keeping" << lblIPv6->text();
    }
    if (m_desktop)
        m_desktop->updateOverlay(Label2->text(), Label1->text());

    if (addressChanged && Check3->isChecked())
        cmdSend_Click();
    if (addressChanged && Check4->isChecked())
        doHitURL();
    if (addressChanged && Check5->isChecked())
        doLauchProg();

    setStatus(QStringLiteral("Finished looking up IPs"));
    endLookup(true);
}

void Form1::endLookup(bool ok)
{
    m_lookupRunning = false;
    emit lookupFinished(ok);
    if (m_lookupAgain && !m_unloaded) {
        m_lookupAgain = false;
        Command1_Click();
    }
}

void Form1::networkChanged()
{
    if (m_unloaded)
        return;
    if (m_lookupRunning) {
        m_lookupAgain = true;
        return;
    }
    qCDebug(lcLookup) << "network changed: looking up";
    Command1_Click();
}

void Form1::timRefresh_Timer()
{
    if (m_refresh.tick())
        Command1_Click();
}

void Form1::Check1_Click()
{
    if (Check1->isChecked())
        m_timRefresh->start();
    else
        m_timRefresh->stop();
    m_refresh.setSelection(cmbRefresh->currentIndex());
    m_settings.write(QStringLiteral("refresh"), Check1->isChecked() ? 1 : 0);
}

void Form1::cmbRefresh_Click()
{
    m_settings.write(QStringLiteral("refreshrate"), cmbRefresh->currentIndex());
    m_refresh.setSelection(cmbRefresh->currentIndex());
}

// ---------------------------------------------------------------------------------------------
// Commands

void Form1::cmdCopy1_Click()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(Label2->text());
}

void Form1::cmdCopy2_Click()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(Label1->text());
}

void Form1::Command2_Click()
{
    if (!m_desktop)
        return;
    if (!m_desktop->isOverlayVisible()) {
        Command2->setText(QStringLiteral("Turn off IP Address Overlay"));
        m_desktop->setOverlayVisible(true);
    } else {
        Command2->setText(QStringLiteral("Turn on IP Address Overlay"));
        m_desktop->setOverlayVisible(false);
    }
}

void Form1::Command3_Click()
{
    if (m_notifications)
        m_notifications->showConfiguration();
}

void Form1::cmdWebsite_Click()
{
    if (m_desktop)
        m_desktop->showWebsite();
}

void Form1::Check2_Click()
{
    const bool wanted = Check2->isChecked();
    QString error;
    if (m_desktop && !m_desktop->setRunAtLogon(wanted, &error)) {
        setStatus(QStringLiteral("Error: ") + error);
        if (wanted) {
            // The registration failed: the box shows what is true, and the store agrees.
            const QSignalBlocker blocker(Check2);
            Check2->setChecked(false);
        }
    }
    m_settings.write(QStringLiteral("startup"), Check2->isChecked() ? 1 : 0);
}

void Form1::notificationOption_Click(QCheckBox* box, const char* key)
{
    Command3->setEnabled(Check3->isChecked() || Check4->isChecked() || Check5->isChecked());
    m_settings.write(QLatin1String(key), box->isChecked() ? 1 : 0);
}

void Form1::chkMin_Click()
{
    m_settings.write(QStringLiteral("chkMin"), chkMin->isChecked() ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Notifications and network tools, owned by their subsystems

void Form1::cmdSend_Click()
{
    if (m_notifications)
        m_notifications->cmdSend_Click();
}

void Form1::doHitURL()
{
    if (m_notifications)
        m_notifications->doHitURL();
}

void Form1::doLauchProg()
{
    if (m_notifications)
        m_notifications->doLauchProg();
}

void Form1::cmdConvert_Click()
{
    if (m_netTools)
        m_netTools->convertAddressToName(Text1->text(), [this](const QString& name) { Text2->setText(name); });
}

void Form1::cmdConvert2_Click()
{
    if (m_netTools)
        m_netTools->convertNameToAddress(Text2->text(), [this](const QString& address) { Text1->setText(address); });
}

void Form1::cmdWhois_Click()
{
    if (m_netTools)
        m_netTools->showWhois(Text3->text());
}
