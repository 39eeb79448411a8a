// The scratch file a fuzz target writes its input to: in a private directory made once per
// process, on /dev/shm when there is one (every execution writes it, so a disk would slow the
// target down), else under $TMPDIR or /tmp, and removed when the process ends normally.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

// The path of `name` in the target's scratch directory; the directory is made on the first call.
inline const std::string &FuzzScratchFile(const char *name) {
    static std::string file;
    if (!file.empty())
        return file;
    const char *bases[] = {"/dev/shm", getenv("TMPDIR"), "/tmp"};
    for (const char *base : bases) {
        if (!base || !*base)
            continue;
        std::string dir = std::string(base) + "/torva-fuzz-XXXXXX";
        std::vector<char> path(dir.begin(), dir.end());
        path.push_back(0);
        if (mkdtemp(path.data())) {
            file = std::string(path.data()) + "/" + name;
            // Each run makes its own directory: it goes with the run, or /dev/shm fills up.
            atexit([] {
                unlink(file.c_str());
                unlink((file + ".lock").c_str()); // the settings file's lock, left on purpose
                rmdir(file.substr(0, file.rfind('/')).c_str());
            });
            return file;
        }
    }
    abort();
}
