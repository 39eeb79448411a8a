// torva's process entry: the host has already split the command line into words.
#include "startup.h"

int main(int argc, char **argv) {
    int exitStatus = 0;
    if (calcTakeOptions(argc, argv, &exitStatus))
        return exitStatus;
    return calcMain(argc, argv);
}
