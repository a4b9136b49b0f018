#include "Application.h"

int main(int argc, char **argv)
{
    return RunOmbrix(argc, argv);
}
