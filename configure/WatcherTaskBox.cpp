#include "configure/WatcherTaskBox.h"

#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

WatcherTaskBox::WatcherTaskBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Watcher"), parent), m_task(QCoreApplication::applicationFilePath())
{
    m_check = named(new QCheckBox(QStringLiteral("Run the watcher without the window at l&ogon")), "chkWatcherTask");
    m_check->setToolTip(QStringLiteral("It looks the addresses up and notifies while nobody has the window open: "
                                       "the same as tarnwick-ip-vistrel --install-task (--remove-task undoes it)."));
    m_problem = named(new QLabel, "lblWatcherTask");
    m_problem->setWordWrap(true);
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_problem->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_check);
    layout->addWidget(m_problem);
    connect(m_check, &QCheckBox::toggled, this, &WatcherTaskBox::toggled);
}

void WatcherTaskBox::showEvent(QShowEvent* event)
{
    if (!m_read) {
        m_read = true;
        const QSignalBlocker quiet(m_check);
        m_check->setChecked(m_task.isInstalled());
    }
    QGroupBox::showEvent(event);
}

void WatcherTaskBox::toggled(bool run)
{
    QString error;
    const bool done = run ? m_task.install(&error) : m_task.remove(&error);
    m_problem->setText(error);
    m_problem->setVisible(!done);
    if (!done) {
        const QSignalBlocker quiet(m_check);
        m_check->setChecked(!run);
    }
}
