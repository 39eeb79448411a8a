// The settings file: one INI text file ("[section]" lines, then "key=value" lines) holding every
// persistent setting in the section "nv". Reads take a default and write it back when the
// result equals it, so the file fills with every key the program reads; a user edits values
// there. Writes replace the file atomically (a temporary file in the same directory, fsync,
// rename): a crash or a full disk never leaves a half-written file, and a file that cannot be
// written keeps its old contents while the program runs on. A settings file that is a symbolic
// link is written through to the file it names. A write is refused, with one message through the
// buffer library's message callback, when it would replace a file without owner write
// permission or make the file larger than the reader takes: the values read stay in use.
// Only a regular file is read, and opening it never blocks.
//
// Lists of strings are sequences: the first item under a base key, each next item under the
// key "%s_%d_" formed from the previous key and a counter, ended by "__end_of_sequence__".
#pragma once

#include <cstddef>
#include <string>

constexpr int kSettingTextSize = 256;          // a string value: at most 255 characters and a NUL
constexpr size_t kSettingsFileLimit = 1 << 20; // a larger file is not read, nor ever written
extern const char kSettingsSection[];          // "nv"
extern const char kEndOfSequence[];            // "__end_of_sequence__"

// The directory of the settings file: $TORVA_CONFIG_DIR, else $XDG_CONFIG_HOME/torva, else
// ~/.config/torva. It is made when the file is first written.
std::string SettingsDirectory();

// ---- the profile functions: one value in a named section of a named file -------------------

// Copies the value of key into out (at most outSize - 1 characters) and returns 1, or returns
// 0 when the file, the section or the key is missing. Sections and keys match without regard
// to case; the first of duplicate keys counts; blanks around keys and values are ignored.
int ProfileReadString(const char *section, const char *key, char *out, size_t outSize,
                      const char *file);
// Sets key to value in the section, adding the section or the key at its end as needed; the
// order of everything else, unknown keys and comment lines included, is kept. 0, or 1 when the
// file could not be written (its old contents are intact).
int ProfileWriteString(const char *section, const char *key, const char *value, const char *file);

// Between these two, reads and writes of `file` work on one copy of it in memory, and the file
// is replaced once at the end: a run of reads that write their defaults back (a first start)
// costs one atomic replacement, not one per key. Batches of one file nest (the outermost end
// writes); a batch of another file ends the one under way. A file that cannot be read whole
// starts no batch (its reads and writes go on as without one). End returns 0, or 1 when the file
// could not be written.
void SettingsBatchBegin(const char *file);
int SettingsBatchEnd(void);

// ---- the accessors of the section "nv" ----------------------------------------------------

// The integer at the start of the key's value (0 when the value does not begin with one), or
// the default; written back when equal to the default.
int ReadIntSetting(const char *key, int defaultValue, const char *file);
// Writes "%d"; nothing when file is null.
void WriteIntSetting(const char *key, int value, const char *file);
// The key's text or the default, in a static buffer valid until the next string read; written
// back when equal to the default.
const char *ReadStringSetting(const char *key, const char *defaultText, const char *file);
// Writes the text and returns it; nothing is written when file is null.
const char *WriteStringSetting(const char *key, const char *text, const char *file);
// The next item of the sequence last read or written, or null at its end (or when its key
// would pass 255 characters).
const char *NextSequenceItem(const char *file);
// Writes the next item of the sequence; 1 when its key would pass 255 characters.
int AppendSequenceItem(const char *text, const char *file);
