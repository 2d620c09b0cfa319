#include "mainwindow/AddressFrame.h"

#include "core/WatchedAddress.h"
#include "widgets/WidgetHelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

const char* const Captions[] = {"Internal", "External", "External IPv6"};

QStyle::StandardPixmap stateIcon(WatchState::Condition condition)
{
    switch (condition) {
    case WatchState::Condition::NotChecked:
        return QStyle::SP_BrowserReload;
    case WatchState::Condition::Current:
        return QStyle::SP_DialogApplyButton;
    case WatchState::Condition::NoticePending:
        return QStyle::SP_MessageBoxInformation;
    case WatchState::Condition::Stale:
        return QStyle::SP_MessageBoxWarning;
    case WatchState::Condition::Error:
        return QStyle::SP_MessageBoxCritical;
    }
    return QStyle::SP_MessageBoxQuestion;
}

} // namespace

AddressFrame::AddressFrame(QWidget* parent)
    : QGroupBox(QStringLiteral("Local IP Addresses"), parent), m_clock([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("Frame1"));
    QFont addressFont(QStringLiteral("Verdana"), 12);
    addressFont.setBold(true);
    Label2 = named(new QLabel, "Label2");
    Label1 = named(new QLabel, "Label1");
    lblIPv6 = named(new QLabel, "lblIPv6");
    QFont ipv6Font = addressFont;
    ipv6Font.setPointSize(10); // an IPv6 address is three times as long as the others
    lblIPv6->setFont(ipv6Font);
    auto* grid = new QGridLayout(this);
    const char* const captionNames[] = {"Label3", "Label4", "lblIPv6Caption"};
    const char* const captions[] = {"Internal:", "External:", "External IPv6:"};
    const char* const copyNames[] = {"cmdCopy1", "cmdCopy2", "cmdCopy6"};
    const char* const copyCaptions[] = {"Co&py", "Cop&y", "Copy IPv&6"};
    for (int row = 0; row < 3; ++row) {
        const auto which = static_cast<Address>(row);
        QLabel* shown = label(which);
        if (row < 2)
            shown->setFont(addressFont);
        // Reached with Tab, and selectable by keyboard as well as by mouse.
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        auto* asOf = named(new QLabel, row == 0 ? "lblAsOf1" : row == 1 ? "lblAsOf2" : "lblAsOf6");
        QFont italic = asOf->font();
        italic.setItalic(true);
        asOf->setFont(italic);
        asOf->hide();
        m_asOf << asOf;
        auto* button = named(new QPushButton(QLatin1String(copyCaptions[row])), copyNames[row]);
        button->setAccessibleName(row < 2 ? QStringLiteral("Copy %1 IP").arg(QLatin1String(Captions[row]))
                                          : QStringLiteral("Copy External IPv6"));
        button->setToolTip(QStringLiteral("Copy to clipboard"));
        connect(button, &QPushButton::clicked, this, [this, which] { copy(which); });
        m_copy << button;
        grid->addWidget(named(buddyLabel(QLatin1String(captions[row]), shown), captionNames[row]), row, 0);
        grid->addWidget(shown, row, 1);
        grid->addWidget(asOf, row, 2);
        grid->addWidget(button, row, 3);
    }

    m_stateIcon = named(new QLabel, "lblStateIcon");
    m_stateText = named(new QLabel, "lblState");
    m_stateText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_stateText->setWordWrap(true);
    m_checked = named(new QLabel, "lblChecked");
    m_copied = named(new QLabel(QStringLiteral("Copied")), "lblCopied");
    m_copied->setAccessibleName(QStringLiteral("Copied"));
    m_copied->hide();
    auto* stateRow = new QHBoxLayout;
    stateRow->addWidget(m_stateIcon);
    stateRow->addWidget(m_stateText, 1);
    stateRow->addWidget(m_copied);
    grid->addLayout(stateRow, 3, 0, 1, 4);
    grid->addWidget(m_checked, 4, 0, 1, 4);
    m_router = named(new QLabel, "lblRouter");
    m_router->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_routerCaption = named(buddyLabel(QStringLiteral("Router's WAN:"), m_router), "lblRouterCaption");
    grid->addWidget(m_routerCaption, 5, 0);
    grid->addWidget(m_router, 5, 1, 1, 3);
    showRouter(QString());
    m_internal6 = named(new QLabel, "lblIPv6Internal");
    m_prefix6 = named(new QLabel, "lblIPv6Prefix");
    for (QLabel* shown : {m_internal6, m_prefix6}) {
        shown->setFont(ipv6Font);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    m_temporaryNote = named(new QLabel(QStringLiteral("The internet sees a temporary address; AAAA records use the "
                                                      "stable one.")),
                            "lblIPv6Temporary");
    m_temporaryNote->setWordWrap(true);
    m_own6 = {named(buddyLabel(QStringLiteral("Internal IPv6:"), m_internal6), "lblIPv6InternalCaption"), m_internal6,
              named(buddyLabel(QStringLiteral("IPv6 prefix:"), m_prefix6), "lblIPv6PrefixCaption"), m_prefix6};
    grid->addWidget(m_own6[0], 6, 0);
    grid->addWidget(m_internal6, 6, 1, 1, 3);
    grid->addWidget(m_own6[2], 7, 0);
    grid->addWidget(m_prefix6, 7, 1, 1, 3);
    grid->addWidget(m_temporaryNote, 8, 0, 1, 4);
    showOwnIPv6(QStringLiteral("none"), QStringLiteral("none"), false);
    grid->setColumnStretch(1, 1);

    m_minute = named(new QTimer(this), "minuteTimer");
    m_minute->setInterval(60 * 1000);
    m_minute->setTimerType(Qt::VeryCoarseTimer);
    connect(m_minute, &QTimer::timeout, this, &AddressFrame::showTimes);
    m_copiedShown = named(new QTimer(this), "copiedTimer");
    m_copiedShown->setSingleShot(true);
    m_copiedShown->setInterval(2000);
    connect(m_copiedShown, &QTimer::timeout, m_copied, &QLabel::hide);
    showAddresses(QStringLiteral("000.000.000.000"), QStringLiteral("000.000.000.000"), QStringLiteral("none"));
    showState(m_state);
}

QLabel* AddressFrame::label(Address which) const
{
    switch (which) {
    case Address::Internal:
        return Label2;
    case Address::External:
        return Label1;
    case Address::ExternalIPv6:
        return lblIPv6;
    }
    return Label1;
}

QString AddressFrame::address(Address which) const
{
    return label(which)->text();
}

void AddressFrame::showAddresses(const QString& internal, const QString& external, const QString& externalIPv6)
{
    Label2->setText(internal);
    Label1->setText(external);
    lblIPv6->setText(externalIPv6);
    // Nothing to copy before an address is known ("000.000.000.000", "none").
    for (const Address which : {Address::Internal, Address::External, Address::ExternalIPv6})
        m_copy[int(which)]->setEnabled(!WatchedAddress::fromText(address(which)).isNone());
    showTimes();
}

void AddressFrame::showOwnIPv6(const QString& internal6, const QString& prefix6, bool temporarySeen)
{
    const bool own = QHostAddress(internal6).protocol() == QAbstractSocket::IPv6Protocol;
    m_internal6->setText(internal6);
    m_prefix6->setText(prefix6);
    for (QWidget* widget : std::as_const(m_own6))
        widget->setVisible(own);
    m_temporaryNote->setVisible(own && temporarySeen);
}

void AddressFrame::showState(const WatchState& state)
{
    m_state = state;
    // None before the first lookup has ended: loading an icon would only slow the start.
    m_stateIcon->setPixmap(state.condition == WatchState::Condition::NotChecked
                               ? QPixmap()
                               : style()->standardIcon(stateIcon(state.condition)).pixmap(QSize(16, 16)));
    m_stateText->setText(state.headline());
    m_stateText->setToolTip(state.problem.details);
    m_stateText->setAccessibleName(QStringLiteral("State: ") + state.headline());
    showTimes();
}

void AddressFrame::showRouter(const QString& text)
{
    m_router->setText(text);
    m_router->setAccessibleName(QStringLiteral("Router's WAN address: ") + text);
    m_routerCaption->setVisible(!text.isEmpty());
    m_router->setVisible(!text.isEmpty());
}

void AddressFrame::showTimes()
{
    const QDateTime now = m_clock();
    const QString last =
        m_state.lastChecked.isValid()
            ? QStringLiteral("%1, %2").arg(clockText(m_state.lastChecked, now), agoText(m_state.lastChecked, now))
            : QStringLiteral("not yet");
    const QString next = m_state.nextCheck.isValid() ? clockText(m_state.nextCheck, now)
                                                     : QStringLiteral("when you refresh (auto refresh is off)");
    m_checked->setText(QStringLiteral("Last checked: %1. Next check: %2.").arg(last, next));
    // Addresses from before a failed lookup say so, in words and in their screen-reader names.
    const QString asOf = outdatedText(m_state, now);
    for (int row = 0; row < 3; ++row) {
        QLabel* shown = label(static_cast<Address>(row));
        m_asOf[row]->setText(asOf);
        m_asOf[row]->setVisible(!asOf.isEmpty());
        shown->setForegroundRole(asOf.isEmpty() ? QPalette::WindowText : QPalette::PlaceholderText); // and dimmed
        shown->setAccessibleName(QLatin1String(Captions[row]) + QStringLiteral(": ") + shown->text() +
                                 (asOf.isEmpty() ? QString() : QStringLiteral(" (") + asOf + u')'));
    }
}

void AddressFrame::copy(Address which)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(address(which));
    m_copied->setText(QStringLiteral("Copied %1").arg(address(which)));
    m_copied->show();
    m_copiedShown->start();
}

void AddressFrame::copyFocusedOrExternal()
{
    for (const Address which : {Address::Internal, Address::External, Address::ExternalIPv6}) {
        if (label(which)->hasFocus())
            return copy(which);
    }
    copy(Address::External);
}

void AddressFrame::showEvent(QShowEvent* event)
{
    QGroupBox::showEvent(event);
    showTimes();
    m_minute->start();
}

void AddressFrame::hideEvent(QHideEvent* event)
{
    QGroupBox::hideEvent(event);
    m_minute->stop();
}
