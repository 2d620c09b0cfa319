#include "desktop/DesktopIntegration.h"

#include "core/AddressWatcher.h"
#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "desktop/FileExists.h"
#include "desktop/Form2.h"
#include "widgets/WidgetHelpers.h"
#include "desktop/Form8.h"
#include "desktop/TrayIcon.h"
#include "desktop/frmAbout.h"
#include "desktop/frmSplash.h"
#include "desktop/WindowPlacement.h"
#include "desktop/modIcon.h"
#include "desktop/modOnTop.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLoggingCategory>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>

Q_LOGGING_CATEGORY(lcDesktop, "vistrel.desktop")

namespace {

const QString DataFolderName = QStringLiteral("tarnwick-ip-vistrel");

QStringList defaultHelpFolders()
{
    QStringList folders{QCoreApplication::applicationDirPath()};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QLatin1Char('/') + DataFolderName;
#ifdef VISTREL_INSTALL_DATADIR
    folders << QStringLiteral(VISTREL_INSTALL_DATADIR);
#endif
    folders.removeDuplicates();
    return folders;
}

} // namespace

DesktopIntegration::DesktopIntegration(QWidget& mainWindow, AddressWatcher& watcher, Settings& settings,
                                       QObject* parent)
    : QObject(parent), m_window(mainWindow), m_watcher(watcher), m_settings(settings), m_executablePath(QCoreApplication::applicationFilePath()),
      m_helpFolders(defaultHelpFolders()), m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      m_quit([] { QCoreApplication::exit(0); }), m_tray(std::make_unique<TrayIcon>()),
      m_notice(std::make_unique<DesktopNotice>())
{
    connect(m_tray.get(), &TrayIcon::mnuPopupItem_Click, this, &DesktopIntegration::trayMenu);
    m_notice->setFallback([this](const QString& summary, const QString& body) { return showBalloon(summary, body); });
    connect(&watcher, &AddressWatcher::addressesUpdated, this, &DesktopIntegration::updateOverlay);
    connect(&watcher, &AddressWatcher::addressesChanged, this, &DesktopIntegration::addressesChanged);
    // The line's NAT state, told once per change of it; its end is only the status line's.
    connect(&watcher, &AddressWatcher::natChanged, this,
            [this](RouterCheck::Nat, RouterCheck::Nat after, const QString& text) {
                if (after != RouterCheck::Nat::None && m_settings.readFlag(Key::DesktopNotice))
                    m_notice->show(QStringLiteral("Incoming connections"), text);
            });
    connect(&watcher, &AddressWatcher::pendingChanged, this, &DesktopIntegration::pendingNoticesChanged);
    connect(&watcher, &AddressWatcher::stateChanged, this, &DesktopIntegration::showState);
    m_state = watcher.state();
}

DesktopIntegration::~DesktopIntegration()
{
    delete m_overlay;
    delete m_help;
    delete m_about;
    delete m_splash;
}

// ---------------------------------------------------------------------------------------------
// Splash and start-up

void DesktopIntegration::startWithSplash(std::function<void()> loadMainWindow, int tickMs)
{
    // The program ends when the main window unloads, not when its last visible window closes (the main
    // window may be hidden in the notification area while the help window is closed).
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_splash = new frmSplash(
        [this, load = std::move(loadMainWindow)] {
            load();
            showMainWindow();
        },
        tickMs);
    m_splash->show();
    m_splash->Form_Load();
}

void DesktopIntegration::showMainWindow()
{
    // "Start minimized": the window stays in the notification area; without one it waits in the task bar.
    if (!m_window.isMinimized())
        m_window.show();
    else if (!trayAvailable())
        m_window.showMinimized();
    // After the main window, so that it does not cover the overlay where no window manager keeps that on top.
    if (m_settings.readFlag(Key::OverlayShown) && !isOverlayVisible())
        setOverlayVisible(true);
}

// ---------------------------------------------------------------------------------------------
// Icons, tray and minimising

void DesktopIntegration::setWindowIcons()
{
    SetWindowIcon(&m_window, true);
    if (m_splash)
        m_splash->setWindowIcon(m_window.windowIcon());
    m_window.installEventFilter(this);
}

void DesktopIntegration::addTrayIcon()
{
    m_tray->AddTrayIcon(trayIcon(), QString());
    updateTrayTip();
}

void DesktopIntegration::updateTrayTip()
{
    QStringList lines{LoadProductInfo().productName};
    if (!m_watcher.internalAddress().isEmpty())
        lines << QStringLiteral("Internal: ") + m_watcher.internalAddress();
    if (!m_watcher.externalAddress().isEmpty())
        lines << QStringLiteral("External: ") + m_watcher.externalAddress();
    lines << stateTip();
    if (!m_pendingSummary.isEmpty())
        lines << m_pendingSummary;
    m_tray->icon()->setToolTip(lines.join(QLatin1Char('\n')));
    if (m_overlay) {
        m_overlay->setToolTip(stateTip());
        m_overlay->setOutdated(outdatedText(m_state, QDateTime::currentDateTime()));
    }
}

QString DesktopIntegration::stateTip() const
{
    const QDateTime now = QDateTime::currentDateTime();
    // A notice pending has its own line; the state says only that one is.
    QString tip = m_state.condition == WatchState::Condition::NoticePending ? QStringLiteral("Notice pending")
                                                                            : m_state.headline();
    if (m_state.lastChecked.isValid())
        tip += QStringLiteral("\nLast checked %1").arg(clockText(m_state.lastChecked, now));
    return tip;
}

void DesktopIntegration::showState(const WatchState& state)
{
    const bool markChanged = state.condition != m_state.condition;
    m_state = state;
    if (markChanged)
        m_tray->icon()->setIcon(trayIcon());
    updateTrayTip();
}

QIcon DesktopIntegration::trayIcon() const
{
    // A mark for addresses that are not current: a warning when stale, an error when none was ever found.
    switch (m_state.condition) {
    case WatchState::Condition::Error:
        return markedProductIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical));
    case WatchState::Condition::Stale:
        return markedProductIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
    default:
        return productIcon();
    }
}

void DesktopIntegration::pendingNoticesChanged(const QString& summary)
{
    m_pendingSummary = summary;
    updateTrayTip();
}

void DesktopIntegration::addressesChanged(const QList<AddressChange>& changes)
{
    if (!changes.isEmpty() && m_settings.readFlag(Key::DesktopNotice))
        m_notice->show(changes);
}

bool DesktopIntegration::showBalloon(const QString& summary, const QString& body)
{
    if (!trayAvailable() || !QSystemTrayIcon::supportsMessages())
        return false;
    m_tray->icon()->showMessage(summary, body, productIcon());
    return true;
}

void DesktopIntegration::removeTrayIcon()
{
    m_tray->RemoveTrayIcon();
}

bool DesktopIntegration::trayAvailable() const
{
    if (m_trayAvailable)
        return m_trayAvailable();
    return QSystemTrayIcon::isSystemTrayAvailable() && m_tray->icon()->isVisible();
}

void DesktopIntegration::mainWindowStateChanged(bool minimized)
{
    if (minimized) {
        m_settings.write(Key::Minimized, 1);
        if (!trayAvailable()) {
            // Without a notification area the task bar is the only way back: the window stays there.
            qCDebug(lcDesktop) << "no notification area: the minimised window stays in the task bar";
            return;
        }
        // Hidden once the window system has finished minimising; "Show" may have come in between.
        QTimer::singleShot(0, this, [this] {
            if (m_window.isMinimized())
                m_window.hide();
        });
        return;
    }
    if (!m_window.isVisible() && !m_unloaded)
        m_window.show();
    m_settings.write(Key::Minimized, 0);
}

bool DesktopIntegration::eventFilter(QObject* watched, QEvent* event)
{
    // Every resize of the visible window records "not minimised" again (written only when it differs).
    if (watched == &m_window && event->type() == QEvent::Resize && m_window.isVisible() && !m_window.isMinimized()) {
        if (m_settings.read(Key::Minimized) != QStringLiteral("0"))
            m_settings.write(Key::Minimized, 0);
    }
    return QObject::eventFilter(watched, event);
}

void DesktopIntegration::trayMenu(int index)
{
    switch (index) {
    case TrayIcon::Show:
        m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
        m_window.show();
        m_window.raise();
        m_window.activateWindow();
        break;
    case TrayIcon::Overlay:
        toggleOverlay();
        break;
    case TrayIcon::Exit:
        m_window.close();
        break;
    case TrayIcon::Refresh:
        emit refreshRequested();
        break;
    case TrayIcon::CopyExternal:
        copyAddress(m_watcher.externalAddress());
        break;
    case TrayIcon::CopyInternal:
        copyAddress(m_watcher.internalAddress());
        break;
    case TrayIcon::History:
        emit historyRequested();
        break;
    default:
        break;
    }
}

void DesktopIntegration::copyAddress(const QString& address)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(address);
    if (trayAvailable())
        m_tray->icon()->showMessage(QStringLiteral("Copied"), address, QSystemTrayIcon::NoIcon, 2000);
}

// ---------------------------------------------------------------------------------------------
// Overlay

void DesktopIntegration::placeOverlay(Form2* overlay)
{
    // Where it was dropped last, when that is still on a screen; else the top right of the main window's screen,
    // clear of the title bars in the top left.
    const QPoint stored(m_settings.readInt(Key::OverlayX), m_settings.readInt(Key::OverlayY));
    if (stored.x() != OverlayNotPlaced && stored.y() != OverlayNotPlaced && QGuiApplication::screenAt(stored)) {
        overlay->move(stored);
        return;
    }
    const QScreen* screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const int margin = 24;
    overlay->move(area.right() - overlay->width() - margin, area.top() + margin);
}

Form2* DesktopIntegration::loadOverlay()
{
    if (m_overlay)
        return m_overlay;
    m_overlay = new Form2;
    m_overlay->setWindowIcon(productIcon());
    m_overlay->setAddresses(m_watcher.internalAddress(), m_watcher.externalAddress());
    m_overlay->setExternalIPv6(m_watcher.externalIPv6Address());
    m_overlay->setOwnIPv6(m_watcher.internalIPv6Address(), m_watcher.isExternalIPv6Temporary());
    m_overlay->setToolTip(stateTip());
    m_overlay->setOutdated(outdatedText(m_state, QDateTime::currentDateTime()));
    placeOverlay(m_overlay);
    connect(m_overlay, &Form2::mnuPopupItem_Click, this, &DesktopIntegration::overlayMenu);
    connect(m_overlay, &Form2::moved, this, [this](const QPoint& topLeft) {
        m_settings.write(Key::OverlayX, topLeft.x());
        m_settings.write(Key::OverlayY, topLeft.y());
    });
    SetTopmost(m_overlay, true);
    return m_overlay;
}

void DesktopIntegration::updateOverlay()
{
    // Made when first shown, with the addresses of then: until that, only the tray's tip follows the lookups.
    if (m_overlay) {
        m_overlay->setAddresses(m_watcher.internalAddress(), m_watcher.externalAddress());
        m_overlay->setExternalIPv6(m_watcher.externalIPv6Address());
        m_overlay->setOwnIPv6(m_watcher.internalIPv6Address(), m_watcher.isExternalIPv6Temporary());
    }
    updateTrayTip();
}

bool DesktopIntegration::isOverlayVisible() const
{
    return m_overlay && m_overlay->isVisible();
}

void DesktopIntegration::setOverlayVisible(bool visible)
{
    if (visible)
        loadOverlay()->show();
    else if (m_overlay)
        m_overlay->hide();
    // Remembered for the next start (shutdown closes the overlay without this).
    if (m_settings.readFlag(Key::OverlayShown) != visible)
        m_settings.writeFlag(Key::OverlayShown, visible);
    emit overlayShown(visible);
}

void DesktopIntegration::toggleOverlay()
{
    setOverlayVisible(!isOverlayVisible());
}

void DesktopIntegration::overlayMenu(int index)
{
    if (index == 0)  // "Refresh"
        emit refreshRequested();
    else if (index == 1)  // "Hide"
        setOverlayVisible(false);
}

// ---------------------------------------------------------------------------------------------
// Help, About and website

QString DesktopIntegration::findHelpFile() const
{
    for (const QString& folder : m_helpFolders) {
        const QString found = findExistingFile(folder + QStringLiteral("/Help.rtf"));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

void DesktopIntegration::showHelp()
{
    if (!m_help) {
        const QString file = findHelpFile();
        if (file.isEmpty()) {
            qCDebug(lcDesktop) << "no Help.rtf in" << m_helpFolders;
            return;  // without the file the help window stays hidden
        }
        m_help = new Form8(m_settings);
        m_help->setWindowIcon(productIcon());
        m_help->Form_Load(file);
        placeOnScreenOf(m_help, &m_window);
    }
    m_help->show();
    m_help->raise();
}

void DesktopIntegration::showAbout()
{
    if (!m_about) {
        m_about = new frmAbout;
        m_about->setWindowIcon(productIcon());
        m_about->Form_Load(LoadProductInfo());
        connect(m_about, &frmAbout::lblWebsite_Click, this, &DesktopIntegration::showWebsite);
        placeOnScreenOf(m_about, &m_window);
    }
    m_about->show();
    m_about->raise();
}

void DesktopIntegration::showWebsite()
{
    m_websitePage = QStringLiteral("Website");
    if (m_website)
        return;  // still loaded from the last request: its loading steps do not run again
    m_website = new frmWebsite(m_websitePage, m_openUrl, this);
    connect(m_website, &frmWebsite::unloaded, this, &DesktopIntegration::websiteUnloaded);
    m_website->Form_Load();
}

void DesktopIntegration::websiteUnloaded()
{
    m_website = nullptr;
    if (m_unloaded && m_quit)
        m_quit();
}

// ---------------------------------------------------------------------------------------------
// Run at logon and shutdown

bool DesktopIntegration::setRunAtLogon(bool enabled, QString* error)
{
    const QString programName = LoadProductInfo().productName;
    if (enabled)
        return m_runAtLogon.add(programName, m_executablePath, error);
    return m_runAtLogon.remove(programName, error);
}

bool DesktopIntegration::unload()
{
    m_unloaded = true;
    for (QWidget* window : std::initializer_list<QWidget*>{m_overlay, m_help, m_about, m_splash}) {
        if (window) {
            window->hide();
            window->deleteLater();
        }
    }
    // The website window lives for one second; the process ends when it has gone.
    return m_website != nullptr;
}
