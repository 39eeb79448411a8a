// Program load and run with a step bound (and at most one factorial). The input is a program
// file (after one byte that chooses the program mode, the digit count and, with its top bit,
// exact functions). It runs twice, once
// loaded from a file, its lines paged in from disk, and once inserted into a Program in memory;
// both runs must end alike (steps, display, messages, position). Then every "goto" line's target is
// looked up with jumpToLabel and compared with a plain scan of the text for the first label whose
// name is a prefix of the target.
#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "number.h"
#include "plotmem.h"
#include "program.h"

#include "fuzzfile.h"
#include <climits>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr long kStepBound = 400;
constexpr size_t kLargestProgram = 16000; // below the line limit and the longest line

void quiet(const char *) {}

struct Outcome {
    long steps;
    std::string shown, reports;
    int line, plotState;
};

// A calculator as torva-cli builds it, the program attached, one normal run.
Outcome run(Buffer *program, int mode, int digits, int exact) {
    Calculator calc;
    calc.digits = digits;
    calc.exactFunctions = exact;
    displayRebuild(&calc);
    calcAllocRegisters(16, &calc);
    Outcome o{0, "", "", 0, 0};
    calc.hooks.context = &o;
    calc.hooks.programReport = [](const char *text, Calculator *c) {
        static_cast<Outcome *>(c->hooks.context)->reports += std::string(text) + "|";
    };
    calc.programMode = mode;
    calc.program = program;
    calc.recorderMode = -1;
    prepareRun(&calc);
    startNormalRun(&calc);
    // Run as programRun does, but stop before a second factorial too: one may take a second
    // under the sanitizers (the engine bounds each operation, not a program).
    for (int factorials = 0; o.steps < kStepBound;) {
        const char *step = LockLine(program);
        if (step && CurrentLineLength(program) > 0 && step[0] == '!' && ++factorials > 1)
            break;
        o.steps++;
        if (!runStep(&calc) || calc.recorderMode >= 0)
            break;
    }
    o.shown = calcIsError(&calc) ? "ERR" : displayShownText();
    o.line = CurrentLineNumber(program);
    o.plotState = calc.plotState;
    calc.program = nullptr;
    calcRelease(&calc);
    freePointMemory(&calc);
    displayRelease();
    return o;
}

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The line a jump to `target` must reach: the first label from the top whose name (up to the
// line feed, compared as a C string) is a prefix of the target; 0 for none.
int scanForLabel(const std::vector<std::string> &lines, const char *target) {
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string &line = lines[i];
        if (line.empty() || line[0] != ':')
            continue;
        size_t end = line.find('\n');
        std::string name = line.substr(1, (end == std::string::npos ? line.size() : end) - 1);
        if (strncmp(name.c_str(), target, name.size()) == 0)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

void fail(const char *what, const std::string &a, const std::string &b) {
    fprintf(stderr, "%s: \"%s\" against \"%s\"\n", what, a.c_str(), b.c_str());
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > kLargestProgram)
        return 0;
    const std::string &file = FuzzScratchFile("program");
    numSetDiagnostic(quiet);
    BufferProlog(malloc, free, nullptr, nullptr);
    const int mode = data[0] % 3;
    const int digits = 2 + (data[0] >> 2) % 20;
    const int exact = data[0] >> 7;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    FILE *f = fopen(file.c_str(), "wb");
    if (!f || fwrite(text.data(), 1, text.size(), f) != text.size() || fclose(f) != 0)
        abort();
    Buffer *loaded = programLoad(file.c_str(), 1);
    Buffer *typed = BufferCreate(nullptr, kCreateDetached);
    if (!loaded || !typed)
        abort();
    typed->lineBreakMode = kBreakLineFeed;
    if (BufferInsert(1, 1, text.data(), static_cast<int32_t>(text.size()), typed) != 0)
        abort();
    BufferGoto(1, 1, typed);

    Outcome a = run(loaded, mode, digits, exact), b = run(typed, mode, digits, exact);
    if (a.steps != b.steps || a.line != b.line || a.plotState != b.plotState)
        fail("the runs from the file and from memory differ", std::to_string(a.steps),
             std::to_string(b.steps));
    if (a.shown != b.shown || a.reports != b.reports)
        fail("the runs from the file and from memory differ", a.shown + a.reports,
             b.shown + b.reports);

    // Every goto's target against the plain scan.
    const std::vector<std::string> lines = linesOf(text);
    Calculator calc;
    std::string reports;
    calc.hooks.context = &reports;
    calc.hooks.programReport = [](const char *t, Calculator *c) {
        *static_cast<std::string *>(c->hooks.context) += t;
    };
    calc.program = typed;
    int jumps = 0;
    for (size_t i = 0; i < lines.size() && jumps < 50; i++) {
        if (lines[i].compare(0, 4, "goto") != 0)
            continue;
        jumps++;
        const std::string rest = lines[i].substr(4, 256);
        size_t k = 0;
        while (k < rest.size() && rest[k] != ' ')
            k++;
        while (k < rest.size() && rest[k] == ' ')
            k++;
        const char *target = rest.c_str() + k;
        reports.clear();
        jumpToLabel(target, &calc);
        const int want = scanForLabel(lines, target);
        const bool undefined = reports.find("Undefined label") != std::string::npos;
        if (undefined != (want == 0) || (want != 0 && CurrentLineNumber(typed) != want))
            fail("a jump missed its label", target, std::to_string(want));
    }
    calc.program = nullptr;
    calcRelease(&calc);
    BufferFree(loaded);
    BufferFree(typed);
    return 0;
}
