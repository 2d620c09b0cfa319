#pragma once

#include <QWidget>

class QLabel;
class QMenu;

/// The address overlay: a small borderless window that stays above ordinary windows and off the task bar, and
/// shows the internal, external and external IPv6 addresses, dimmed with their age when outdated. It has no logic of its own; its menu `mnuPopup`
/// (0 "Refresh", 1 "Hide") is forwarded to the owner through mnuPopupItem_Click. The left button drags it;
/// where it was dropped goes to the owner through moved().
class Form2 : public QWidget
{
    Q_OBJECT
public:
    static constexpr int DesignWidth = 191;
    static constexpr int DesignHeight = 50;  // three lines of 16: internal, external, external IPv6
    static constexpr int Padding = 6;        // around the lines, inside the window's edge

    explicit Form2(QWidget* parent = nullptr);

    /// Writes both address labels. A text wider than its label (an IPv6 address) widens the window to
    /// the right, so that nothing is cut off; the window never moves.
    void setAddresses(const QString& internal, const QString& external);
    QString internalAddress() const;
    QString externalAddress() const;
    /// The IPv6 line: the public IPv6 address or "none".
    void setExternalIPv6(const QString& address);
    QString externalIPv6Address() const;
    /// Addresses from before a failed lookup: dimmed, and a line under them saying @p asOf ("as of 12:04",
    /// "not found yet"), as the main window shows them. "" while they are current.
    void setOutdated(const QString& asOf);
    QString outdated() const;
    /// The machine's own stable IPv6 address: a fourth line, shown only while there is one ("none": hidden). When
    /// @p temporarySeen, the public IPv6 line says that the sources see a temporary address.
    void setOwnIPv6(const QString& internal6, bool temporarySeen);
    QString internalIPv6Address() const;
    QMenu* mnuPopup() const { return m_menu; }

signals:
    void mnuPopupItem_Click(int index);
    /// The user dropped the overlay at @p topLeft (global coordinates).
    void moved(const QPoint& topLeft);

protected:
    /// Form_MouseUp and Label1..4_MouseUp: the labels pass their clicks on to the window.
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void relayout();

    QLabel* Label1 = nullptr;  // internal address
    QLabel* Label2 = nullptr;  // external address
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblIPv6Caption = nullptr;
    QLabel* lblIPv6 = nullptr;  // external IPv6 address
    QLabel* lblAsOf = nullptr;  // "as of 12:04" under the addresses while they are outdated
    QLabel* lblIPv6InternalCaption = nullptr;
    QLabel* lblIPv6Internal = nullptr; // the stable IPv6 address
    QMenu* m_menu = nullptr;
    QPoint m_grab;          // where in the window the left button went down
    bool m_dragged = false; // the window moved since
};
