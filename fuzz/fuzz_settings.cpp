// The settings reader and writer: the input is a settings file. Every key it seems to hold (and a
// few the program reads) is read, one key is written a new value and a new key is added, and the
// file is read again: the written keys read back what was written, every other key reads as
// before, and every line of the old file is still there, in order, but those of the written keys.
// The file lives in a directory on a memory file system when there is one, so the writer's
// fsync costs nothing.
#include "buffer.h"
#include "settings.h"

#include "fuzzfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The settings file the target works on.
const std::string &SettingsFile() { return FuzzScratchFile("torva.ini"); }

std::string readAll() {
    std::string text;
    FILE *f = fopen(SettingsFile().c_str(), "rb");
    if (!f)
        return text;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
        text.append(chunk, n);
    fclose(f);
    return text;
}

// The file's lines as the reader sees them: cut at line feeds, a carriage return before one
// dropped.
std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// What stands before the first '=' of a line, without blanks around it ("" without one).
std::string keyOf(const std::string &line) {
    size_t eq = line.find('=');
    std::string key = line.substr(0, eq == std::string::npos ? 0 : eq);
    while (!key.empty() && (key[0] == ' ' || key[0] == '\t'))
        key.erase(0, 1);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
        key.pop_back();
    return key;
}

bool plainKey(const std::string &key) {
    if (key.empty() || key.size() > 60)
        return false;
    for (char c : key)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

struct Reading {
    bool found;
    std::string value;
};

Reading readKey(const std::string &key) {
    char value[kSettingTextSize];
    Reading r;
    r.found = ProfileReadString(kSettingsSection, key.c_str(), value, sizeof value,
                                SettingsFile().c_str()) != 0;
    r.value = r.found ? value : "";
    return r;
}

// Whether `small` is `big` with lines left out, in order.
bool subsequence(const std::vector<std::string> &small, const std::vector<std::string> &big) {
    size_t j = 0;
    for (const std::string &line : big)
        if (j < small.size() && small[j] == line)
            j++;
    return j == small.size();
}

void fail(const char *what, const std::string &detail) {
    fprintf(stderr, "%s: %s\n", what, detail.c_str());
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 65536)
        return 0;
    BufferProlog(malloc, free, nullptr, nullptr);
    const std::string input(reinterpret_cast<const char *>(data + 1), size - 1);
    FILE *f = fopen(SettingsFile().c_str(), "wb");
    if (!f || fwrite(input.data(), 1, input.size(), f) != input.size() || fclose(f) != 0)
        abort();
    const std::vector<std::string> before = linesOf(input);

    // The keys to watch: what looks like a key in the file, and a few the program reads.
    std::vector<std::string> keys = {"RADIX", "MANTISSA_DIGITS", "CONSTANTS", "nv"};
    for (const std::string &line : before) {
        std::string key = keyOf(line);
        if (plainKey(key) && keys.size() < 64)
            keys.push_back(key);
    }
    std::vector<Reading> first;
    for (const std::string &key : keys)
        first.push_back(readKey(key));

    // One existing key changes, one new key comes.
    const std::string changed = keys[data[0] % keys.size()];
    const std::string value = "v" + std::to_string(size);
    const std::string added = "FUZZ-ADDED.KEY"; // never among `keys`, so never the changed one
    if (ProfileWriteString(kSettingsSection, changed.c_str(), value.c_str(),
                           SettingsFile().c_str()) != 0 ||
        ProfileWriteString(kSettingsSection, added.c_str(), "new", SettingsFile().c_str()) != 0)
        fail("a write failed", changed);

    if (readKey(changed).value != value)
        fail("the changed key reads", readKey(changed).value);
    Reading fresh = readKey(added);
    if (!fresh.found || fresh.value != "new")
        fail("the added key reads", fresh.value);
    for (size_t i = 0; i < keys.size(); i++) {
        if (strcasecmp(keys[i].c_str(), changed.c_str()) == 0)
            continue;
        Reading again = readKey(keys[i]);
        if (again.found != first[i].found || again.value != first[i].value)
            fail("a key the writes did not touch changed", keys[i]);
    }
    // Every old line is kept in order, but those that may have held the two written keys.
    const std::vector<std::string> after = linesOf(readAll());
    std::vector<std::string> others;
    for (const std::string &line : before) {
        std::string key = keyOf(line);
        if (strcasecmp(key.c_str(), changed.c_str()) != 0 &&
            strcasecmp(key.c_str(), added.c_str()) != 0)
            others.push_back(line);
    }
    const bool kept = subsequence(others, after);
    if (!kept || after.size() > before.size() + 3)
        fail("lines of the old file were lost", changed);
    return 0;
}
