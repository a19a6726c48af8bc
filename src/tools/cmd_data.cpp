#include "tools/commands.h"

#include <cstdio>

namespace tools {

int createCommand(const Args&)
{
    std::fprintf(stderr, "Команда ещё не готова\n");
    return 2;
}

int importItemsCommand(const Args&)
{
    std::fprintf(stderr, "Команда ещё не готова\n");
    return 2;
}

int exportCommand(const Args&)
{
    std::fprintf(stderr, "Команда ещё не готова\n");
    return 2;
}

}  // namespace tools
