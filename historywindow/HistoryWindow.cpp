#include "historywindow/HistoryWindow.h"

#include "history/HistoryText.h"
#include "historywindow/HistoryModel.h"
#include "historywindow/TimelineView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

HistoryWindow::HistoryWindow(HistoryStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store), m_model(new HistoryModel(store, this)),
      m_timeline(new TimelineView(this)), m_table(new QTableView(this)), m_periodBox(new QComboBox(this)),
      m_periodLabel(new QLabel(this)), m_note(new QLabel(this)), m_day(QDate::currentDate())
{
    setWindowTitle(QStringLiteral("History"));
    setObjectName(QStringLiteral("frmHistory"));
    auto* layout = new QVBoxLayout(this);

    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("Show:"), this));
    const char* const names[HistoryEntry::KindCount] = {"&Internal", "E&xternal", "External IPv&6", "N&AT",
                                                        "IPv6 &prefix"};
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind) {
        m_kinds[kind] = new QCheckBox(QString::fromUtf8(names[kind]), this);
        m_kinds[kind]->setChecked(true);
        connect(m_kinds[kind], &QCheckBox::toggled, this, &HistoryWindow::filterChanged);
        filter->addWidget(m_kinds[kind]);
    }
    filter->addStretch();
    auto* exportButton = new QPushButton(QStringLiteral("&Export CSV…"), this);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::exportClicked);
    filter->addWidget(exportButton);
    layout->addLayout(filter);

    auto* timelineBox = new QGroupBox(QStringLiteral("Timeline"), this);
    auto* timelineLayout = new QVBoxLayout(timelineBox);
    auto* periodRow = new QHBoxLayout;
    auto* periodName = new QLabel(QStringLiteral("&Period:"), this);
    periodName->setBuddy(m_periodBox);
    m_periodBox->addItems({QStringLiteral("Day"), QStringLiteral("Month"), QStringLiteral("Year")});
    m_periodBox->setCurrentIndex(int(m_period));
    connect(m_periodBox, &QComboBox::activated, this, [this](int index) { showPeriod(Period(index), m_day); });
    auto* previous = new QPushButton(QStringLiteral("◀ Pre&vious"), this);
    auto* next = new QPushButton(QStringLiteral("&Next ▶"), this);
    auto* today = new QPushButton(QStringLiteral("&Today"), this);
    connect(previous, &QPushButton::clicked, this, [this] { step(-1); });
    connect(next, &QPushButton::clicked, this, [this] { step(1); });
    connect(today, &QPushButton::clicked, this, [this] { showPeriod(m_period, QDate::currentDate()); });
    m_periodLabel->setAlignment(Qt::AlignCenter);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{periodName, m_periodBox, previous, m_periodLabel, next, today})
        periodRow->addWidget(widget, widget == m_periodLabel ? 1 : 0);
    timelineLayout->addLayout(periodRow);
    timelineLayout->addWidget(m_timeline);
    layout->addWidget(timelineBox);

    m_table->setModel(m_model);
    m_table->setAccessibleName(QStringLiteral("Changes"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Rows of one height and columns sized from the font: the view never measures the rows it has not shown.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const auto width = [this](const char* sample) {
        return fontMetrics().horizontalAdvance(QLatin1String(sample)) + 24;
    };
    m_table->setColumnWidth(HistoryModel::When, width("0000-00-00 00:00:00"));
    m_table->setColumnWidth(HistoryModel::Address, width("External IPv6"));
    m_table->horizontalHeader()->setSectionResizeMode(HistoryModel::Change, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(HistoryModel::Lasted, QHeaderView::ResizeToContents);
    layout->addWidget(m_table, 1);

    auto* bottom = new QHBoxLayout;
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bottom->addWidget(m_note, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    connect(&m_store, &HistoryStore::recorded, this, &HistoryWindow::reload);

    showPeriod(m_period, m_day);
    if (!m_store.lastError().isEmpty())
        m_note->setText(m_store.lastError());
    else if (m_model->rowCount() == 0)
        m_note->setText(QStringLiteral("No change of address has been recorded yet."));
    const QSize available = (parent ? parent->screen() : screen())->availableGeometry().size();
    resize(QSize(860, 620).boundedTo(available * 9 / 10).expandedTo(minimumSizeHint()));
}

void HistoryWindow::reload()
{
    m_model->reload();
    m_note->clear();
    refreshTimeline();
}

void HistoryWindow::filterChanged()
{
    HistoryKinds kinds = 0;
    for (int kind = 0; kind < HistoryEntry::KindCount; ++kind) {
        if (m_kinds[kind]->isChecked())
            kinds |= 1u << kind;
    }
    m_model->setKinds(kinds);
    refreshTimeline();
}

std::pair<qint64, qint64> HistoryWindow::periodShown() const
{
    QDate first = m_day, end;
    switch (m_period) {
    case Period::Day:
        end = first.addDays(1);
        break;
    case Period::Month:
        first = QDate(m_day.year(), m_day.month(), 1);
        end = first.addMonths(1);
        break;
    case Period::Year:
        first = QDate(m_day.year(), 1, 1);
        end = first.addYears(1);
        break;
    }
    return {first.startOfDay().toMSecsSinceEpoch(), end.startOfDay().toMSecsSinceEpoch()};
}

void HistoryWindow::showPeriod(Period period, QDate day)
{
    m_period = period;
    m_day = day;
    m_periodBox->setCurrentIndex(int(period));
    const QLocale locale;
    m_periodLabel->setText(period == Period::Day     ? locale.toString(day, QLocale::LongFormat)
                           : period == Period::Month ? locale.toString(day, QStringLiteral("MMMM yyyy"))
                                                     : QString::number(day.year()));
    refreshTimeline();
}

void HistoryWindow::step(int direction)
{
    showPeriod(m_period, m_period == Period::Day     ? m_day.addDays(direction)
                         : m_period == Period::Month ? m_day.addMonths(direction)
                                                     : m_day.addYears(direction));
}

void HistoryWindow::refreshTimeline()
{
    // Only the period is read, and what was in place when it began.
    const auto [from, to] = periodShown();
    const HistoryKinds kinds = m_model->kinds();
    m_timeline->setPeriod(from, to, QDateTime::currentMSecsSinceEpoch(), m_store.period(from, to, kinds), kinds,
                          m_store.beginning().value_or(from));
}

bool HistoryWindow::exportCsv(const QString& path, QString* error)
{
    QSaveFile file(path);
    const QByteArray text = HistoryText::csv(m_store.all(m_model->kinds())).toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

void HistoryWindow::exportClicked()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QStringLiteral("address-history.csv"),
                                     QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    m_note->setText(exportCsv(path, &error) ? QStringLiteral("Exported to %1").arg(path)
                                            : QStringLiteral("Not exported: %1").arg(error));
}

HistoryWindows::~HistoryWindows()
{
    delete m_window;
}

void HistoryWindows::show()
{
    if (!m_window) {
        m_window = new HistoryWindow(m_store);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void HistoryWindows::unload()
{
    if (m_window)
        m_window->close();
}
