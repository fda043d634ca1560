#include "startup.h"

int main(int argc, char **argv)
{
    return runTolvane(argc, argv);
}
