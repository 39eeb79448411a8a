// Buffer editing: appending short lines, inserting and deleting in the middle of a long buffer,
// and undoing single-character edits. The std::vector<std::string> runs are the peer to quote
// ratios against.
#include "buffer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
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

} // namespace
