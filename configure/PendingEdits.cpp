#include "configure/PendingEdits.h"

#include <QEvent>
#include <QWidget>

PendingEdits::PendingEdits(QObject* parent) : QObject(parent)
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_pause, &QTimer::timeout, this, [this] { storeNow(); });
}

void PendingEdits::defer(QWidget* field, std::function<void()> store)
{
    m_pause.start(); // restarted by each keystroke
    for (Edit& edit : m_edits) {
        if (edit.field == field) {
            edit.store = std::move(store);
            return;
        }
    }
    m_edits.append({field, std::move(store)});
    field->installEventFilter(this); // once: installing it again only moves it to the front
}

void PendingEdits::storeNow(const std::function<void()>& store)
{
    m_pause.stop();
    // Taken first: a store that changes a field (a preset filling in another) queues that edit anew.
    const QList<Edit> edits = std::exchange(m_edits, {});
    for (const Edit& edit : edits) {
        if (edit.field)
            edit.store();
    }
    if (store)
        store();
}

bool PendingEdits::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut)
        storeNow(); // the field was left
    return QObject::eventFilter(watched, event);
}
