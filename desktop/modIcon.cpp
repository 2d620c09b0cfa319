#include "desktop/modIcon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QWidget>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// Adding a file decodes it: the sizes are read once, at the first use, and shared by every window. Never
// destroyed, so that no pixmap outlives the application object at exit.
const QIcon& loadedProductIcon()
{
    static const QIcon* const icon = [] {
        initResources();
        auto* loaded = new QIcon;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            loaded->addFile(QStringLiteral(":/vistrel/icons/tarnwick-ip-vistrel-%1.png").arg(size), QSize(size, size));
        return loaded;
    }();
    return *icon;
}

// The product icon, read when a window system first asks for its pixels (the offscreen one never does).
class ProductIconEngine : public QIconEngine
{
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        loadedProductIcon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return loadedProductIcon().pixmap(size, 1.0, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pixmap(size, mode, state).size();
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return loadedProductIcon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new ProductIconEngine; }
};

} // namespace

QIcon productIcon()
{
    return QIcon(new ProductIconEngine);
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
