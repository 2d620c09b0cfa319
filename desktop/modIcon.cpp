#include "desktop/modIcon.h"

#include <QApplication>
#include <QWidget>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

QIcon productIcon()
{
    initResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/vistrel/icons/tarnwick-ip-vistrel-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap productPicture(const QString& name)
{
    initResources();
    return QPixmap(QStringLiteral(":/vistrel/") + name);
}

void SetWindowIcon(QWidget* window, bool ownerToo)
{
    if (!window)
        return;
    const QIcon icon = productIcon();
    if (ownerToo) {
        QWidget* owner = window;
        while (owner->parentWidget())
            owner = owner->parentWidget();
        owner->window()->setWindowIcon(icon);
        QApplication::setWindowIcon(icon);
    }
    window->setWindowIcon(icon);
}
