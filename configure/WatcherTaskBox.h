#pragma once

#include "platform/WatcherTask.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;

/// "Run the watcher without the window": a check box that makes or removes the system's task (WatcherTask) for
/// the program's executable. It shows whether the task is there when first shown; a failure unticks it again and
/// is told below it.
class WatcherTaskBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit WatcherTaskBox(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void toggled(bool run);

    WatcherTask m_task;
    QCheckBox* m_check = nullptr;
    QLabel* m_problem = nullptr;
    bool m_read = false;
};
