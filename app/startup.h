// The calculator's start-up: the argument words handed to the toolkit, the start and end of the
// window toolkit, and the main routine that runs the panel. While the toolkit is up, the number
// engine's internal-fault reports go to the toolkit's "ASSERT Failed" box; otherwise to
// standard error.
#pragma once

constexpr int kMaxArgumentWords = 128; // words beyond these are dropped

// The words the toolkit gets: at most kMaxArgumentWords of the process's, pointing into them,
// with a null after the last.
struct CalcArguments {
    int count;
    char *words[kMaxArgumentWords + 1];
};

// Fills the table from the process's argument vector (argv may be null when argc is 0).
void calcTakeArguments(int argc, char **argv, CalcArguments *args);

// The options torva answers itself before anything starts, so that they work without a display:
// --help and --version on standard output, an unknown option as one line and the usage on
// standard error. Words not starting with '-' (a lone "-" among them), --verbose, and every word
// after "--", are left to the calculator. 0 when the calculator is to start; 1 when the process is
// to end now with *exitStatus: 0 after --help or --version, 2 after an unknown option.
int calcTakeOptions(int argc, char **argv, int *exitStatus);

// Whether the user asked to be told which installed font shows each face: --verbose before any
// "--", or TORVA_VERBOSE set to anything but "" and "0". Without it a normal start says nothing
// on standard error.
bool calcVerbose(int argc, char **argv);

// Starts the toolkit with the process allocator on the host TORVA_HOST names, x11 when it is
// unset or empty: the headless host only when asked for, so a missing display is an error and
// not a calculator nobody can see. 0, or calcStartToolkitOn's failure code.
int calcStartToolkit(int argc, char **argv);
// The same on the host named ("x11" or "headless"). 0; 3 for any other name, said in one line
// on standard error; else WindowProlog's failure code.
int calcStartToolkitOn(const char *host, int argc, char **argv);
// Ends the toolkit; the engine reports to standard error again.
void calcStopToolkit();

// Runs the calculator: starts the buffer library and the toolkit, builds the panel for the
// settings file named after argv[0], runs it until it closes and ends both libraries again.
// 0 after a normal run; 1 when a library cannot start or the panel cannot be built; 128 plus
// the signal's number (143 for SIGTERM, 130 for SIGINT, 129 for SIGHUP) when a signal ended the
// run, which closes everything down as Quit does: settings written, temporary files removed.
int calcMain(int argc, char **argv);
