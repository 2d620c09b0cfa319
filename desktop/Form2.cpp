#include "desktop/Form2.h"

#include "platform/WindowHints.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

#include <utility>

namespace {

constexpr int AddressLeft = 60;
constexpr int AddressWidth = 125;
constexpr int RightMargin = 6;
constexpr int CaptionWidth = 49;
constexpr int CaptionHeight = 13;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

Form2::Form2(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("IP Address Overlay"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::OpenHandCursor); // it can be dragged
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setFixedSize(DesignWidth, DesignHeight);

    const QString none = QStringLiteral("000.000.000.000");
    Label3 = makeLabel(this, "Label3", QStringLiteral("Internal:"), QRect(4, 0, 49, 13));
    Label1 = makeLabel(this, "Label1", none, QRect(AddressLeft, 0, AddressWidth, 17));
    Label4 = makeLabel(this, "Label4", QStringLiteral("External:"), QRect(4, 16, 49, 13));
    Label2 = makeLabel(this, "Label2", none, QRect(AddressLeft, 16, AddressWidth, 17));
    lblIPv6Caption = makeLabel(this, "lblIPv6Caption", QStringLiteral("External IPv6:"), QRect(4, 32, 49, 13));
    lblIPv6 = makeLabel(this, "lblIPv6", QStringLiteral("none"), QRect(AddressLeft, 32, AddressWidth, 17));
    QFont addressFont(QStringLiteral("Verdana"));
    addressFont.setPointSizeF(9.75);
    addressFont.setBold(true);
    Label1->setFont(addressFont);
    Label2->setFont(addressFont);
    lblIPv6->setFont(addressFont);
    lblIPv6InternalCaption =
        makeLabel(this, "lblIPv6InternalCaption", QStringLiteral("Internal IPv6:"), QRect(4, 48, 49, 13));
    lblIPv6Internal =
        makeLabel(this, "lblIPv6Internal", QStringLiteral("none"), QRect(AddressLeft, 48, AddressWidth, 17));
    lblIPv6Internal->setFont(addressFont);
    lblAsOf = makeLabel(this, "lblAsOf", QString(), QRect(4, 48, 49, 13));
    QFont italic = lblAsOf->font();
    italic.setItalic(true);
    lblAsOf->setFont(italic);
    lblAsOf->hide();
    setOwnIPv6(QStringLiteral("none"), false); // lays the window out

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnuPopup"));
    const QStringList captions{QStringLiteral("Refresh"), QStringLiteral("Hide")};
    for (int index = 0; index < captions.size(); ++index) {
        QAction* item = m_menu->addAction(captions[index]);
        item->setObjectName(QStringLiteral("mnuPopupItem%1").arg(index));
        connect(item, &QAction::triggered, this, [this, index] { emit mnuPopupItem_Click(index); });
    }
}

void Form2::setAddresses(const QString& internal, const QString& external)
{
    Label1->setText(internal);
    Label2->setText(external);
    relayout();
}

void Form2::setExternalIPv6(const QString& address)
{
    lblIPv6->setText(address);
    relayout();
}

QString Form2::externalIPv6Address() const
{
    return lblIPv6->text();
}

void Form2::setOutdated(const QString& asOf)
{
    lblAsOf->setText(asOf);
    lblAsOf->setVisible(!asOf.isEmpty());
    for (QLabel* address : {Label1, Label2, lblIPv6, lblIPv6Internal})
        address->setForegroundRole(asOf.isEmpty() ? QPalette::WindowText : QPalette::PlaceholderText);
    relayout();
}

QString Form2::outdated() const
{
    return lblAsOf->text();
}

void Form2::setOwnIPv6(const QString& internal6, bool temporarySeen)
{
    const bool own = internal6 != QLatin1String("none") && !internal6.isEmpty();
    lblIPv6Internal->setText(internal6);
    lblIPv6InternalCaption->setVisible(own);
    lblIPv6Internal->setVisible(own);
    lblIPv6->setToolTip(own && temporarySeen ? QStringLiteral("The internet sees a temporary address; AAAA records "
                                                              "use the stable one.")
                                             : QString());
    relayout();
}

QString Form2::internalIPv6Address() const
{
    return lblIPv6Internal->text();
}

void Form2::relayout()
{
    // Screen readers read a label's name, not its text: the name carries the caption and the address.
    Label1->setAccessibleName(QStringLiteral("Internal: ") + Label1->text());
    Label2->setAccessibleName(QStringLiteral("External: ") + Label2->text());
    lblIPv6->setAccessibleName(QStringLiteral("External IPv6: ") + lblIPv6->text());
    if (!lblAsOf->text().isEmpty()) {
        for (QLabel* address : {Label1, Label2, lblIPv6})
            address->setAccessibleName(address->accessibleName() + QStringLiteral(" (") + lblAsOf->text() + u')');
    }

    // The design sizes fit the captions and an IPv4 address in the fonts it was drawn with; with wider
    // fonts, or an IPv6 address, the columns grow to the right so that nothing is cut off.
    const QFontMetrics captions(Label3->font());
    const int captionWidth =
        std::max({CaptionWidth, captions.horizontalAdvance(Label3->text()), captions.horizontalAdvance(Label4->text()),
                  captions.horizontalAdvance(lblIPv6Caption->text()),
                  captions.horizontalAdvance(lblIPv6InternalCaption->text())});
    const int captionHeight = std::max(CaptionHeight, captions.height());
    Label3->setGeometry(Padding + 4, Padding, captionWidth, captionHeight);
    Label4->setGeometry(Padding + 4, Padding + 16, captionWidth, captionHeight);
    lblIPv6Caption->setGeometry(Padding + 4, Padding + 32, captionWidth, captionHeight);
    lblIPv6InternalCaption->setGeometry(Padding + 4, Padding + 48, captionWidth, captionHeight);
    const bool own6 = !lblIPv6Internal->isHidden();

    const QFontMetrics addresses(Label1->font());
    const int left = std::max(AddressLeft, 4 + captionWidth + 7);
    const int width =
        std::max({AddressWidth, addresses.horizontalAdvance(Label1->text()) + 2,
                  addresses.horizontalAdvance(Label2->text()) + 2, addresses.horizontalAdvance(lblIPv6->text()) + 2,
                  own6 ? addresses.horizontalAdvance(lblIPv6Internal->text()) + 2 : 0});
    Label1->setGeometry(Padding + left, Padding, width, 17);
    Label2->setGeometry(Padding + left, Padding + 16, width, 17);
    lblIPv6->setGeometry(Padding + left, Padding + 32, width, 17);
    lblIPv6Internal->setGeometry(Padding + left, Padding + 48, width, 17);
    lblIPv6Internal->setAccessibleName(QStringLiteral("Internal IPv6: ") + lblIPv6Internal->text());
    const int own6Height = own6 ? 16 : 0;
    const int asOfHeight = lblAsOf->isHidden() ? 0 : 16;
    lblAsOf->setGeometry(Padding + left, Padding + 48 + own6Height, width, captionHeight + 2);
    setFixedSize(std::max(DesignWidth, left + width + RightMargin) + 2 * Padding,
                 DesignHeight + own6Height + asOfHeight + 2 * Padding);
}

QString Form2::internalAddress() const
{
    return Label1->text();
}

QString Form2::externalAddress() const
{
    return Label2->text();
}

void Form2::showEvent(QShowEvent* event)
{
    // Before it is mapped: Qt::Tool alone leaves it on some task bars (the platform window is new after a change of
    // flags, so at every show).
    WindowHints::keepOffTaskbar(QGuiApplication::platformName(), winId());
    QWidget::showEvent(event);
}

void Form2::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_grab = event->position().toPoint();
        m_dragged = false;
    }
    event->accept();
}

void Form2::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) {
        move(event->globalPosition().toPoint() - m_grab);
        m_dragged = true;
    }
    event->accept();
}

void Form2::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        m_menu->popup(event->globalPosition().toPoint());
    else if (event->button() == Qt::LeftButton && std::exchange(m_dragged, false))
        emit moved(pos());
    event->accept();
}
