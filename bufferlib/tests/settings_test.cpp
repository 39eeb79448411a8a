// The settings file on real files in a private directory: the file name, the write-back of
// defaults, sequences, preservation of what we do not know, atomic replacement, and malformed
// files.
#include "buffer.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spit(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> gMessages; // what the buffer library's message callback received

class Settings : public ::testing::Test {
  protected:
    std::string dir, file;
    void SetUp() override {
        char templ[] = "/tmp/torva-settings-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(templ));
        dir = templ;
        file = dir + "/torva.ini";
        gMessages.clear();
        BufferProlog(malloc, free, nullptr, [](const char *text) { gMessages.push_back(text); });
    }
    void TearDown() override {
        BufferProlog(malloc, free, nullptr, nullptr);
        chmod(dir.c_str(), 0755);
        std::string cmd = "rm -rf '" + dir + "'";
        EXPECT_EQ(0, system(cmd.c_str()));
    }
};

TEST_F(Settings, Directory) {
    setenv("TORVA_CONFIG_DIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(dir, SettingsDirectory());
    unsetenv("TORVA_CONFIG_DIR");
    EXPECT_EQ("/xdg/torva", SettingsDirectory());
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ("/home/someone/.config/torva", SettingsDirectory());
}

TEST_F(Settings, FirstRunWritesEveryKeyReadWithItsDefault) {
    std::string nested = dir + "/made/on/first/write/torva.ini";
    EXPECT_EQ(20, ReadIntSetting("APPLICATION_ULX", 20, nested.c_str()));
    EXPECT_STREQ("helvetica",
                 ReadStringSetting("NUMBER_KEY_FONTFACE", "helvetica", nested.c_str()));
    EXPECT_EQ(-1, ReadIntSetting("FIXED_RADIX_PLACE", -1, nested.c_str()));
    EXPECT_EQ("[nv]\nAPPLICATION_ULX=20\nNUMBER_KEY_FONTFACE=helvetica\nFIXED_RADIX_PLACE=-1\n",
              slurp(nested));
}

// A batch keeps the file in memory: reads see the batch's own writes, the file is replaced once
// at the end (so it is not there before on a first run), and another file is untouched by it.
TEST_F(Settings, ABatchWritesTheFileOnceAtItsEnd) {
    std::string other = dir + "/other.ini";
    SettingsBatchBegin(file.c_str());
    EXPECT_EQ(10, ReadIntSetting("RADIX", 10, file.c_str()));
    WriteIntSetting("MANTISSA_DIGITS", 20, file.c_str());
    EXPECT_EQ(20, ReadIntSetting("MANTISSA_DIGITS", 10, file.c_str()));
    EXPECT_STREQ("helvetica", ReadStringSetting("FACE", "helvetica", file.c_str()));
    WriteIntSetting("X", 1, other.c_str()); // not the batch's file: written at once
    struct stat st;
    EXPECT_NE(0, stat(file.c_str(), &st));
    EXPECT_EQ("[nv]\nX=1\n", slurp(other));
    EXPECT_EQ(0, SettingsBatchEnd());
    EXPECT_EQ("[nv]\nRADIX=10\nMANTISSA_DIGITS=20\nFACE=helvetica\n", slurp(file));
    // Without changes the end writes nothing; after it, writes go straight to the file.
    SettingsBatchBegin(file.c_str());
    EXPECT_EQ(20, ReadIntSetting("MANTISSA_DIGITS", 10, file.c_str()));
    chmod(file.c_str(), 0444);
    EXPECT_EQ(0, SettingsBatchEnd());
    EXPECT_TRUE(gMessages.empty());
    chmod(file.c_str(), 0644);
    WriteIntSetting("RADIX", 16, file.c_str());
    EXPECT_NE(std::string::npos, slurp(file).find("RADIX=16"));
}

// A batch's end applies its own changes to the file as it is then, so what another program
// wrote during the batch stays, and a default the batch only read back changes nothing.
TEST_F(Settings, ABatchEndKeepsWhatAnotherProgramWroteMeanwhile) {
    spit(file, "[nv]\nRADIX=10\nX=3\n");
    SettingsBatchBegin(file.c_str());
    WriteIntSetting("RADIX", 16, file.c_str());
    EXPECT_EQ(3, ReadIntSetting("X", 3, file.c_str()));
    WriteStringSetting("FACE", "courier", file.c_str());
    spit(file, "[nv]\nRADIX=10\nX=7\nOTHER=5\n");
    EXPECT_EQ(16, ReadIntSetting("RADIX", 10, file.c_str())) << "the batch reads its own copy";
    EXPECT_EQ(0, SettingsBatchEnd());
    EXPECT_EQ("[nv]\nRADIX=16\nX=7\nOTHER=5\nFACE=courier\n", slurp(file));
}

TEST_F(Settings, WriteBackOnlyWhenTheValueEqualsTheDefault) {
    struct Case {
        const char *file;
        int value;
        const char *after;
    } cases[] = {
        {"[nv]\nRADIX=16\n", 16, "[nv]\nRADIX=16\n"},
        {"[nv]\nRADIX=10\n", 10, "[nv]\nRADIX=10\n"},
        {"[nv]\nRADIX=10 (decimal)\n", 10, "[nv]\nRADIX=10\n"},
        {"[nv]\nRADIX=hex\n", 0, "[nv]\nRADIX=hex\n"}, // no number: 0, not the default
        {"[nv]\n  radix = 8 \n", 8, "[nv]\n  radix = 8 \n"},
        {"[nv]\nRADIX=99999999999\n", 2147483647, "[nv]\nRADIX=99999999999\n"},
    };
    for (const Case &c : cases) {
        spit(file, c.file);
        EXPECT_EQ(c.value, ReadIntSetting("RADIX", 10, file.c_str())) << c.file;
        EXPECT_EQ(c.after, slurp(file)) << c.file;
    }
}

TEST_F(Settings, ConstantsSequence) {
    const char *items[] = {"3.14159265358979323846264338327950", "6.02 E23", "2.718281828",
                           "3.01 E08"};
    EXPECT_STREQ("notyet", ReadStringSetting("CONSTANTS", "notyet", file.c_str()));
    WriteStringSetting("CONSTANTS", "close", file.c_str());
    for (const char *item : items)
        EXPECT_EQ(0, AppendSequenceItem(item, file.c_str()));

    EXPECT_STREQ("close", ReadStringSetting("CONSTANTS", "notyet", file.c_str()));
    for (const char *item : items)
        EXPECT_STREQ(item, NextSequenceItem(file.c_str()));
    EXPECT_EQ(nullptr, NextSequenceItem(file.c_str()));
    std::string text = slurp(file);
    EXPECT_NE(std::string::npos, text.find("CONSTANTS_1__2_=6.02 E23\n"));
    EXPECT_NE(std::string::npos, text.find("CONSTANTS_1__2__3__4_=3.01 E08\n"));
    EXPECT_NE(std::string::npos, text.find("CONSTANTS_1__2__3__4__5_=__end_of_sequence__\n"));
}

TEST_F(Settings, SequenceEndsAtTheKeyLimit) {
    std::string base(240, 'K');
    WriteStringSetting(base.c_str(), "first", file.c_str());
    int appended = 0;
    while (AppendSequenceItem("item", file.c_str()) == 0)
        appended++;
    EXPECT_EQ(5, appended); // 240 + 5 * 3 = 255 characters fit, a sixth item's key does not
    ReadStringSetting(base.c_str(), "", file.c_str());
    int read = 0;
    while (NextSequenceItem(file.c_str()))
        read++;
    EXPECT_EQ(5, read);
}

TEST_F(Settings, UnknownLinesAreKept) {
    spit(file, "; torva settings\r\n[other]\r\nRADIX=2\r\nX=1\r\n\r\n[NV]\r\n# mine\r\n"
               "UNKNOWN=keep me\r\nRADIX=10\r\n\r\n[last]\r\nY=2\r\n");
    WriteIntSetting("RADIX", 16, file.c_str());
    WriteIntSetting("MANTISSA_DIGITS", 12, file.c_str());
    EXPECT_EQ("; torva settings\n[other]\nRADIX=2\nX=1\n\n[NV]\n# mine\nUNKNOWN=keep me\n"
              "RADIX=16\nMANTISSA_DIGITS=12\n\n[last]\nY=2\n",
              slurp(file));
    EXPECT_EQ(16, ReadIntSetting("radix", 10, file.c_str())); // keys match without case
}

// The reader drops one carriage return before a line feed; a line that ends in two keeps the
// other through any number of writes (found by fuzzing).
TEST_F(Settings, ALineEndingInTwoCarriageReturnsSurvivesWrites) {
    spit(file, "[nv]\n# mine\r\r\nRADIX=10\r\n");
    WriteIntSetting("RADIX", 16, file.c_str());
    WriteIntSetting("RADIX", 8, file.c_str());
    EXPECT_EQ("[nv]\n# mine\r\r\nRADIX=8\n", slurp(file));
}

TEST_F(Settings, MalformedFiles) {
    struct Case {
        const char *label;
        std::string text;
        int radix; // what RADIX reads as, default 10
    } cases[] = {
        {"empty", "", 10},
        {"no section", "RADIX=16\n", 10},
        {"missing bracket", "[nv\nRADIX=16\n", 10},
        {"duplicate keys: the first counts", "[nv]\nRADIX=8\nRADIX=16\n", 8},
        {"binary junk", std::string("[nv]\nRADIX=2\n\0\xff\xfe garbage\x01=\x02\n", 27), 2},
        {"overlong line", "[nv]\nLONG=" + std::string(100000, 'z') + "\nRADIX=16\n", 16},
        {"no line end", "[nv]\nRADIX=16", 16},
        {"an empty section, then ours spaced and in capitals", "[]\n[ NV ]\n radix = 8 \n", 8},
        {"the key in another section", "[other]\nRADIX=2\n[nv]\nRADIX=16\n", 16},
        {"a key that only starts as ours", "[nv]\nRADIXES=2\n;RADIX=4\nRADIX=16\n", 16},
        {"an empty value", "[nv]\nLONG=\nRADIX=16\n", 16},
    };
    for (const Case &c : cases) {
        spit(file, c.text);
        EXPECT_EQ(c.radix, ReadIntSetting("RADIX", 10, file.c_str())) << c.label;
        const char *font = ReadStringSetting("LONG", "short", file.c_str());
        EXPECT_LE(strlen(font), 255u) << c.label;
    }
}

TEST_F(Settings, AFileTooLargeIsNeitherReadNorRewritten) {
    std::string big = "[nv]\nRADIX=16\n" + std::string(kSettingsFileLimit, '#');
    spit(file, big);
    EXPECT_EQ(10, ReadIntSetting("RADIX", 10, file.c_str()));
    WriteIntSetting("RADIX", 8, file.c_str());
    EXPECT_EQ(big, slurp(file));
}

// A write-back must never make a file the reader refuses: a file just under the limit that
// lacks keys keeps its values, on this run and the next, and says so once.
TEST_F(Settings, AWriteThatWouldPassTheLimitIsRefused) {
    std::string head = "[nv]\nRADIX=16\nMANTISSA_DIGITS=12\n";
    std::string text = head + std::string(kSettingsFileLimit - head.size() - 10, ';') + "\n";
    spit(file, text);
    for (int run = 0; run < 2; run++) {
        EXPECT_EQ(16, ReadIntSetting("RADIX", 10, file.c_str())) << "run " << run;
        EXPECT_EQ(20, ReadIntSetting("APPLICATION_ULX", 20, file.c_str())) << "run " << run;
        EXPECT_EQ(12, ReadIntSetting("MANTISSA_DIGITS", 10, file.c_str())) << "run " << run;
        EXPECT_STREQ("helvetica",
                     ReadStringSetting("NUMBER_KEY_FONTFACE", "helvetica", file.c_str()));
        WriteIntSetting("RADIX", 8, file.c_str()); // a change that fits is still written
        EXPECT_EQ(8, ReadIntSetting("RADIX", 10, file.c_str()));
        WriteIntSetting("RADIX", 16, file.c_str());
    }
    EXPECT_TRUE(text == slurp(file)) << "the file is unchanged";
    EXPECT_EQ(1u, gMessages.size()) << "one message, however many writes were refused";
}

// A FIFO (or any file that is not regular) named as the settings file is neither waited on nor
// replaced; the reads give their defaults. The alarm turns a hang into a failure.
TEST_F(Settings, AFifoIsNeitherWaitedOnNorReplaced) {
    ASSERT_EQ(0, mkfifo(file.c_str(), 0600));
    alarm(20);
    EXPECT_EQ(10, ReadIntSetting("RADIX", 10, file.c_str()));
    char value[16];
    EXPECT_EQ(0, ProfileReadString("nv", "RADIX", value, sizeof value, file.c_str()));
    EXPECT_EQ(1, ProfileWriteString("nv", "RADIX", "8", file.c_str()));
    alarm(0);
    struct stat st;
    ASSERT_EQ(0, lstat(file.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A settings file that is a symbolic link stays one: the write goes to the file it names, also
// through a chain of links and a relative one.
TEST_F(Settings, WritesGoThroughASymbolicLinkToItsTarget) {
    ASSERT_EQ(0, mkdir((dir + "/real").c_str(), 0755));
    std::string target = dir + "/real/torva.ini";
    spit(target, "[nv]\nRADIX=16\n");
    ASSERT_EQ(0, symlink("real/torva.ini", (dir + "/middle.ini").c_str()));
    ASSERT_EQ(0, symlink((dir + "/middle.ini").c_str(), file.c_str()));
    WriteIntSetting("RADIX", 8, file.c_str());
    EXPECT_EQ(20, ReadIntSetting("APPLICATION_ULX", 20, file.c_str()));
    EXPECT_EQ("[nv]\nRADIX=8\nAPPLICATION_ULX=20\n", slurp(target));
    struct stat st;
    ASSERT_EQ(0, lstat(file.c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(0, lstat((dir + "/middle.ini").c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // A link to a file not made yet makes it.
    std::string later = dir + "/real/later.ini";
    ASSERT_EQ(0, symlink(later.c_str(), (dir + "/later.ini").c_str()));
    WriteIntSetting("RADIX", 2, (dir + "/later.ini").c_str());
    EXPECT_EQ("[nv]\nRADIX=2\n", slurp(later));
    EXPECT_TRUE(gMessages.empty());
}

// A settings file without write permission is the user's way of freezing it: it is left as it
// is, with one message, and its values are read as usual.
TEST_F(Settings, AReadOnlyFileIsLeftAsItIs) {
    std::string text = "[nv]\nRADIX=16\n";
    spit(file, text);
    ASSERT_EQ(0, chmod(file.c_str(), 0444));
    WriteIntSetting("RADIX", 8, file.c_str());
    EXPECT_EQ(20, ReadIntSetting("APPLICATION_ULX", 20, file.c_str()));
    EXPECT_EQ(16, ReadIntSetting("RADIX", 10, file.c_str()));
    EXPECT_EQ(text, slurp(file));
    struct stat st;
    ASSERT_EQ(0, stat(file.c_str(), &st));
    EXPECT_EQ(0444u, st.st_mode & 07777);
    EXPECT_EQ(1u, gMessages.size()) << "one message, however many writes were refused";
}

TEST_F(Settings, AFailedWriteLeavesTheOldFileWhole) {
    std::string before = "[nv]\nRADIX=16\n; hand edited\n";
    spit(file, before);
    chmod(dir.c_str(), 0555);
    if (geteuid() != 0) {
        EXPECT_EQ(1, ProfileWriteString("nv", "RADIX", "8", file.c_str()));
    } else {
        // Root writes anywhere: try the write as an unprivileged user in a child process.
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            _exit(ProfileWriteString("nv", "RADIX", "8", file.c_str()));
        }
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(1, WEXITSTATUS(status));
    }
    EXPECT_EQ(before, slurp(file));
    EXPECT_EQ(16, ReadIntSetting("RADIX", 10, file.c_str()));
    chmod(dir.c_str(), 0755);
    // No temporary file is left behind.
    EXPECT_EQ(0, system(("test -z \"$(ls -A '" + dir + "' | grep -v torva.ini)\"").c_str()));
}

TEST_F(Settings, NullFileNameReadsDefaultsAndWritesNothing) {
    EXPECT_EQ(7, ReadIntSetting("ANY", 7, nullptr));
    EXPECT_STREQ("x", ReadStringSetting("ANY", "x", nullptr));
    WriteIntSetting("ANY", 3, nullptr);
    EXPECT_STREQ("y", WriteStringSetting("ANY", "y", nullptr));
}

TEST_F(Settings, LongValuesAreCutAt255Characters) {
    std::string value(400, 'v');
    WriteStringSetting("FONT", value.c_str(), file.c_str());
    EXPECT_EQ(std::string(255, 'v'), std::string(ReadStringSetting("FONT", "", file.c_str())));
    WriteStringSetting("TEXT", "two\nlines", file.c_str()); // one value per line
    EXPECT_STREQ("two lines", ReadStringSetting("TEXT", "", file.c_str()));
}

} // namespace
