// Buffer editing: appending short lines, inserting and deleting in the middle of a long buffer,
// and undoing single-character edits; buffer files: reading a 10 000-line file, paging its lines
// in, and writing it back after one edit. The std::vector<std::string> and stdio runs are the
// peers to quote ratios against.
#include "buffer.h"
#include "filesys.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kLines = 100000;
constexpr int kUndoEdits = 10000;

Buffer *LineFeedBuffer(int creationFlags) {
    Buffer *b = BufferCreate(nullptr, kCreateDetached | creationFlags);
    b->lineBreakMode = kBreakLineFeed;
    b->lineLimit = 2 * kLines; // above the default 16383 lines
    return b;
}

void Fill(Buffer *b, int lines) {
    char line[32];
    for (int i = 0; i < lines; i++) {
        int n = snprintf(line, sizeof line, "line %d\n", i);
        BufferInsert(b->currentLine, b->currentColumn, line, n, b);
    }
}

void BM_AppendLines(benchmark::State &state) {
    for (auto _ : state) {
        Buffer *b = LineFeedBuffer(0);
        Fill(b, kLines);
        benchmark::DoNotOptimize(b->lineCount);
        BufferFree(b);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_AppendLines)->Unit(benchmark::kMillisecond);

void BM_AppendLinesVectorPeer(benchmark::State &state) {
    char line[32];
    for (auto _ : state) {
        std::vector<std::string> lines;
        for (int i = 0; i < kLines; i++) {
            int n = snprintf(line, sizeof line, "line %d\n", i);
            lines.emplace_back(line, static_cast<size_t>(n));
        }
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_AppendLinesVectorPeer)->Unit(benchmark::kMillisecond);

// One iteration: a line inserted at the middle and deleted again, the cursor elsewhere between.
void BM_MiddleInsertDelete(benchmark::State &state) {
    Buffer *b = LineFeedBuffer(0);
    Fill(b, kLines);
    if (b->lineCount != kLines + 1)
        state.SkipWithError("the buffer did not fill");
    const int32_t middle = kLines / 2;
    for (auto _ : state) {
        BufferInsert(middle, 3, "inserted\n", 9, b);
        DelRegion(middle, 3, middle, 11, b);
        BufferGoto(1, 1, b);
    }
    benchmark::DoNotOptimize(b->lineCount);
    BufferFree(b);
}
BENCHMARK(BM_MiddleInsertDelete)->Unit(benchmark::kMicrosecond);

void BM_MiddleInsertDeleteVectorPeer(benchmark::State &state) {
    std::vector<std::string> lines;
    for (int i = 0; i < kLines; i++)
        lines.push_back("line " + std::to_string(i) + "\n");
    const size_t middle = kLines / 2 - 1;
    for (auto _ : state) {
        std::string rest = lines[middle].substr(2);
        lines[middle].resize(2);
        lines[middle] += "inserted\n";
        lines.insert(lines.begin() + middle + 1, rest);
        lines[middle].resize(2);
        lines[middle] += lines[middle + 1];
        lines.erase(lines.begin() + middle + 1);
    }
    benchmark::DoNotOptimize(lines.data());
}
BENCHMARK(BM_MiddleInsertDeleteVectorPeer)->Unit(benchmark::kMicrosecond);

// Only the undoing is timed: 10 000 frames of one typed character each.
void BM_Undo10000Edits(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        Buffer *b = LineFeedBuffer(kCreateUndo);
        Fill(b, 100);
        BufferGoto(50, 1, b);
        for (int i = 0; i < kUndoEdits; i++) {
            StartUndoFrame(b);
            BufferInsert(b->currentLine, b->currentColumn, "x", 1, b);
            if (b->currentColumn > 200)
                BufferGoto(b->currentLine + 1, 1, b);
        }
        state.ResumeTiming();
        for (int i = 0; i < kUndoEdits; i++)
            Undo(nullptr, nullptr, b);
        state.PauseTiming();
        BufferFree(b);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kUndoEdits);
}
BENCHMARK(BM_Undo10000Edits)->Unit(benchmark::kMillisecond);

constexpr int kFileLines = 10000;

// A private directory holding a generated 10 000-line file; the library's temporary directory is
// made inside it, and everything goes with it.
struct BenchFiles {
    std::string dir;
    std::string file;
    std::string oldTmp;
    bool hadTmp;
    BenchFiles() {
        const char *tmp = getenv("TMPDIR");
        hadTmp = tmp != nullptr;
        oldTmp = tmp ? tmp : "";
        std::string pattern = (tmp && tmp[0] ? oldTmp : "/tmp") + "/torva-bench-XXXXXX";
        if (mkdtemp(pattern.data()))
            dir = pattern;
        setenv("TMPDIR", dir.c_str(), 1);
        file = dir + "/lines.txt";
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < kFileLines; i++)
            out << "line " << i << " of the generated file, some text to page in\n";
    }
    ~BenchFiles() {
        BufferEpilog();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        if (hadTmp)
            setenv("TMPDIR", oldTmp.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
};

Buffer *ReadLines(const BenchFiles &files, int creationFlags) {
    Buffer *b = BufferCreate(files.file.c_str(), creationFlags);
    b->lineBreakMode = kBreakLineFeed;
    ReadBuffer(b);
    return b;
}

// ReadBuffer with its working copy, or on the file itself: one scan, a node per line.
void BM_ReadBuffer(benchmark::State &state) {
    BenchFiles files;
    for (auto _ : state) {
        Buffer *b = ReadLines(files, static_cast<int>(state.range(0)));
        if (b->lineCount != kFileLines + 1)
            state.SkipWithError("the file did not read");
        BufferFree(b);
    }
    state.SetItemsProcessed(state.iterations() * kFileLines);
}
BENCHMARK(BM_ReadBuffer)->Arg(0)->Arg(kCreateNoCopy)->Unit(benchmark::kMillisecond);

void BM_ReadLinesStdioPeer(benchmark::State &state) {
    BenchFiles files;
    for (auto _ : state) {
        std::ifstream in(files.file, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line + "\n");
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetItemsProcessed(state.iterations() * kFileLines);
}
BENCHMARK(BM_ReadLinesStdioPeer)->Unit(benchmark::kMillisecond);

// Every line of a read buffer locked once, first to last: each is paged in from the file.
void BM_LockLineForward(benchmark::State &state) {
    BenchFiles files;
    Buffer *b = ReadLines(files, 0);
    for (auto _ : state) {
        for (int32_t line = 1; line <= kFileLines; line++) {
            BufferGoto(line, 1, b);
            benchmark::DoNotOptimize(LockLine(b));
        }
    }
    state.SetItemsProcessed(state.iterations() * kFileLines);
    BufferFree(b);
}
BENCHMARK(BM_LockLineForward)->Unit(benchmark::kMillisecond);

// One character typed in the middle, then WriteBuffer: the other lines are copied from the old
// file, the new file synced and renamed over the old one, and a new working copy made.
void BM_WriteBufferOneEdit(benchmark::State &state) {
    BenchFiles files;
    Buffer *b = ReadLines(files, 0);
    for (auto _ : state) {
        BufferInsert(kFileLines / 2, 1, "x", 1, b);
        if (WriteBuffer(b) != 0)
            state.SkipWithError("the file did not write");
    }
    state.SetItemsProcessed(state.iterations() * kFileLines);
    BufferFree(b);
}
BENCHMARK(BM_WriteBufferOneEdit)->Unit(benchmark::kMillisecond);

// The same text written from memory with stdio, synced and renamed into place.
void BM_WriteLinesStdioPeer(benchmark::State &state) {
    BenchFiles files;
    std::vector<std::string> lines;
    {
        std::ifstream in(files.file, std::ios::binary);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line + "\n");
    }
    const std::string temp = files.dir + "/lines.new";
    for (auto _ : state) {
        lines[kFileLines / 2].insert(0, "x");
        FILE *out = fopen(temp.c_str(), "wb");
        for (const std::string &line : lines)
            fwrite(line.data(), 1, line.size(), out);
        fflush(out);
        fsync(fileno(out));
        fclose(out);
        rename(temp.c_str(), files.file.c_str());
    }
    state.SetItemsProcessed(state.iterations() * kFileLines);
}
BENCHMARK(BM_WriteLinesStdioPeer)->Unit(benchmark::kMillisecond);

} // namespace
