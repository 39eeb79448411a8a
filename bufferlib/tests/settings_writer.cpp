// Writes many keys into one settings file with the real accessors, so that a shell check can run
// two of these at once and see whether either process's keys went missing. The writers start
// together when the start file appears, which lines their writes up as closely as it can.
// Usage: settings_writer FILE PREFIX COUNT BATCH START-FILE
//   keys PREFIX_0 .. PREFIX_<COUNT-1>, even ones as integers, odd ones as strings; BATCH > 0
//   writes them in batches of that many keys, 0 one file replacement per key.
#include "buffer.h"
#include "settings.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void quiet(const char *) {}

} // namespace

int main(int argc, char **argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: settings_writer FILE PREFIX COUNT BATCH START-FILE\n");
        return 2;
    }
    const char *file = argv[1];
    std::string prefix = argv[2];
    int count = atoi(argv[3]);
    int batch = atoi(argv[4]);
    if (BufferProlog(malloc, free, quiet, quiet) != 0)
        return 1;
    // A start file that never comes ends the wait after about ten seconds: a late writer still
    // writes, it just cannot overlap as well.
    for (int i = 0; i < 10000 && access(argv[5], F_OK) != 0; i++)
        usleep(1000);
    for (int i = 0; i < count; i++) {
        if (batch > 0 && i % batch == 0)
            SettingsBatchBegin(file);
        std::string key = prefix + "_" + std::to_string(i);
        if (i % 2 == 0)
            WriteIntSetting(key.c_str(), i, file);
        else
            WriteStringSetting(key.c_str(), std::to_string(i).c_str(), file);
        if (batch > 0 && (i % batch == batch - 1 || i == count - 1) && SettingsBatchEnd() != 0) {
            fprintf(stderr, "settings_writer: a batch of %s could not be written\n", file);
            return 1;
        }
    }
    BufferEpilog();
    return 0;
}
