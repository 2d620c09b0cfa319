#pragma once

#include "core/MessageBox.h"

/// The desktop's own message boxes (QMessageBox).
class DesktopMessageBox : public MessageBox
{
public:
    void show(const QString& text, Icon icon, const QString& title = QString()) override;
    bool ask(const QString& text, const QString& title = QString()) override;
};
