#include "configure/frmConfigure.h"

#include "configure/AddressSourcesPane.h"
#include "configure/DnsHostsPane.h"
#include "configure/KindTab.h"
#include "configure/NotifierTabs.h"
#include "configure/WatcherTaskBox.h"
#include "core/SettingsKeys.h"
#include "notify/NotificationHost.h"
#include "widgets/WidgetHelpers.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
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
    : QWidget(parent, Qt::Window), m_host(host)
{
    setObjectName(QStringLiteral("frmConfigure"));
    setWindowTitle(QStringLiteral("Notification Configuration"));
    setAttribute(Qt::WA_DeleteOnClose);

    // The panes sit in tabs, each one scrolls: the dialog fits a small screen and may be resized freely.
    auto* tabs = named(new QTabWidget, "tabsConfigure");
    tabs->setDocumentMode(true);
    const auto addTabs = [&](const QList<KindTabDescription>& descriptions) {
        for (const KindTabDescription& description : descriptions) {
            auto* tab = new KindTab(description, host, notifiers, m_edits);
            m_tabs.insert(description.kind, tab);
            tabs->addTab(scrolling(tab), description.tabText);
        }
    };
    addTabs(firstNotifierTabs());
    tabs->addTab(scrolling(new AddressSourcesPane(host.settings())), QStringLiteral("Address Sources"));
    addTabs(notifierTabs());
    tabs->addTab(scrolling(new DnsHostsPane(host, notifiers, m_edits)), QStringLiteral("DNS Hosts"));
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
    layout->addWidget(new WatcherTaskBox);
    layout->addWidget(txtStatus);
    layout->addWidget(buttons);
    fitScreen(parent);

    Form_Load();
    host.watchStatus(this, [this](const QString& text) { showStatus(text); });
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

void frmConfigure::Form_Load()
{
    showStatus(m_host.status());
}

void frmConfigure::Combo3_Click(int index)
{
    m_tabs.value(Notifiers::Kind::Mail)->choose(Key::MailServer, index);
}

void frmConfigure::showStatus(const QString& text)
{
    for (KindTab* tab : std::as_const(m_tabs))
        tab->showPreview(); // the addresses may have changed with it
    if (txtStatus->text() != text)
        txtStatus->setText(text);
}

void frmConfigure::cmdSend_Click()
{
    m_tabs.value(Notifiers::Kind::Mail)->testNow();
}

void frmConfigure::Command2_Click()
{
    m_tabs.value(Notifiers::Kind::Program)->testNow();
}

void frmConfigure::Command3_Click()
{
    m_tabs.value(Notifiers::Kind::Web)->testNow();
}
