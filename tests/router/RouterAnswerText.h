#pragma once

#include "router/RouterAnswer.h"

// What a router's answer tells, in a word: the address, "withheld", "bad" or "none".
inline QString told(const RouterAnswer& answer)
{
    switch (answer.kind) {
    case RouterAnswer::Kind::Address:
        return answer.address.toString();
    case RouterAnswer::Kind::Withheld:
        return QStringLiteral("withheld");
    case RouterAnswer::Kind::Bad:
        return QStringLiteral("bad");
    case RouterAnswer::Kind::None:
        break;
    }
    return QStringLiteral("none");
}
