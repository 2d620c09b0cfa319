#include "configure/AddressSourcesPane.h"

#include "core/AddressSourceSettings.h"
#include "widgets/WidgetHelpers.h"
#include "discovery/AddressSource.h"
#include "discovery/PublicAddress.h"
#include "discovery/SourceUri.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column
{
    SourceColumn = 0,
    ResultColumn = 1
};

QPushButton* button(const char* objectName, const QString& caption)
{
    auto* b = named(new QPushButton(caption), objectName);
    b->setAccessibleName(caption);
    return b;
}

} // namespace

AddressSourcesPane::AddressSourcesPane(Settings& settings, QWidget* parent)
    : QGroupBox(QStringLiteral("Address sources"), parent), m_settings(settings)
{
    setObjectName(QStringLiteral("fraAddressSources"));
    cmbFamily = named(new QComboBox, "cmbFamily");
    cmbFamily->addItems({QStringLiteral("IPv4"), QStringLiteral("IPv6")});
    lstSources = named(new QTreeWidget, "lstSources");
    lstSources->setColumnCount(2);
    lstSources->setHeaderLabels({QStringLiteral("Source"), QStringLiteral("Test result")});
    lstSources->setRootIsDecorated(false);
    lstSources->setMinimumHeight(130); // and whatever the tab has besides
    lstSources->header()->resizeSection(SourceColumn, 380);
    // A long source or result shows whole under the list (and as the row's tool tip).
    lblDetails = named(new QLabel, "lblSourceDetails");
    lblDetails->setWordWrap(true);
    lblDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtNewSource = named(new QLineEdit, "txtNewSource");
    txtNewSource->setPlaceholderText(QStringLiteral("https://…, dns://SERVER/NAME?type=A, stun:HOST:PORT"));
    cmdAdd = button("cmdAdd", QStringLiteral("Add"));
    cmdRemove = button("cmdRemove", QStringLiteral("Remove"));
    cmdUp = button("cmdUp", QStringLiteral("Move Up"));
    cmdDown = button("cmdDown", QStringLiteral("Move Down"));
    cmdTest = button("cmdTest", QStringLiteral("Test"));
    lblMessage = named(new QLabel, "lblMessage");
    lblMessage->setWordWrap(true);
    if (AddressSourceSettings::environmentOverrides())
        lblMessage->setText(QStringLiteral("The environment (VISTREL_ADDRESS_SOURCES or VISTREL_ADDRESS_URL) "
                                           "chooses the sources while it is set; edits here are kept for later."));

    auto* grid = new QGridLayout(this);
    grid->addWidget(buddyLabel(QStringLiteral("List:"), cmbFamily), 0, 0);
    grid->addWidget(cmbFamily, 0, 1, Qt::AlignLeft);
    grid->addWidget(buddyLabel(QStringLiteral("Sources:"), lstSources), 1, 0, Qt::AlignTop);
    grid->addWidget(lstSources, 1, 1);
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {cmdRemove, cmdUp, cmdDown, cmdTest})
        side->addWidget(b);
    side->addStretch(1);
    grid->addLayout(side, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("New source:"), txtNewSource), 2, 0);
    grid->addWidget(txtNewSource, 2, 1);
    grid->addWidget(cmdAdd, 2, 2);
    grid->addWidget(lblDetails, 3, 1);
    grid->addWidget(lblMessage, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    connect(cmbFamily, &QComboBox::currentIndexChanged, this, &AddressSourcesPane::showList);
    connect(cmdAdd, &QPushButton::clicked, this, &AddressSourcesPane::addSource);
    connect(txtNewSource, &QLineEdit::returnPressed, this, &AddressSourcesPane::addSource);
    connect(cmdRemove, &QPushButton::clicked, this, &AddressSourcesPane::removeSource);
    connect(cmdUp, &QPushButton::clicked, this, [this] { moveSource(-1); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { moveSource(1); });
    connect(cmdTest, &QPushButton::clicked, this, &AddressSourcesPane::testSources);
    connect(lstSources, &QTreeWidget::currentItemChanged, this, &AddressSourcesPane::updateButtons);
    connect(lstSources, &QTreeWidget::currentItemChanged, this, &AddressSourcesPane::showDetails);
    showList(0);
}

AddressSourcesPane::~AddressSourcesPane()
{
    cancelTest();
}

bool AddressSourcesPane::showsIPv6() const
{
    return cmbFamily->currentIndex() == 1;
}

QStringList AddressSourcesPane::shownSources() const
{
    QStringList uris;
    for (int row = 0; row < lstSources->topLevelItemCount(); ++row)
        uris << lstSources->topLevelItem(row)->text(SourceColumn);
    return uris;
}

void AddressSourcesPane::showList(int)
{
    cancelTest();
    fill(AddressSourceSettings(m_settings).storedList(showsIPv6()));
}

void AddressSourcesPane::fill(const QStringList& uris)
{
    lstSources->clear();
    for (const QString& uri : uris) {
        auto* item = new QTreeWidgetItem(QStringList{uri});
        item->setToolTip(SourceColumn, uri);
        lstSources->addTopLevelItem(item);
    }
    updateButtons();
}

void AddressSourcesPane::store()
{
    AddressSourceSettings(m_settings).storeList(showsIPv6(), shownSources());
}

void AddressSourcesPane::addSource()
{
    const QString uri = txtNewSource->text().trimmed();
    QString error;
    if (!checkSourceUri(uri, &error)) {
        lblMessage->setText(QStringLiteral("Not added: ") + error);
        return;
    }
    if (shownSources().contains(uri)) {
        lblMessage->setText(QStringLiteral("Not added: the list has this source already."));
        return;
    }
    cancelTest();
    auto* item = new QTreeWidgetItem(QStringList{uri});
    lstSources->addTopLevelItem(item);
    lstSources->setCurrentItem(item);
    txtNewSource->clear();
    lblMessage->clear();
    store();
}

void AddressSourcesPane::removeSource()
{
    QTreeWidgetItem* item = lstSources->currentItem();
    if (!item)
        return;
    cancelTest();
    delete item;
    store();
    updateButtons();
}

void AddressSourcesPane::moveSource(int step)
{
    const int row = lstSources->indexOfTopLevelItem(lstSources->currentItem());
    const int target = row + step;
    if (row < 0 || target < 0 || target >= lstSources->topLevelItemCount())
        return;
    cancelTest();
    QTreeWidgetItem* item = lstSources->takeTopLevelItem(row);
    lstSources->insertTopLevelItem(target, item);
    lstSources->setCurrentItem(item);
    store();
}

void AddressSourcesPane::updateButtons()
{
    const int row = lstSources->indexOfTopLevelItem(lstSources->currentItem());
    cmdRemove->setEnabled(row >= 0);
    cmdUp->setEnabled(row > 0);
    cmdDown->setEnabled(row >= 0 && row + 1 < lstSources->topLevelItemCount());
    cmdTest->setEnabled(lstSources->topLevelItemCount() > 0);
}

void AddressSourcesPane::cancelTest()
{
    for (const std::unique_ptr<AddressSource>& source : m_testing) {
        if (source)
            source->cancel();
    }
    m_testing.clear();
    m_testsLeft = 0;
}

void AddressSourcesPane::testSources()
{
    cancelTest();
    const bool ipv6 = showsIPv6();
    const int rows = lstSources->topLevelItemCount();
    m_testing.resize(static_cast<std::size_t>(rows));
    m_testsLeft = rows;
    m_testClock.start();
    for (int row = 0; row < rows; ++row) {
        QTreeWidgetItem* item = lstSources->topLevelItem(row);
        QString error;
        std::unique_ptr<AddressSource> source = makeAddressSource(item->text(SourceColumn), &error);
        if (!source) {
            testDone(row, QStringLiteral("not asked: ") + error);
            continue;
        }
        item->setText(ResultColumn, QStringLiteral("asking…"));
        source->setAddressFamily(ipv6 ? QAbstractSocket::IPv6Protocol : QAbstractSocket::IPv4Protocol);
        connect(source.get(), &AddressSource::answered, this, [this, row, ipv6](const QHostAddress& address) {
            QString text = QStringLiteral("%1 (%2 ms)").arg(address.toString()).arg(m_testClock.elapsed());
            const bool rightFamily =
                address.protocol() == (ipv6 ? QAbstractSocket::IPv6Protocol : QAbstractSocket::IPv4Protocol);
            if (!rightFamily)
                text += ipv6 ? QStringLiteral(", not IPv6: not counted") : QStringLiteral(", not IPv4: not counted");
            else if (!isPublicAddress(address))
                text += QStringLiteral(", not a public address: not counted");
            testDone(row, text);
        });
        connect(source.get(), &AddressSource::failed, this, [this, row](const QString& reason) {
            testDone(row, QStringLiteral("failed after %1 ms: %2").arg(m_testClock.elapsed()).arg(reason));
        });
        source->start(TestTimeoutMs);
        m_testing[static_cast<std::size_t>(row)] = std::move(source);
    }
}

void AddressSourcesPane::testDone(int row, const QString& text)
{
    if (QTreeWidgetItem* item = lstSources->topLevelItem(row)) {
        item->setText(ResultColumn, text);
        item->setToolTip(ResultColumn, text);
        if (item == lstSources->currentItem())
            showDetails();
    }
    if (m_testsLeft > 0 && --m_testsLeft == 0)
        emit testFinished();
}

void AddressSourcesPane::showDetails()
{
    const QTreeWidgetItem* item = lstSources->currentItem();
    if (!item) {
        lblDetails->clear();
        return;
    }
    const QString result = item->text(ResultColumn);
    lblDetails->setText(result.isEmpty() ? item->text(SourceColumn) : item->text(SourceColumn) + u'\n' + result);
}
