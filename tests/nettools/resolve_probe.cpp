// vistrel_resolve_probe reverse|forward TEXT: prints "[result]" for one conversion with a new resolver.
#include "nettools/clsIPResolve.h"

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    const clsIPResolve resolver;
    const QString text = QString::fromUtf8(argv[2]);
    const QString result = std::strcmp(argv[1], "reverse") == 0 ? resolver.AddressToName(text)
                                                                : resolver.NameToAddress(text);
    std::printf("[%s]\n", result.toUtf8().constData());
    return 0;
}
