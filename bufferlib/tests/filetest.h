// Shared fixture of the file tests: the buffer fixture plus a private directory made with
// mkdtemp, which $TMPDIR points at so the library's own temporary directory is made inside it.
// Everything a test creates lives there and is removed with it.
#pragma once

#include "buffertest.h"
#include "filesys.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

inline void WriteFile(const std::string &path, const std::string &bytes, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    chmod(path.c_str(), mode);
}

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline int Mode(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// The mode a new output file gets: 0666 less the umask.
inline int NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return static_cast<int>(0666 & ~mask);
}

// Where a buffer's line is: in the file at an offset, or in memory.
struct NodeShape {
    bool inFile;
    int64_t offset; // -1 for a line in memory
    int32_t length;
    bool operator==(const NodeShape &) const = default;
};

inline std::vector<NodeShape> Shapes(const Buffer *b) {
    std::vector<NodeShape> shapes;
    for (const LineNode *n = b->firstLine; n; n = n->next) {
        bool inFile = (n->lengthFlags & kNodeInFile) != 0;
        shapes.push_back({inFile, inFile ? n->fileOffset : -1,
                          static_cast<int32_t>(n->lengthFlags & kNodeLengthMask)});
    }
    return shapes;
}

// Every line's bytes, lines still in the file read through the buffer's stream.
inline Strings FileLines(Buffer *b) {
    Strings lines;
    for (const LineNode *n = b->firstLine; n; n = n->next) {
        size_t len = n->lengthFlags & kNodeLengthMask;
        const char *bytes = (n->lengthFlags & kNodeInFile) ? PageInLine(n, b) : n->text;
        lines.emplace_back(len && bytes ? std::string(bytes, len) : std::string());
    }
    return lines;
}

inline std::string FileText(Buffer *b) {
    std::string all;
    for (const std::string &line : FileLines(b))
        all += line;
    return all;
}

class FileFixture : public BufferFixture {
  protected:
    void SetUp() override {
        BufferFixture::SetUp();
        const char *tmp = getenv("TMPDIR");
        hadTmp_ = tmp != nullptr;
        oldTmp_ = tmp ? tmp : "";
        std::string pattern = (tmp && tmp[0] ? oldTmp_ : "/tmp") + "/torva-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        setenv("TMPDIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        for (Buffer *b : made_)
            BufferFree(b);
        made_.clear();
        BufferEpilog();
        EXPECT_EQ(TempFiles(), Strings{}) << "temporary files left after BufferEpilog";
        if (hadTmp_)
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        else
            unsetenv("TMPDIR");
        std::error_code ec;
        for (auto &entry : std::filesystem::recursive_directory_iterator(dir_, ec))
            if (entry.is_directory())
                chmod(entry.path().c_str(), 0700);
        std::filesystem::remove_all(dir_, ec);
        BufferFixture::TearDown();
    }

    std::string Path(const std::string &name) const { return dir_ + "/" + name; }

    // The files in the library's private temporary directories under the test directory.
    Strings TempFiles() const {
        Strings files;
        std::error_code ec;
        for (auto &entry : std::filesystem::directory_iterator(dir_, ec)) {
            if (!entry.is_directory() || entry.path().filename().string().rfind("torva-", 0) != 0)
                continue;
            for (auto &file : std::filesystem::directory_iterator(entry.path(), ec))
                files.push_back(file.path().string());
        }
        return files;
    }

    // Files in the test directory itself (a write's leftovers would show up here).
    Strings DirFiles(const std::string &sub = "") const {
        Strings files;
        std::error_code ec;
        for (auto &entry : std::filesystem::directory_iterator(sub.empty() ? dir_ : sub, ec))
            if (!entry.is_directory())
                files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        return files;
    }

    // A buffer on `name` in `mode`, read with ReadBuffer (result in *rc when asked), freed by the
    // fixture.
    Buffer *Open(const std::string &path, int32_t mode, int creationFlags = 0, int *rc = nullptr) {
        Buffer *b = BufferCreate(path.c_str(), creationFlags);
        EXPECT_NE(b, nullptr);
        made_.push_back(b);
        b->lineBreakMode = mode;
        int result = ReadBuffer(b);
        if (rc)
            *rc = result;
        else
            EXPECT_EQ(result, 0) << "ReadBuffer of " << path;
        return b;
    }

    std::string dir_;
    bool hadTmp_ = false;
    std::string oldTmp_;
};
