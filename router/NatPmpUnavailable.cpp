#include "router/NatPmpQuery.h"

#include <QSocketNotifier>

// Where the NAT-PMP library is not built, a router is asked by UPnP only: this query never gets an answer.
struct NatPmpQuery::Session
{
};

NatPmpQuery::NatPmpQuery(QObject* parent) : QObject(parent) {}

NatPmpQuery::~NatPmpQuery() = default;

void NatPmpQuery::start(const QHostAddress&, int)
{
    emit finished({});
}

void NatPmpQuery::cancel() {}
