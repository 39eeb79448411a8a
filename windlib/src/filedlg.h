// The host's file dialog, built from the toolkit's own dialogs: the current directory shown in a
// label, a path field, a list of the directory's entries, OK and Cancel. It reads directories by
// absolute path and never changes the process's working directory. Typing a directory (or
// double-clicking one) enters it, typing a pattern with '*' or '?' filters the files, and a
// file name (typed or double-clicked) chooses it. Start reading at FileDialog in filedlg.cpp.
#pragma once

#include "dialog.h"
#include "wind.h"

#include <string>
#include <vector>

constexpr unsigned kFileDialogSave = 0x1; // a chosen file that exists must be confirmed
constexpr int kFileEntryLimit = 16000;    // entries a listing holds at most
static_assert(kFileDialogSave == 0x1);

// One directory as the list shows it: "../" (except at the root), then the directories with a
// trailing '/', then the files, each group sorted by bytes.
struct FileListing {
    std::vector<std::string> entries; //
    int directories;                  // entries ending in '/', "../" included
    int truncated;                    // 1 when entries beyond kFileEntryLimit were left out
};

// Turns `typed` into an absolute path in `out`: a leading "~" or "~/" becomes $HOME, a relative
// path is taken from `base` (absolute), and ".", ".." and repeated '/' are folded away. A
// trailing '/' is dropped except for the root. 0; 1 when the result needs `size` bytes or more
// (nothing is cut), or `typed` starts with '~' and there is no $HOME.
int MakeAbsolutePath(const char *typed, const char *base, char *out, size_t size);
// Whether the path names a directory, symbolic links followed.
bool IsDirectoryPath(const char *path);
// Lists the absolute `directory`. `stat` decides what a directory is, so a link to one counts.
// Names holding a carriage return or line feed, and names whose full path would not fit in
// PATH_MAX bytes, are skipped. Files must match `pattern` (null: "*") and directories "*",
// both through fnmatch with FNM_PERIOD, so dotfiles stay hidden unless the pattern starts with
// a dot. 0; 1 when the directory cannot be read (errno tells why; the listing is untouched).
int ListDirectory(const char *directory, const char *pattern, FileListing *listing);

// Copies at most size - 1 bytes of `text` and a terminator (callers check lengths first where a
// cut would change the meaning).
void CopyText(char *out, size_t size, const char *text);
// Prepares a dialog record to be centred over `over` (over the screen when it is null), never at a
// negative cell, as a dialog owned by it rather than a framed window of its own.
void CentreDialogRecord(DialogItem *record, Window *over);

// Runs the file dialog modally. `path` holds what the user typed so far (a directory, a
// pattern, a file name, or nothing); it is read to choose the starting directory and the
// pattern, which `directory` and `pattern` override when they are not null. Relative paths
// count from the working directory. `title` names the dialog; `owner` (may be null) is the window
// it belongs to. 1: the chosen file's absolute path is in `path` (at most size - 1 bytes; a
// longer one is refused while the dialog stays open); 0: cancelled, `path` untouched; -1: the
// dialog could not be made.
int FileDialog(const char *title, const char *pattern, const char *directory, char *path, int size,
               unsigned options, Window *owner);
