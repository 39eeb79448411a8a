// torva's process entry. Until the calculator panel exists this only names the program and
// says how it is meant to be started.
#include <cstdio>
#include <cstring>

static const char kVersion[] = "1.6";

int main(int argc, char **argv) {
    const char *name = argc > 0 && argv[0] ? argv[0] : "torva";
    const char *slash = strrchr(name, '/');
    name = slash ? slash + 1 : name;
    printf("torva - Calculator v%s\n", kVersion);
    printf("usage: %s   (the calculator window opens on the X display)\n", name);
    return 0;
}
