#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class QMenu;

/// The icon in the notification area and its pop-up menu `mnuPopup` (module modTaskbar). Its items by index
/// (mnuPopupItem<index>): 0 "Show", 1 "Address Overlay On/Off", 2 "Exit", 3 "Refresh", 4 "Copy External IP",
/// 5 "Copy Internal IP", 6 "History"; the menu shows them grouped. The owner acts on mnuPopupItem_Click.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    /// Places the icon with its tip. Without a notification area nothing shows.
    void AddTrayIcon(const QIcon& icon, const QString& tip);
    void RemoveTrayIcon();

    enum Item
    {
        Show,
        Overlay,
        Exit,
        Refresh,
        CopyExternal,
        CopyInternal,
        History,
    };

    QMenu* mnuPopup() const { return m_menu.get(); }
    QSystemTrayIcon* icon() const { return m_icon; }

public slots:
    /// The icon's clicks: a left click opens the menu at the pointer; a right click opens it through the
    /// platform's context menu (which is this menu); double and middle clicks do nothing of their own.
    void Form_MouseMove(QSystemTrayIcon::ActivationReason reason);

signals:
    void mnuPopupItem_Click(int index);

private:
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
};
