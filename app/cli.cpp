// torva-cli: the calculator engine without a window. It builds the calculator as the panel
// would from the options, types keys on the panel's keyboard (-k) and presses panel keys (-p)
// in the order given, or reads keys from standard input, and prints what the display shows at
// the end. Only --plot and --print-tape need windows: they are in clirender, the one part that
// uses the toolkit, built into a second program, torva-cli-render (TORVA_CLI_RENDERER).
// torva-cli itself hands it the whole command line when it asks for either, so that every other
// run starts without loading the toolkit's libraries.
#include "buffer.h"
#include "calc.h"
#include "calcsettings.h"
#include "clirender.h"
#include "display.h"
#include "number.h"
#include "plotmem.h"
#include "program.h"
#include "session.h"
#include "version.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: torva-cli [--digits N] [--exp-digits N] [--radix 2|8|10|16] [--format float|int]\n"
    "                 [--auto-format on|off] [--notation dec|sci|eng] [--fixed N] [--radians]\n"
    "                 [--exact-functions] [--settings FILE] [--raw] [--tape] [--print-tape FILE] "
    "[--indicators]\n"
    "                 [--max-steps N] [-k TEXT | --keys TEXT] ... [-p NAME | --press NAME] ...\n"
    "                 [-e LINE | --step LINE] ... [--undo] ... [--redo] ... [FILE]\n"
    "       torva-cli --help | --version\n"
    "Types each character of TEXT as a key of the panel's keyboard, presses the panel key NAME\n"
    "and runs the step LINE, in the order given, then runs the program FILE; keys are read from\n"
    "standard input when none of these is given. --undo and --redo among them take back the last\n"
    "key that changed the calculator and put it back, as Ctrl+Z and Ctrl+Y on the panel; with\n"
    "nothing to take back they are refused. A key the panel refuses is named on standard error.\n"
    "Prints the display. The options set the calculator whatever their order: --format\n"
    "wins over the format --radix would choose. --print-tape prints the tape of the keys typed\n"
    "to FILE, PDF when its name ends in .pdf, else PostScript; FILE - is standard output,\n"
    "which then holds the document alone.\n";

enum InputKind {
    INPUT_KEYS,  // characters typed as keys
    INPUT_PRESS, // a panel key by name
    INPUT_STEP,  // a step line, run as a one-line program
    INPUT_UNDO,  // --undo: the last key that changed the calculator taken back
    INPUT_REDO,  // --redo: the last key taken back put back
};

struct Input {
    InputKind kind;
    std::string text;
};

// The calculator's settings given on the command line; the others come from the settings file
// (--settings) or are the calculator's defaults.
struct Options {
    CalcSessionOptions session;
    bool raw = false, tape = false, indicators = false;
    bool answered = false; // --help or --version said all there is to say
    const char *settings = nullptr;
    const char *printTape = nullptr;   // the printed tape's file
    const char *programFile = nullptr; // run after the other inputs
    long maxSteps = 10000000;
    std::vector<Input> inputs;
};

int usage(const char *problem) {
    if (problem)
        fprintf(stderr, "torva-cli: %s\n", problem);
    fputs(kUsage, stderr);
    fputs(kCliPlotUsage, stderr);
    return 2;
}

// A whole decimal number from `minimum` to `maximum`.
bool readCount(const char *text, int minimum, int maximum, int *value) {
    char *end;
    long v = strtol(text, &end, 10);
    if (!*text || *end || v < minimum || v > maximum)
        return false;
    *value = static_cast<int>(v);
    return true;
}

// One of the words, as its index plus `first`.
bool readWord(const char *text, std::initializer_list<const char *> words, int first, int *value) {
    int i = first;
    for (const char *w : words) {
        if (strcmp(text, w) == 0) {
            *value = i;
            return true;
        }
        i++;
    }
    return false;
}

bool takesValue(const std::string &option) {
    for (const char *known : {"--digits", "--exp-digits", "--fixed", "--radix", "--format",
                              "--auto-format", "--notation", "--settings", "--print-tape",
                              "--max-steps", "-k", "--keys", "-e", "--step", "-p", "--press"})
        if (option == known)
            return true;
    return false;
}

// 0, or the exit status of a usage error; 0 with o->answered set after --help or --version.
int parseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--help") {
            fputs(kUsage, stdout);
            fputs(kCliPlotUsage, stdout);
            o->answered = true;
            return 0;
        }
        if (a == "--version") {
            printf("torva-cli %s\n", kTorvaVersion);
            o->answered = true;
            return 0;
        }
        if (a == "--raw") {
            o->raw = true;
            continue;
        }
        if (a == "--tape") {
            o->tape = true;
            continue;
        }
        if (a == "--indicators") {
            o->indicators = true;
            continue;
        }
        if (a == "--radians") {
            o->session.radians = 1;
            continue;
        }
        if (a == "--exact-functions") {
            o->session.exactFunctions = 1;
            continue;
        }
        if (a == "--undo" || a == "--redo") {
            o->inputs.push_back({a == "--undo" ? INPUT_UNDO : INPUT_REDO, ""});
            continue;
        }
        if (a[0] != '-' && i == argc - 1) {
            o->programFile = argv[i];
            continue;
        }
        if (a[0] != '-')
            return usage(("unexpected argument " + a).c_str());
        // Known before its value is looked for, so that an unknown last word is called unknown.
        if (!takesValue(a))
            return usage(("unknown option " + a).c_str());
        if (i + 1 >= argc)
            return usage(("missing value after " + a).c_str());
        const char *v = argv[++i];
        bool ok = true;
        CalcSessionOptions *s = &o->session;
        if (a == "--digits")
            ok = readCount(v, 2, kMaxMantissaDigits, &s->digits);
        else if (a == "--exp-digits")
            ok = readCount(v, 0, kMaxExponentDigits, &s->exponentDigits);
        else if (a == "--fixed")
            ok = readCount(v, 0, kMaxMantissaDigits, &s->fixedPlaces);
        else if (a == "--radix")
            ok = readCount(v, 2, 16, &s->radix) &&
                 (s->radix == 2 || s->radix == 8 || s->radix == 10 || s->radix == 16);
        else if (a == "--format")
            ok = readWord(v, {"float", "int"}, 0, &s->format);
        else if (a == "--auto-format")
            ok = readWord(v, {"off", "on"}, 0, &s->autoFormat);
        else if (a == "--notation")
            ok = readWord(v, {"dec", "sci", "eng"}, 1, &s->notation);
        else if (a == "--settings")
            o->settings = v;
        else if (a == "--print-tape")
            o->printTape = v;
        else if (a == "--max-steps") {
            char *end;
            o->maxSteps = strtol(v, &end, 10);
            ok = *v && !*end && o->maxSteps >= 0;
        } else if (a == "-k" || a == "--keys")
            o->inputs.push_back({INPUT_KEYS, v});
        else if (a == "-e" || a == "--step")
            o->inputs.push_back({INPUT_STEP, v});
        else if (a == "-p" || a == "--press") {
            if (!calcKeyFunction(v))
                return usage(("no panel key named \"" + std::string(v) + "\"").c_str());
            o->inputs.push_back({INPUT_PRESS, v});
        } else
            return usage(("unknown option " + a).c_str());
        if (!ok)
            return usage(("bad value for " + a + ": " + v).c_str());
    }
    return 0;
}

bool gTapeToStdout = false;
bool gTapeKept = false;
std::string gTape; // what --print-tape prints

int tapeToStdout(const char *text, Calculator *) {
    if (gTapeToStdout)
        fputs(text, stdout);
    if (gTapeKept)
        gTape += text;
    return 0;
}

// The calculator of the settings file and the options, as the panel builds it; the tape starts
// after that.
void buildCalculator(const Options &o, Calculator *calc) {
    int registers = calcSessionRead(o.settings, &o.session, calc, nullptr);
    calcSessionStart(registers, &o.session, calc);
    gTapeToStdout = o.tape;
    gTapeKept = o.printTape != nullptr;
    if (o.tape || o.printTape)
        calc->hooks.tapeWrite = tapeToStdout;
    calc->tapeOpen = 0;
}

// What the panel's bell is on the panel: a key it refuses, said on standard error.
void refused(const char *why) { fprintf(stderr, "torva-cli: %s\n", why); }

// Each character typed as on the panel's keyboard; characters 128..255 come as the toolkit
// delivers them, 256 + character, so none acts as a named key.
void typeKeys(const std::string &text, Calculator *calc) {
    for (unsigned char c : text)
        if (const char *why = calcPanelKey(c < 128 ? c : 256 + c, calc))
            refused(why);
}

// The number engine's diagnostics come without a line end; here each ends its own line, so two
// never run together.
void diagnosticLine(const char *text) { fprintf(stderr, "%s\n", text); }

// Program messages go to standard error with their prefixes; a fatal one is remembered.
bool gFatal = false;

void reportToStderr(const char *text, Calculator *) {
    if (strcmp(text, " ") == 0) // a run clearing the report field
        return;
    fprintf(stderr, "%s\n", text);
    if (strncmp(text, "Fatal Error: ", 13) == 0)
        gFatal = true;
}

// One step line as a one-line program, stepped as the program window's Step would.
void runStepLine(const std::string &line, Calculator *calc) {
    Buffer *program = BufferCreate(nullptr, kCreateDetached);
    if (!program)
        return;
    program->lineBreakMode = kBreakLineFeed;
    std::string text = line + "\n";
    BufferInsert(1, 1, text.c_str(), static_cast<int32_t>(text.size()), program);
    BufferGoto(1, 1, program);
    calc->program = program;
    calc->recorderMode = -1;
    if (calc->restartPending) {
        calc->restartPending = 0;
        prepareRun(calc);
    }
    runStep(calc);
    calc->recorderMode = 0;
    calc->program = nullptr;
    BufferFree(program);
}

// Runs a program file in Normal mode from line 1 until it stops. false when it cannot be read.
bool runProgramFile(const char *path, Calculator *calc) {
    Buffer *program = programLoad(path, 1);
    if (!program)
        return false;
    calc->program = program;
    calc->recorderMode = -1;
    prepareRun(calc);
    startNormalRun(calc);
    programRun(1, calc);
    calc->recorderMode = 0;
    calc->program = nullptr;
    BufferFree(program);
    return true;
}

#if !TORVA_CLI_RENDERER
// Runs torva-cli-render with the same command line: beside this program (the build tree), or
// in ../libexec/torva as installed. Returns only when it cannot be run: 4, after a message.
int runRenderer(char **argv) {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv[0]);
    dir = dir.substr(0, dir.find_last_of('/') + 1);
    std::string tried;
    int error = ENOENT;
    for (const char *place : {"torva-cli-render", "../libexec/torva/torva-cli-render"}) {
        std::string path = dir + place;
        execv(path.c_str(), argv);
        error = errno;
        tried = path;
    }
    fprintf(stderr, "torva-cli: --plot and --print-tape need %s: %s\n", tried.c_str(),
            strerror(error));
    return 4;
}
#endif

} // namespace

int main(int argc, char **argv) {
    std::vector<char *> whole(argv, argv + argc + 1); // the command line as given, for the renderer
    CliPlotOptions plot;
    std::string plotProblem;
    if (cliPlotTakeOptions(&argc, argv, &plot, &plotProblem))
        return usage(plotProblem.c_str());
    Options o;
    int status = parseOptions(argc, argv, &o);
    if (status || o.answered)
        return status;
#if !TORVA_CLI_RENDERER
    if (plot.file || o.printTape)
        return runRenderer(whole.data());
#endif
    numSetDiagnostic(diagnosticLine);
    BufferProlog(malloc, free, diagnosticLine, diagnosticLine); // settings and file messages
    Calculator calc;
    buildCalculator(o, &calc);
    calc.hooks.programReport = reportToStderr;
    calc.stepLimit = o.maxSteps;
    if (o.inputs.empty() && !o.programFile && !plot.file) {
        std::string text;
        for (int c; (c = getchar()) != EOF;)
            text += static_cast<char>(c);
        typeKeys(text, &calc);
    }
    for (const Input &in : o.inputs) {
        if (in.kind == INPUT_KEYS) {
            typeKeys(in.text, &calc);
        } else if (in.kind == INPUT_STEP) {
            runStepLine(in.text, &calc);
        } else if (in.kind == INPUT_UNDO || in.kind == INPUT_REDO) {
            // Nothing to take back is said as the panel's bell would be: a refusal.
            if (const char *why = calcUndo(in.kind == INPUT_REDO, &calc))
                refused(why);
        } else {
            // A key the panel shows disabled cannot be pressed.
            const CalcKeyFunction *key = calcKeyFunction(in.text.c_str());
            if (const char *why = calcKeyRefusal(key, &calc))
                refused(why);
            else
                key->press(key->name, &calc);
        }
    }
    int plotStatus = -1;
    if (plot.file) {
#if TORVA_CLI_RENDERER
        plotStatus = cliPlot(plot, o.programFile, o.settings, &calc);
#endif
        if (plotStatus == 2) {
            calcSessionEnd(&calc);
            return 2;
        }
    } else if (o.programFile && !runProgramFile(o.programFile, &calc)) {
        fprintf(stderr, "torva-cli: cannot read the program %s\n", o.programFile);
        calcSessionEnd(&calc);
        return 2;
    }

    std::string line;
    if (calcIsError(&calc))
        line = "ERR";
    else if (o.raw)
        line = calc.operands ? numRawText(calc.operands) : "EMPTY";
    else
        line = displayShownText();
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    // A tape printed to standard output ("-") is all that goes there.
    if (!o.printTape || strcmp(o.printTape, "-") != 0)
        printf("%s\n", line.c_str());
    if (o.indicators)
        printf("carry=%d overflow=%d\n", calc.carry, calc.overflow);
    // The calculator's error state wins: "Math Error" is both an error and a fatal message.
    int exitStatus = calcIsError(&calc) ? 1 : gFatal ? 3 : 0;
    if (plotStatus >= 0) // a plot's fatal message is its failure: 1, as for --plot
        exitStatus = plotStatus;
#if TORVA_CLI_RENDERER
    if (o.printTape && cliPrintTape(gTape, o.printTape, o.settings) != 0)
        exitStatus = 4;
#endif
    calcSessionEnd(&calc);
    BufferEpilog();
    return exitStatus;
}
