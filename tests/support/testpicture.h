// Where a test saves a picture (a PNG of a window, a plot torva-cli wrote): a private directory
// of this test process, made on the first picture and removed when the process exits, so a test
// run leaves nothing behind and parallel runs never share a file name.
//
// TORVA_KEEP_PICTURES=DIR writes the pictures into DIR instead (made if missing) and keeps them,
// for a person to look at:  TORVA_KEEP_PICTURES=/tmp/shots ctest --test-dir build -R panel_test
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace testpicture {

struct PictureDir {
    std::string path;  // ends in '/'; empty until the first picture
    bool keep = false; // a directory the user named: never removed
    pid_t owner = 0;   // the process that made it
};

inline PictureDir &Dir() {
    static PictureDir dir;
    return dir;
}

// Runs at exit. A forked child that exits through exit() must not take the directory away from
// the test that forked it, hence the owner check.
inline void RemovePictureDir() {
    PictureDir &dir = Dir();
    if (dir.keep || dir.path.empty() || dir.owner != getpid())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(dir.path, ignored);
}

} // namespace testpicture

// The path for the picture `name` (a plain file name such as "panel.png"). Without a private
// directory the picture would land in a shared or unexpected place, so failing to make one ends
// the test process.
inline std::string TestPicturePath(const char *name) {
    testpicture::PictureDir &dir = testpicture::Dir();
    if (dir.path.empty()) {
        const char *keep = getenv("TORVA_KEEP_PICTURES");
        if (keep && *keep) {
            std::error_code ignored;
            std::filesystem::create_directories(keep, ignored);
            dir.path = std::string(keep) + "/";
            dir.keep = true;
        } else {
            const char *tmp = getenv("TMPDIR");
            std::string pattern =
                std::string(tmp && *tmp ? tmp : "/tmp") + "/torva-pictures.XXXXXX";
            if (mkdtemp(pattern.data())) {
                dir.path = pattern + "/";
                dir.owner = getpid();
                atexit(testpicture::RemovePictureDir);
            } else {
                fprintf(stderr, "TestPicturePath: cannot make %s: %s\n", pattern.c_str(),
                        strerror(errno));
                abort();
            }
        }
    }
    return dir.path + name;
}
