// Buffer edit streams with undo, checked against a plain string. The input is a stream of
// operations on a line-feed buffer with undo: insertions and region deletions at positions in
// and past the text, frame starts, undos, and new lines (made outside any frame, as the program
// window would before recording). After every operation the buffer's text must be the model's
// and its lines the model cut after every line feed; an undo must return 0 and bring back the
// text its frame started from.
#include "buffer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string textOf(const Buffer *b) {
    std::string all;
    for (const LineNode *n = b->firstLine; n; n = n->next) {
        size_t len = n->lengthFlags & kNodeLengthMask;
        if (len)
            all.append(n->text, len);
    }
    return all;
}

// The chain's lines, the empty last line included.
std::vector<std::string> nodesOf(const Buffer *b) {
    std::vector<std::string> lines;
    for (const LineNode *n = b->firstLine; n; n = n->next) {
        size_t len = n->lengthFlags & kNodeLengthMask;
        lines.emplace_back(len ? std::string(n->text, len) : std::string());
    }
    return lines;
}

// The same, a buffer that never had a line read as the empty text.
std::vector<std::string> linesOf(const Buffer *b) {
    std::vector<std::string> lines = nodesOf(b);
    if (lines.empty())
        lines.emplace_back();
    return lines;
}

// The text cut after every line feed, the piece after the last always present.
std::vector<std::string> cut(const std::string &text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        lines.back() += c;
        if (c == '\n')
            lines.emplace_back();
    }
    return lines;
}

// Where (line, column) falls in the text, as the buffer places an insertion: lines below 1 are
// line 1, a line past the text appends, a column past a line's end goes before its line feed.
size_t insertOffset(const std::string &text, int32_t line, int32_t column) {
    std::vector<std::string> lines = cut(text);
    if (lines.back().empty())
        lines.pop_back(); // the empty last line is no place to stand
    if (line < 1)
        line = 1;
    if (lines.empty() || static_cast<size_t>(line) > lines.size())
        return text.size();
    size_t start = 0;
    for (int32_t i = 1; i < line; i++)
        start += lines[i - 1].size();
    const std::string &s = lines[line - 1];
    int32_t end = static_cast<int32_t>(s.size()) + (s.back() == '\n' ? 0 : 1);
    if (column > end)
        column = end;
    if (column < 1)
        column = 1;
    return start + static_cast<size_t>(column - 1);
}

// The byte range of a region (both ends included, in either order), or false when the
// deletion must be refused (its start line or its end line is not in the buffer).
bool regionRange(const std::vector<std::string> &lines, int32_t l1, int32_t c1, int32_t l2,
                 int32_t c2, size_t *from, size_t *to) {
    if (l2 < l1 || (l2 == l1 && c2 < c1)) {
        std::swap(l1, l2);
        std::swap(c1, c2);
    }
    if (c1 < 1)
        c1 = 1;
    if (l1 < 1 || static_cast<size_t>(l1) > lines.size() || static_cast<size_t>(l2) > lines.size())
        return false;
    auto lineStart = [&](int32_t l) {
        size_t s = 0;
        for (int32_t i = 1; i < l; i++)
            s += lines[i - 1].size();
        return s;
    };
    const size_t len1 = lines[l1 - 1].size(), len2 = lines[l2 - 1].size();
    *from = lineStart(l1) + std::min<size_t>(static_cast<size_t>(c1 - 1), len1);
    size_t last = c2 < 0 ? 0 : std::min<size_t>(static_cast<size_t>(c2), len2);
    *to = std::max(*from, lineStart(l2) + last);
    return true;
}

void fail(const char *what, size_t op, const std::string &want, const std::string &got) {
    fprintf(stderr, "operation %zu: %s\n  want \"%s\"\n  got  \"%s\"\n", op, what, want.c_str(),
            got.c_str());
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    BufferProlog(malloc, free, nullptr, nullptr);
    Buffer *b = BufferCreate("fuzz", kCreateDetached | kCreateUndo);
    if (!b || !b->undoBuffer)
        abort();
    b->lineBreakMode = kBreakLineFeed;
    std::string model;
    // The text each frame in the undo buffer started from, oldest first; edits recorded before
    // any frame form a frame of their own that undoes to the text they found.
    std::vector<std::string> frames;
    auto recorded = [&frames, &model]() {
        if (frames.empty())
            frames.push_back(model);
    };
    static const char *const kPieces[] = {"a", "bc", "\n", "x\n", "\n\n", "yz\nw", "", ";"};
    size_t i = 0, op = 0;
    auto next = [&]() -> int { return i < size ? data[i++] : 0; };
    auto position = [&](int32_t *line, int32_t *column) {
        int l = next(), c = next();
        *line = static_cast<int32_t>(l % 12);
        *column = (c & 0x80) ? kEndOfLineColumn : static_cast<int32_t>(c % 10);
    };
    while (i < size && op < 400) {
        op++;
        const int code = next() % 8;
        if (code <= 2) { // insert
            int32_t line, column;
            position(&line, &column);
            const std::string piece = kPieces[next() % 8];
            // A lone line feed into a buffer that never had a line only opens its empty last
            // line, and an empty text changes nothing: neither is recorded.
            const bool opensOnly = !b->firstLine && piece == "\n";
            const size_t at = insertOffset(model, line, column);
            if (!piece.empty() && !opensOnly)
                recorded();
            int rc =
                BufferInsert(line, column, piece.data(), static_cast<int32_t>(piece.size()), b);
            if (rc != 0)
                fail("an insertion failed", op, "0", std::to_string(rc));
            if (!opensOnly)
                model.insert(at, piece);
        } else if (code <= 4) { // delete a region
            int32_t l1, c1, l2, c2;
            position(&l1, &c1);
            position(&l2, &c2);
            size_t from = 0, to = 0;
            bool ok = regionRange(nodesOf(b), l1, c1, l2, c2, &from, &to);
            if (ok && to > from)
                recorded();
            int rc = DelRegion(l1, c1, l2, c2, b);
            if ((rc == 0) != ok)
                fail("a deletion was refused or allowed wrongly", op, ok ? "0" : "refused",
                     std::to_string(rc));
            if (ok)
                model.erase(from, to - from);
        } else if (code == 5) { // a frame
            if (StartUndoFrame(b) != 0)
                fail("a frame could not start", op, "", "");
            frames.push_back(model);
        } else if (code == 6) { // undo
            int rc = Undo(nullptr, nullptr, b);
            if (frames.empty()) {
                if (rc != -3)
                    fail("undo with nothing recorded", op, "-3", std::to_string(rc));
            } else {
                if (rc != 0)
                    fail("an undo failed", op, "0", std::to_string(rc));
                model = frames.back();
                frames.pop_back();
            }
        } else if (frames.empty()) { // a new line, outside any frame and any history
            int32_t line, column;
            position(&line, &column);
            BufferGoto(line, column, b);
            const int after = next() & 1;
            const std::vector<std::string> lines = nodesOf(b);
            const int32_t at = CurrentLineNumber(b);
            if (InsertLine(after, b) != 0)
                fail("InsertLine failed", op, "", "");
            // The new line holds a line feed; after a last line without one, that line takes
            // it. On the buffer's only, empty line the new line goes before it.
            size_t start = 0;
            for (int32_t k = 1; k < at; k++)
                start += lines[k - 1].size();
            if (after && !model.empty())
                start += lines[at - 1].size();
            model.insert(start, "\n");
        }
        const std::string text = textOf(b);
        if (text != model)
            fail("the text differs from the model", op, model, text);
        if (linesOf(b) != cut(model))
            fail("the lines are not the text cut after every line feed", op, model, text);
    }
    BufferFree(b);
    return 0;
}
