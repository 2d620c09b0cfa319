#pragma once

#include "router/RouterAnswer.h"

#include <QObject>
#include <QString>

#include <optional>

class RouterQuery;
class Settings;

/// What the router's own WAN address says about the line, beside the address the sources agree on. The router
/// never votes on that address (it may be wrong); it only tells whether anyone outside can reach in. The state is
/// remembered in the store, so that a change of it is told once, also across runs of --once.
class RouterCheck : public QObject
{
    Q_OBJECT
public:
    /// Stored as these numbers: never renumber.
    enum class Nat
    {
        None = 0,         ///< the router's WAN address is the public address (or nothing says otherwise)
        CarrierGrade = 1, ///< the provider's NAT stands between the router and the internet
        SecondRouter = 2, ///< the router's WAN side is another private network
    };

    explicit RouterCheck(Settings& settings, QObject* parent = nullptr);

    /// The query that asks the router; without one the router is not asked.
    void setQuery(RouterQuery* query);
    /// Asks the router along with a lookup.
    void start();
    void cancel();
    bool isRunning() const;
    /// The lookup ended with @p agreedAddress (empty when it failed); once the router has answered too, the two are
    /// compared.
    void lookupEnded(const QString& agreedAddress);

    /// The router's line in the window: "100.64.3.4 (NAT-PMP)", "no public address (UPnP)", "answered badly (UPnP)",
    /// "no answer"; empty before the router was first asked.
    const QString& shownText() const { return m_shown; }

    /// What @p answer says beside @p agreedAddress; nothing when it says nothing (no answer, or a public address
    /// and no agreed one to compare it with).
    static std::optional<Nat> judge(const RouterAnswer& answer, const QString& agreedAddress);
    /// The notice for @p nat ("Behind carrier-grade NAT: ..."), or the line that says it has ended.
    static QString noticeText(Nat nat);
    /// The state's name in the history: "public", "carrier-grade NAT", "second router".
    static QString historyName(Nat nat);

signals:
    /// The router answered or did not: the line for the window and the log.
    void answered(const QString& text);
    /// The state changed from @p before to @p after; @p text is what to tell (noticeText of @p after).
    void natChanged(RouterCheck::Nat before, RouterCheck::Nat after, const QString& text);
    /// The router's part of a lookup has ended (after answered and any natChanged).
    void finished();

private:
    void routerDone(const RouterAnswer& answer);
    void compare();

    Settings& m_settings;
    RouterQuery* m_query = nullptr;
    std::optional<RouterAnswer> m_answer; // this round's, once it came
    std::optional<QString> m_agreed;      // this round's lookup, once it ended
    QString m_shown;
};
