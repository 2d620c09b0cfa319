#pragma once

#include <QHostAddress>
#include <QLoggingCategory>
#include <QString>

/// What the router said about its own WAN address.
struct RouterAnswer
{
    enum class Kind
    {
        None,     ///< nothing answered (no router that speaks these protocols: the usual case)
        Address,  ///< the router told its WAN address
        Withheld, ///< the router answered but has no address to give (it has no public one)
        Bad,      ///< the router's answer is no address (a short form like "100.64", an endless description)
    };
    Kind kind = Kind::None;
    QHostAddress address; ///< Address only
    QString method;       ///< "NAT-PMP" or "UPnP"; empty for None

    bool operator==(const RouterAnswer&) const = default;
};

/// The router queries' log ("vistrel.router").
Q_DECLARE_LOGGING_CATEGORY(lcRouter)
