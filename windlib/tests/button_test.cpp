// The digit label on the headless host: its dot size and its painted dots.
#include "windtest.h"

#include "controls.h"
#include "gdi.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace windtest;

namespace {

constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;
constexpr Color kGrey = 0xC0C0C0;

void CloseIt(void *w) { CloseWindow((Window *)w); }

int Width(const Window *w) { return w->right - w->left + 1; }
int Height(const Window *w) { return w->bottom - w->top + 1; }

class ButtonTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        top = Top("main", kWindowFramed, 0, 0, 59, 29);
        top->background = kGrey;
    }
    // Runs the event loop until everything injected so far has been delivered (and `ms` of
    // virtual time have passed).
    void Settle(int ms = 100) {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + ms, CloseIt, runner);
        RunModal(runner);
    }
    int Count(Window *w, int64_t rgb, int fromX = 0) {
        int n = 0;
        for (int y = 0; y < Height(w); y++)
            for (int x = fromX; x < Width(w); x++)
                n += HeadlessPixel(w->host, x, y) == rgb;
        return n;
    }
    Window *top = nullptr;
};

// ---- the digit label ---------------------------------------------------------------------------

// Every pixel of the label: black exactly on the dots of `rows` (boxes of d, or 2 x 2 for d 1).
void ExpectDots(Window *w, const std::vector<int> &rows, int d) {
    int y0 = (Height(w) - 13 * d - 12) / 2, reach = d == 1 ? 2 : d;
    std::set<std::pair<int, int>> lit;
    for (int r = 0; r < 13; r++)
        for (int c = 0; c < 8; c++)
            if (rows[(size_t)r] & (0x80 >> c))
                for (int dy = 0; dy < reach; dy++)
                    for (int dx = 0; dx < reach; dx++)
                        lit.insert({c * (d + 1) + dx, y0 + r * (d + 1) + dy});
    for (int y = 0; y < Height(w); y++)
        for (int x = 0; x < Width(w); x++)
            ASSERT_EQ(lit.count({x, y}) ? 0x000000 : 0xFFFFFF, HeadlessPixel(w->host, x, y))
                << NameOf(w) << " at " << x << "," << y;
}

TEST_F(ButtonTest, ADigitAndItsPointShareOneCellOfFourPixelDots) {
    Window *w = NewDigitLabel(10, 10, 49, 73, "7.", kBlack, kWhite, 1, top);
    ASSERT_NE(nullptr, w);
    ShowWindowTree(top);
    Settle();
    ASSERT_EQ(0, HeadlessSavePng(w->host, (::testing::TempDir() + "digit_label.png").c_str()));
    EXPECT_EQ(4, DigitLabelDotSize(w));
    EXPECT_EQ(39, w->right - w->left);
    EXPECT_EQ(64, Height(w));
    EXPECT_EQ(272, Count(w, 0x000000)); // 16 dots of the 7 and the point, 4 x 4 each
    // The 7 with the point at column 7 of the last row.
    ExpectDots(w, {0x00, 0x7E, 0x02, 0x04, 0x04, 0x08, 0x08, 0x10, 0x10, 0x20, 0x20, 0x20, 0x01},
               4);
}

TEST_F(ButtonTest, TheDotSizeIsTheLargestThatFitsTheWidthAskedFor) {
    struct Case {
        int width; // pixels asked for
        int dot;
        int pixels; // 0: the rectangle is in cells (8 pixels each)
    } cases[] = {
        {15, 1, 1}, {10, 1, 1}, {22, 1, 1}, {23, 2, 1},
        {40, 4, 1}, {46, 4, 1}, {47, 5, 1}, {40, 4, 0}, // cells 0 to 4
    };
    for (const Case &c : cases) {
        int right = c.pixels ? c.width - 1 : c.width / 8 - 1;
        Window *w =
            NewDigitLabel(0, 0, right, c.pixels ? 63 : 4, "8", kBlack, kWhite, c.pixels, top);
        ASSERT_NE(nullptr, w) << c.width;
        EXPECT_EQ(c.dot, DigitLabelDotSize(w)) << c.width;
        EXPECT_EQ(8 * c.dot + 7, w->right - w->left) << c.width;
        CloseWindow(w);
    }
}

TEST_F(ButtonTest, OtherCharactersShowTheFallbackAndAnEmptyTextNothing) {
    const std::vector<int> fallback = {0x00, 0x38, 0x44, 0x02, 0x02, 0x02, 0x04,
                                       0x08, 0x10, 0x10, 0x00, 0x10, 0x00};
    struct Case {
        const char *text;
        int width;
        std::vector<int> rows;
    } cases[] = {
        {"G", 40, fallback},
        {"?", 23, fallback},
        {"", 40, std::vector<int>(13, 0)},
        {" .", 40, std::vector<int>(13, 0)}, // the point only after a digit in the same cell
        {".", 15, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}}, // a 2 x 2 box at the right
        {"x", 15, {0x00, 0x00, 0x00, 0x82, 0x44, 0x28, 0x10, 0x28, 0x44, 0x82, 0x00, 0x00, 0x00}},
    };
    ShowWindowTree(top);
    for (const Case &c : cases) {
        Window *w = NewDigitLabel(0, 0, c.width - 1, 49, "digit", kBlack, kWhite, 1, top);
        ASSERT_NE(nullptr, w);
        SetWindowText(c.text, w);
        ShowWindowTree(w);
        Settle();
        ExpectDots(w, c.rows, DigitLabelDotSize(w));
        CloseWindow(w);
    }
}

} // namespace
