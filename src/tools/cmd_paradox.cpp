#include "tools/commands.h"

#include <cstdio>

namespace tools {

int importParadoxCommand(const Args&)
{
    std::fprintf(stderr, "Команда ещё не готова\n");
    return 2;
}

}  // namespace tools
