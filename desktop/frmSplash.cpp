#include "desktop/frmSplash.h"

#include "core/ProductInfo.h"
#include "desktop/WindowPlacement.h"
#include "desktop/modIcon.h"

#include <QLabel>
#include <QTimer>

frmSplash::frmSplash(std::function<void()> loadMainWindow, int tickMs, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_loadMainWindow(std::move(loadMainWindow))
{
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(480, 109);
    auto* Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 480, 109);
    Image1->setPixmap(productPicture(QStringLiteral("splash.png"), devicePixelRatio()));
    Image1->setScaledContents(true);  // when the screen is narrower than the picture
    Image1->setAccessibleName(QStringLiteral("Tarnwick IP Vistrel"));
    setWindowIcon(productIcon());

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
     // A coarse timer may stretch a 2 ms tick to many times that; the splash's length is 75 ticks as asked.
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer2->setInterval(tickMs);
    connect(Timer2, &QTimer::timeout, this, &frmSplash::Timer2_Timer);

    placeOnScreenOf(this, nullptr);  // before the main window exists: the primary screen
    Image1->resize(size());
}

void frmSplash::Form_Load()
{
    const ProductInfo& product = LoadProductInfo();
    setWindowTitle(product.productName);
    Timer2->start();
}

void frmSplash::Timer2_Timer()
{
    m_counter += 2;
    if (m_counter != HandOverCount)
        return;
    Timer2->stop();
    if (m_loadMainWindow)
        m_loadMainWindow();
    m_handedOver = true;
    hide();
    emit handOverDone();
}
