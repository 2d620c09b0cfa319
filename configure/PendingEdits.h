#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QWidget;

/// What was typed into a dialog's fields and not stored yet. Typing does not write the settings file at each
/// keystroke: a field's edit is stored once the typing pauses, when the field is left, when anything else is
/// stored (a box ticked, a list entry chosen, a test started) and when the owner calls storeNow() as it closes.
class PendingEdits : public QObject
{
    Q_OBJECT
public:
    /// How long the typing pauses before what was typed is stored.
    static constexpr int PauseMs = 500;

    explicit PendingEdits(QObject* parent = nullptr);

    /// Keeps @p store as what @p field stores next (replacing what it kept for it) and waits for a pause.
    void defer(QWidget* field, std::function<void()> store);
    /// Stores what is pending, in the order the fields were first edited, and then runs @p store.
    void storeNow(const std::function<void()>& store = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Edit
    {
        QPointer<QWidget> field;
        std::function<void()> store;
    };
    QList<Edit> m_edits;
    QTimer m_pause;
};
