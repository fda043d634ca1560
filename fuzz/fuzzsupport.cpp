#include "fuzzsupport.h"

#include <cstdio>
#include <cstdlib>

void require(bool holds, const char *invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", invariant);
    std::abort();
}
