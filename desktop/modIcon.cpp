#include "desktop/modIcon.h"

#include <QApplication>
#include <QPainter>
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

QIcon markedProductIcon(const QIcon& mark)
{
    const QIcon product = productIcon();
    QIcon marked;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = product.pixmap(QSize(size, size));
        QPainter painter(&pixmap);
        const int half = (size + 1) / 2 + size / 8; // a little over half: still readable at 16 px
        painter.drawPixmap(size - half, size - half, mark.pixmap(QSize(half, half)));
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

QPixmap productPicture(const QString& name, qreal devicePixelRatio)
{
    initResources();
    const QString path = QStringLiteral(":/vistrel/") + name;
    if (devicePixelRatio > 1.0) {
        // Twice as many pixels, drawn at the same size in device-independent pixels.
        QString large = path;
        large.insert(large.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
        QPixmap pixmap(large);
        if (!pixmap.isNull()) {
            pixmap.setDevicePixelRatio(2.0);
            return pixmap;
        }
    }
    return QPixmap(path);
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
