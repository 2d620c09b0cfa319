#pragma once

#include <QObject>
#include <QUrl>

#include <functional>

class QTimer;

/// The website window, never shown: on loading it opens the product's website in the default browser
/// when the page asked for is "Website", and one second later it unloads itself (deleteLater).
class frmWebsite : public QObject
{
    Q_OBJECT
public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    /// @p websitePage is the process-wide WebsitePage text: read here and emptied after opening.
    frmWebsite(QString& websitePage, UrlOpener opener, QObject* parent = nullptr);

    /// Form_Load: opens the page and starts the one-second timer.
    void Form_Load();

    /// The website text as a URL: "http://" is put in front unless "http://" or "https://" occurs in it
    /// anywhere, letters compared without regard to case.
    static QString websiteUrl(const QString& website);

signals:
    /// The window has unloaded itself; it is deleted when the event loop next runs.
    void unloaded();

private slots:
    void Timer1_Timer();

private:
    QString& m_websitePage;
    UrlOpener m_opener;
    QTimer* Timer1 = nullptr;
};
