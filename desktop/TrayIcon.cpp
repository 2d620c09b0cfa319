#include "desktop/TrayIcon.h"

#include <QCursor>
#include <QLoggingCategory>
#include <QMenu>

Q_LOGGING_CATEGORY(lcTray, "vistrel.desktop.tray")

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), m_menu(std::make_unique<QMenu>())
{
    m_menu->setObjectName(QStringLiteral("mnuPopup"));
    m_menu->setTitle(QStringLiteral("PopupMenu"));
    const std::pair<Item, const char*> items[] = {{Show, "&Show"},
                                                  {Refresh, "&Refresh"},
                                                  {CopyExternal, "Copy &External IP"},
                                                  {CopyInternal, "Copy &Internal IP"},
                                                  {History, "&History"},
                                                  {Overlay, "Address &Overlay On/Off"},
                                                  {Exit, "E&xit"}};
    for (const auto& [index, caption] : items) {
        if (index == Overlay || index == Exit)
            m_menu->addSeparator();
        QAction* item = m_menu->addAction(QString::fromLatin1(caption));
        item->setObjectName(QStringLiteral("mnuPopupItem%1").arg(int(index)));
        connect(item, &QAction::triggered, this, [this, chosen = index] { emit mnuPopupItem_Click(chosen); });
    }
    m_icon = new QSystemTrayIcon(this);
    m_icon->setObjectName(QStringLiteral("trayIcon"));
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::Form_MouseMove);
}

TrayIcon::~TrayIcon()
{
    m_icon->setContextMenu(nullptr);
}

void TrayIcon::AddTrayIcon(const QIcon& icon, const QString& tip)
{
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_icon->show();
    else
        qCDebug(lcTray) << "no notification area: the icon is not shown";
}

void TrayIcon::RemoveTrayIcon()
{
    m_menu->hide();
    m_icon->hide();
}

void TrayIcon::Form_MouseMove(QSystemTrayIcon::ActivationReason reason)
{
    qCDebug(lcTray) << "activated" << reason;
    if (reason == QSystemTrayIcon::Trigger)
        m_menu->popup(QCursor::pos());
}
