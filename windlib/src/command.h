// Programs the toolkit runs in the background (the print spooler's lpstat and lp): started
// without a shell, watched by the event loop between events (PollCommands), so the windows go on
// painting and taking keys while a program runs, however long it takes; a program that takes
// longer than its time is killed. When one ends, its callback gets its exit status and what it
// wrote. Start reading at StartCommand.
#pragma once

struct Command;

constexpr int kCommandSlots = 8;            // programs running at once
constexpr int kCommandOutputMost = 1 << 20; // bytes of output kept; the rest is read and dropped

// The status a callback gets besides an exit status (0..255).
constexpr int kCommandFailed = -1;   // ended by a signal, or its status could not be had
constexpr int kCommandTimedOut = -2; // killed when its time was up
constexpr int kCommandStopped = -3;  // stopped by StopCommand or the toolkit's end

// Called once, when the command has ended: its status and its output (NUL-terminated).
typedef void (*CommandDone)(int status, const char *output, void *context);

// Runs argv[0], found on the PATH, with the arguments of argv (null-terminated) in the C locale,
// with nothing on its standard input and none of the program's descriptors; its standard output
// (and its standard error with `withErrors`, else that goes nowhere) is collected. After
// `timeoutMs` of real time it is killed. The command, or null when it cannot be started (the
// program is missing, or no slot or memory): `done` is then never called.
Command *StartCommand(const char *const argv[], int withErrors, int timeoutMs, CommandDone done,
                      void *context);
// Kills the command if it still runs; its callback runs with kCommandStopped before this returns.
void StopCommand(Command *command);
// The event loop's part: reads what the commands wrote and ends those that exited or whose time
// is up, calling their callbacks. The number still running.
int PollCommands(void);
// The toolkit ends: waits at most `graceMs` for the running commands to end on their own (a
// document being handed to the spooler should get there), then stops the rest.
void EndCommands(int graceMs);
