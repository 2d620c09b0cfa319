#include "widgets/DesktopMessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
QMessageBox::Icon qtIcon(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBox::Icon::Question:
        return QMessageBox::Question;
    case MessageBox::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBox::Icon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QString titleOrApplication(const QString& title)
{
    return title.isEmpty() ? QApplication::applicationName() : title;
}
} // namespace

void DesktopMessageBox::show(const QString& text, Icon icon, const QString& title)
{
    QMessageBox box(qtIcon(icon), titleOrApplication(title), text, QMessageBox::Ok);
    box.exec();
}

bool DesktopMessageBox::ask(const QString& text, const QString& title)
{
    return QMessageBox::question(nullptr, titleOrApplication(title), text) == QMessageBox::Yes;
}
