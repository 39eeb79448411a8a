// torva's process entry: the host has already split the command line into words.
#include "startup.h"

int main(int argc, char **argv) { return calcMain(argc, argv); }
