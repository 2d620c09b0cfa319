#include "configure/PlaceholderTools.h"

#include "core/NotifySettings.h"
#include "notify/MailText.h"
#include "notify/NotificationHost.h"
#include "notify/WebNotifier.h"
#include "platform/DisplayedUrl.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include <functional>

namespace {

QToolButton* menuButton(const char* objectName, const QList<Placeholder>& placeholders,
                        const std::function<void(const QString&)>& insert)
{
    auto* button = new QToolButton;
    button->setObjectName(QLatin1String(objectName));
    button->setText(QStringLiteral("Insert"));
    button->setAccessibleName(QStringLiteral("Insert placeholder"));
    button->setToolTip(QStringLiteral("Insert a placeholder for an address at the cursor"));
    button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(button);
    for (const Placeholder& placeholder : placeholders) {
        const QString name = placeholder.name;
        menu->addAction(name, button, [insert, name] { insert(name); });
    }
    button->setMenu(menu);
    return button;
}

} // namespace

QToolButton* placeholderButton(const char* objectName, const QList<Placeholder>& placeholders, QLineEdit* field)
{
    return menuButton(objectName, placeholders, [field](const QString& name) {
        field->insert(name);
        field->setFocus();
    });
}

QToolButton* placeholderButton(const char* objectName, const QList<Placeholder>& placeholders, QPlainTextEdit* field)
{
    return menuButton(objectName, placeholders, [field](const QString& name) {
        field->insertPlainText(name);
        field->setFocus();
    });
}

QLabel* previewLabel(const char* objectName)
{
    auto* label = new QLabel;
    label->setObjectName(QLatin1String(objectName));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

NotificationPreviews notificationPreviews(NotificationHost& host)
{
    const NotifySettings& values = host.notifySettings();
    const QString internal = host.internalAddress();
    const QString external = host.externalAddress();
    const QString external6 = host.externalIPv6Address();
    const auto filled = [&](const QString& text) {
        return substitutePlaceholders(text, programPlaceholders(), internal, external, external6,
                                      OwnIPv6{host.internalIPv6Address(), host.ipv6Prefix()});
    };
    NotificationPreviews previews;
    previews.url = values.url.isEmpty() ? QString() : displayedUrl(webNotificationUrl(host));
    if (!values.program.isEmpty())
        previews.commandLine = (filled(values.program) + u' ' + filled(values.arguments)).trimmed();
    MailBodyInputs body;
    body.useBody = values.useBody;
    body.bodyTemplate = values.body;
    body.internalAddress = internal;
    body.externalAddress = external;
    body.externalIPv6Address = external6;
    body.internalIPv6Address = host.internalIPv6Address();
    body.ipv6Prefix = host.ipv6Prefix();
    body.now = QDateTime::currentDateTime();
    body.product = host.product();
    previews.mailBody = ComposeMailBody(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return previews;
}
