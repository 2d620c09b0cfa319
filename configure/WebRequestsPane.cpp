#include "configure/WebRequestsPane.h"

#include "configure/PendingEdits.h"
#include "core/Notifiers.h"
#include "core/Settings.h"
#include "keyring/PasswordStore.h"
#include "notify/NotificationHost.h"
#include "notify/WebEntries.h"
#include "notify/WebNotifier.h"
#include "notify/WebPresets.h"
#include "widgets/WidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace {
QLabel* wrapped(QLabel* label)
{
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

WebRequestsPane::WebRequestsPane(NotificationHost& host, Notifiers& notifiers, PendingEdits& edits, QWidget* parent)
    : QGroupBox(QStringLiteral("Web Requests 2 to 9"), parent), m_host(host), m_notifiers(notifiers), m_edits(edits)
{
    setObjectName(QStringLiteral("fraWebRequests"));
    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(
        wrapped(new QLabel(
            QStringLiteral("Requests besides request 1 above, sent on a change or as health pings. "
                           "Placeholders: %1. $Secret$ stands for the secret below, kept in the keyring.")
                .arg(webPlaceholderList()))),
        row++, 0, 1, 2);
    cmbEntry = named(new QComboBox, "cmbWebEntry");
    for (int entry = WebEntries::First; entry <= WebEntries::Last; ++entry)
        cmbEntry->addItem(entryLabel(entry));
    grid->addWidget(buddyLabel(QStringLiteral("Re&quest:"), cmbEntry), row, 0);
    grid->addWidget(cmbEntry, row++, 1);
    chkOn = named(new QCheckBox(QStringLiteral("Send as &chosen below")), "chkWebRequestOn");
    grid->addWidget(chkOn, row++, 1);
    cmbSends = named(new QComboBox, "cmbWebSends");
    cmbSends->addItems({QStringLiteral("on a change of address"), QStringLiteral("after every lookup (a health check)"),
                        QStringLiteral("after a failed lookup"),
                        QStringLiteral("after every lookup, a failed one to the URL below")});
    grid->addWidget(buddyLabel(QStringLiteral("S&ends:"), cmbSends), row, 0);
    grid->addWidget(cmbSends, row++, 1);
    txtFailUrl = named(new QLineEdit, "txtWebFailUrl");
    txtFailUrl->setPlaceholderText(QStringLiteral("https://hc-ping.com/UUID/fail"));
    grid->addWidget(buddyLabel(QStringLiteral("URL of a fa&iled lookup:"), txtFailUrl), row, 0);
    grid->addWidget(txtFailUrl, row++, 1);
    txtName = named(new QLineEdit, "txtWebName");
    grid->addWidget(buddyLabel(QStringLiteral("&Name:"), txtName), row, 0);
    grid->addWidget(txtName, row++, 1);
    cmbPreset = named(new QComboBox, "cmbWebPreset");
    cmbPreset->addItem(QStringLiteral("(your own: the HTTP status decides)"));
    for (const WebPreset& preset : webPresets())
        cmbPreset->addItem(QString::fromLatin1(preset.label));
    grid->addWidget(buddyLabel(QStringLiteral("Pre&set:"), cmbPreset), row, 0);
    grid->addWidget(cmbPreset, row++, 1);
    cmbMethod = named(new QComboBox, "cmbWebMethod");
    for (const auto method :
         {WebRequest::Method::Get, WebRequest::Method::Post, WebRequest::Method::Put, WebRequest::Method::Patch})
        cmbMethod->addItem(WebRequest::methodText(method));
    grid->addWidget(buddyLabel(QStringLiteral("&Method:"), cmbMethod), row, 0);
    grid->addWidget(cmbMethod, row++, 1);
    txtUrl = named(new QLineEdit, "txtWebUrl");
    grid->addWidget(buddyLabel(QStringLiteral("&URL:"), txtUrl), row, 0);
    grid->addWidget(txtUrl, row++, 1);
    txtHeaders = named(new QPlainTextEdit, "txtWebHeaders");
    txtHeaders->setTabChangesFocus(true);
    txtHeaders->setPlaceholderText(QStringLiteral("Name: value, one a line"));
    txtHeaders->setMaximumHeight(70);
    grid->addWidget(buddyLabel(QStringLiteral("&Headers:"), txtHeaders), row, 0);
    grid->addWidget(txtHeaders, row++, 1);
    cmbBodyType = named(new QComboBox, "cmbWebBodyType");
    cmbBodyType->addItems(
        {QStringLiteral("No body"), QStringLiteral("JSON"), QStringLiteral("Form"), QStringLiteral("Text")});
    grid->addWidget(buddyLabel(QStringLiteral("&Body:"), cmbBodyType), row, 0);
    grid->addWidget(cmbBodyType, row++, 1);
    txtBody = named(new QPlainTextEdit, "txtWebBody");
    txtBody->setTabChangesFocus(true);
    txtBody->setMaximumHeight(90);
    txtBody->setAccessibleName(QStringLiteral("Body"));
    grid->addWidget(txtBody, row++, 1);
    txtSecret = named(new QLineEdit, "txtWebSecret");
    txtSecret->setEchoMode(QLineEdit::Password);
    grid->addWidget(buddyLabel(QStringLiteral("Secre&t:"), txtSecret), row, 0);
    grid->addWidget(txtSecret, row++, 1);
    lblSecret = named(wrapped(new QLabel), "lblWebSecret");
    grid->addWidget(lblSecret, row++, 1);
    lblPreview = named(wrapped(new QLabel), "lblWebPreview");
    grid->addWidget(lblPreview, row++, 0, 1, 2);
    lblMessage = named(wrapped(new QLabel), "lblWebMessage");
    grid->addWidget(lblMessage, row++, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    cmdTest = named(new QPushButton(QStringLiteral("Test Now")), "cmdWebTest");
    cmdRemove = named(new QPushButton(QStringLiteral("Remo&ve")), "cmdWebRemove");
    buttons->addWidget(cmdTest);
    buttons->addWidget(cmdRemove);
    buttons->addStretch(1);
    grid->addLayout(buttons, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    connect(cmbEntry, &QComboBox::currentIndexChanged, this, &WebRequestsPane::showEntry);
    connect(cmbPreset, &QComboBox::activated, this, &WebRequestsPane::applyPreset);
    for (QLineEdit* edit : {txtName, txtUrl})
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { edited(edit); });
    for (QPlainTextEdit* edit : {txtHeaders, txtBody})
        connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] { edited(edit); });
    const auto storeNow = [this] { m_edits.storeNow([this] { store(); }); };
    for (QComboBox* box : {cmbMethod, cmbBodyType})
        connect(box, &QComboBox::activated, this, storeNow);
    connect(chkOn, &QCheckBox::toggled, this, storeNow);
    connect(cmbSends, &QComboBox::activated, this, [this] { m_edits.storeNow([this] { storeSends(); }); });
    connect(txtFailUrl, &QLineEdit::textEdited, this, [this] { m_edits.defer(txtFailUrl, [this] { storeSends(); }); });
    connect(txtSecret, &QLineEdit::textEdited, this, [this] { m_edits.defer(txtSecret, [this] { storeSecret(); }); });
    connect(cmdTest, &QPushButton::clicked, this, &WebRequestsPane::testNow);
    connect(cmdRemove, &QPushButton::clicked, this, &WebRequestsPane::removeEntry);
    showEntry(0);
}

int WebRequestsPane::entry() const
{
    return WebEntries::First + m_shown;
}

QString WebRequestsPane::entryLabel(int entry) const
{
    QString error;
    const std::optional<WebRequest> request = WebEntries::load(m_host.settings(), entry, &error);
    const QString what = request           ? request->name
                         : error.isEmpty() ? QStringLiteral("(none)")
                                           : QStringLiteral("(damaged)");
    return QStringLiteral("%1: %2").arg(entry + 1).arg(what);
}

WebRequest WebRequestsPane::shownRequest() const
{
    WebRequest request;
    request.name = txtName->text();
    request.on = chkOn->isChecked();
    request.method = WebRequest::Method(cmbMethod->currentIndex());
    request.url = txtUrl->text();
    request.headers = txtHeaders->toPlainText();
    request.body = txtBody->toPlainText();
    request.bodyType = WebRequest::BodyType(cmbBodyType->currentIndex());
    const int preset = cmbPreset->currentIndex() - 1;
    if (preset >= 0)
        request.preset = QString::fromLatin1(webPresets()[size_t(preset)].id);
    return request;
}

void WebRequestsPane::showEntry(int index)
{
    m_edits.storeNow(); // what was typed goes to the entry it was typed for
    m_shown = index;
    m_loading = true;
    QString error;
    const WebRequest request = WebEntries::load(m_host.settings(), entry(), &error).value_or(WebRequest{});
    chkOn->setChecked(request.on);
    txtName->setText(request.name);
    int preset = 0;
    for (size_t i = 0; i < webPresets().size(); ++i) {
        if (request.preset == QLatin1String(webPresets()[i].id))
            preset = int(i) + 1;
    }
    cmbPreset->setCurrentIndex(preset);
    showSends();
    cmbMethod->setCurrentIndex(int(request.method));
    txtUrl->setText(request.url);
    txtHeaders->setPlainText(request.headers);
    cmbBodyType->setCurrentIndex(int(request.bodyType));
    txtBody->setPlainText(request.body);
    PasswordStore* secrets = WebEntries::secretStore(m_host, entry());
    txtSecret->setText(secrets ? secrets->password() : m_host.settings().read(WebEntries::secretKey(entry())));
    lblSecret->setText(secrets ? secrets->placeText() : QString());
    lblMessage->setText(
        error.isEmpty() ? QString() : QStringLiteral("The stored request is damaged (%1); it is skipped.").arg(error));
    updatePreview(request);
    m_loading = false;
}

void WebRequestsPane::applyPreset(int index)
{
    if (index <= 0) {
        store();
        return;
    }
    const WebPreset& preset = webPresets()[size_t(index - 1)];
    const WebRequest filled = webRequestFrom(preset);
    m_loading = true;
    txtName->setText(filled.name);
    cmbMethod->setCurrentIndex(int(filled.method));
    txtUrl->setText(filled.url);
    txtHeaders->setPlainText(filled.headers);
    cmbBodyType->setCurrentIndex(int(filled.bodyType));
    txtBody->setPlainText(filled.body);
    lblSecret->setText(QStringLiteral("$Secret$ is %1.").arg(QLatin1String(preset.secretFor)));
    WebEntries::setSends(m_host.settings(), entry(), preset); // a health check pings after lookups
    showSends();
    m_loading = false;
    m_edits.storeNow([this] { store(); });
}

void WebRequestsPane::edited(QWidget* field)
{
    if (m_loading)
        return;
    QString error;
    if (!shownRequest().check(&error))
        showNotSaved(error); // the reason shows as it is typed; the store checks again
    else
        lblMessage->clear(); // "Saved." once it is
    m_edits.defer(field, [this] { store(); });
}

void WebRequestsPane::showNotSaved(const QString& error)
{
    lblMessage->setText(QStringLiteral("Not saved: ") + error);
    lblPreview->clear();
}

bool WebRequestsPane::store()
{
    if (m_loading)
        return false;
    const WebRequest request = shownRequest();
    QString error;
    if (!request.check(&error)) {
        showNotSaved(error);
        return false;
    }
    WebEntries::save(m_host.settings(), entry(), request);
    lblMessage->setText(QStringLiteral("Saved."));
    cmbEntry->setItemText(m_shown, entryLabel(entry()));
    updatePreview(request);
    return true;
}

void WebRequestsPane::showSends()
{
    const Settings& settings = m_host.settings();
    const WebSends sends = WebEntries::sends(settings, entry());
    cmbSends->setCurrentIndex(int(sends));
    txtFailUrl->setText(settings.read(WebEntries::failUrlKey(entry())));
    txtFailUrl->setEnabled(sends == WebSends::Both);
}

void WebRequestsPane::storeSends()
{
    const auto sends = WebSends(cmbSends->currentIndex());
    WebEntries::setSends(m_host.settings(), entry(), sends, txtFailUrl->text().trimmed());
    txtFailUrl->setEnabled(sends == WebSends::Both);
}

void WebRequestsPane::storeSecret()
{
    if (PasswordStore* secrets = WebEntries::secretStore(m_host, entry())) {
        secrets->start();
        secrets->save(txtSecret->text());
        lblSecret->setText(secrets->placeText());
    } else {
        (void)m_host.settings().write(WebEntries::secretKey(entry()), txtSecret->text());
    }
}

void WebRequestsPane::updatePreview(const WebRequest& request)
{
    const WebValues values = hostWebValues(m_host, QStringLiteral("***"));
    QString error;
    const std::optional<FilledRequest> filled =
        request.url.isEmpty() ? std::nullopt : fillWebRequest(request, values, &error);
    lblPreview->setText(
        filled ? QStringLiteral("Requests: %1 %2").arg(QString::fromLatin1(filled->method), filled->shown) : QString());
}

void WebRequestsPane::testNow()
{
    m_edits.storeNow();
    if (!store())
        return; // the reason shows
    m_notifiers.test(Notifiers::Kind::Web, entry(),
                            [self = QPointer<WebRequestsPane>(this)](const NotificationResult& result) {
                                if (self)
                                    self->lblMessage->setText(result.message);
                            });
}

void WebRequestsPane::removeEntry()
{
    m_edits.storeNow(); // nothing typed is stored after the removal
    (void)m_host.settings().write(WebEntries::requestKey(entry()), QString());
    WebEntries::setSends(m_host.settings(), entry(), WebSends::OnChange, {});
    txtSecret->clear();
    storeSecret();
    cmbEntry->setItemText(m_shown, entryLabel(entry()));
    showEntry(cmbEntry->currentIndex());
}
