#pragma once

#include "core/WatchState.h"

#include <QGroupBox>
#include <QTimer>

#include <functional>

class QLabel;
class QPushButton;

/// The frame "Local IP Addresses": the three addresses, each focusable and with a Copy button, and the
/// state at a glance (an icon and a line of text, the last and the next check). Addresses from before a
/// failed lookup say how old they are. The "2 min ago" text follows the clock once a minute, and only
/// while the frame is shown.
class AddressFrame : public QGroupBox
{
    Q_OBJECT
public:
    enum class Address
    {
        Internal,
        External,
        ExternalIPv6,
    };

    explicit AddressFrame(QWidget* parent = nullptr);

    void showAddresses(const QString& internal, const QString& external, const QString& externalIPv6);
    /// The machine's own stable IPv6 address and its prefix, and whether the address the sources see is a temporary
    /// one; the lines show only while there is a stable address ("none": hidden).
    void showOwnIPv6(const QString& internal6, const QString& prefix6, bool temporarySeen);
    void showState(const WatchState& state);
    /// The router's own WAN address ("100.64.3.4 (NAT-PMP)", "no answer"); the line shows once the router was asked.
    void showRouter(const QString& text);
    QString address(Address which) const;
    /// Puts @p which on the clipboard and says "Copied" for two seconds.
    void copy(Address which);
    /// Ctrl+C: the address whose label has the focus, else the external one.
    void copyFocusedOrExternal();
    /// Replaces the wall clock (tests).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* label(Address which) const;
    void showTimes();

    QLabel* Label1 = nullptr;  // external address
    QLabel* Label2 = nullptr;  // internal address
    QLabel* lblIPv6 = nullptr; // external IPv6 address
    QList<QLabel*> m_asOf;     // "as of 12:04" beside each address, in the order of Address
    QList<QPushButton*> m_copy; // cmdCopy1, cmdCopy2, cmdCopy6 in the order of Address
    QLabel* m_stateIcon = nullptr;
    QLabel* m_stateText = nullptr;
    QLabel* m_checked = nullptr;
    QLabel* m_copied = nullptr;
    QLabel* m_routerCaption = nullptr;
    QLabel* m_router = nullptr;
    QList<QWidget*> m_own6;        // the internal IPv6 and prefix lines with their captions
    QLabel* m_internal6 = nullptr; // the stable IPv6 address
    QLabel* m_prefix6 = nullptr;
    QLabel* m_temporaryNote = nullptr; // the sources see a temporary address
    WatchState m_state;
    QTimer* m_minute = nullptr;      // "minuteTimer": runs only while shown
    QTimer* m_copiedShown = nullptr; // "copiedTimer": single shot, hides "Copied"
    std::function<QDateTime()> m_clock;
};
