// Ready-made modal questions: a file name, a line of text, an integer, a choice of buttons. Each is
// a small dialog from a fixed table, centred over the window that asks (over the screen without
// one), run through RunModal, and answered with 1 when the user confirmed and -1 otherwise. The
// caller's storage is written only on a confirmed answer, except that a cancelled InquireString
// empties its buffer. Start reading at InquireFile in inquire.cpp.
#pragma once

#include "wind.h"

#include <cstdint>

// InquireFile's mode bits.
constexpr int kInquireAnyEntry = 0x1; // take what was typed unchecked, directories included
constexpr int kInquireSave = 0x2;     // the name is for writing: replacing a file is confirmed
static_assert(kInquireAnyEntry == 0x1);
static_assert(kInquireSave == 0x2);

constexpr uint32_t kInquireTag = 0xEADBEEFF; // marks the state record of an inquiry dialog
constexpr int kInquireNumberText = 32;       // characters of the number field read, with the NUL

// Asks for a file name; `initial` pre-fills the field. OK takes a plain name as typed (one
// starting with "~/" has it expanded to $HOME, or is refused when that does not fit); a
// directory, "~" or a pattern with '*' or '?' opens the file dialog there (unless the mode has
// kInquireAnyEntry). "Browse" opens the file dialog on what was typed so far. On 1 the answer is
// in `path` (size bytes); a longer one is refused with a message, never cut. On -1 `path` is
// untouched.
int InquireFile(const char *prompt, char *path, int size, const char *initial, int mode,
                Window *parent);
// Asks for a line of text. 1: `buffer` holds it (at most size - 1 characters); -1: `buffer` is
// emptied. `buffer` may be null.
int InquireString(const char *title, const char *initial, char *buffer, int size, Window *parent);
// Asks a question answered by one of `count` (1 to 3) buttons, captioned by `choices` from the
// left; the first is the default for Return. The index of the button pressed, or -1 when the
// dialog was closed without one (Escape, its close box).
int InquireChoice(const char *title, const char *text, const char *const choices[], int count,
                  Window *parent);
// Asks for an int, typed in decimal, or set in hexadecimal ("0x1F") or octal ("017"). A field
// that is empty, holds something besides the number, or is out of the int range is refused with
// a message and the dialog stays. 1: `*value` holds the number; -1: `*value` is untouched.
int InquireNumber(const char *title, int initial, int *value, Window *parent);
