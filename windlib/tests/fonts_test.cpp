// The font cache on the headless host (the same fontconfig and cairo path as the x11 one):
// fontspec parsing and its diagnostics, the mapping to a host font request, sharing, takeover
// and deletion of entries, metrics that match what is drawn, and fonts made again for another
// resolution.
#include "windtest.h"

#include "fonts.h"
#include "gdi.h"
#include "host.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace windtest;

namespace {

TEST(FontSpecs, ParseAndMapToAHostRequest) {
    struct Case {
        const char *label, *spec;
        int result, height, weight, italic, family;
        const char *face;       // null: none
        const char *diagnostic; // the start of the last quiet diagnostic, null: none
    } cases[] = {
        // clang-format off
        {"face and height only", "face:Arial!height:100", 0, 13, 400, 0, kHostFamilyDontCare, "Arial", nullptr},
        {"the default font", kDefaultFontSpec, 0, 15, 400, 0, kHostFamilySwiss, "Courier", nullptr},
        {"bold italic serif", "face:Times!height:120!bold:1!italic:1!serif:1", 0, 15, 700, 1, kHostFamilyRoman, "Times", nullptr},
        {"no digit check: 1x", "height:1x", 0, 82 * 96 / 723, 400, 0, kHostFamilyDontCare, nullptr, nullptr},
        {"the last of two values", "height:100!height:200", 0, 26, 400, 0, kHostFamilyDontCare, nullptr, nullptr},
        {"no height: the host's", "face:Arial", 0, 0, 400, 0, kHostFamilyDontCare, "Arial", nullptr},
        {"saturates at 1000 pixels", "height:99999999999999999999999999999", 0, 1000, 400, 0, kHostFamilyDontCare, nullptr, nullptr},
        {"a negative height is one pixel", "height:-10", 0, 1, 400, 0, kHostFamilyDontCare, nullptr, nullptr},
        {"33 characters without a colon", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 1, 0, 400, 0, kHostFamilyDontCare, nullptr, "Missing : in fontspec string aaaa"},
        {"what came before a bad end stands", "height:100!bold", 1, 13, 400, 0, kHostFamilyDontCare, nullptr, "Missing : in fontspec string"},
        // The value after an unknown name is read as the next item.
        {"an unknown name", "size:bold:1", 1, 0, 700, 0, kHostFamilyDontCare, nullptr, "Bad font parm name: size"},
        // clang-format on
    };
    for (const Case &c : cases) {
        QuietDiagnostic("", "");
        FontSpec spec;
        EXPECT_EQ(c.result, ParseFontSpec(c.spec, &spec)) << c.label;
        HostFontRequest r;
        FontRequestFor(&spec, 96, &r);
        EXPECT_EQ(c.height, r.height) << c.label;
        EXPECT_EQ(c.weight, r.weight) << c.label;
        EXPECT_EQ(c.italic, r.italic) << c.label;
        EXPECT_EQ(c.family, r.family) << c.label;
        EXPECT_STREQ(c.face, r.face) << c.label; // both null when there is no face
        if (c.diagnostic) {
            EXPECT_EQ(0, strncmp(c.diagnostic, LastQuietDiagnostic(), strlen(c.diagnostic)))
                << c.label << ": " << LastQuietDiagnostic();
        }
    }
    FontSpec spec;
    ParseFontSpec("height:1x", &spec);
    EXPECT_EQ(82, spec.height);
    std::string longFace = "face:" + std::string(300, 'F');
    ParseFontSpec(longFace.c_str(), &spec);
    EXPECT_EQ((size_t)kFontFaceLimit, strlen(spec.face)); // the rest is dropped
}

class FontTest : public WindTest {
  protected:
    std::string Spec(int i) { return "face:Arial!height:" + std::to_string(80 + i); }
};

TEST_F(FontTest, EqualTextsShareAnEntryAndLongTextsAreTheirOwn) {
    int a = FontLookup("face:Arial!height:100");
    ASSERT_GT(a, 0); // 0 is the default font
    EXPECT_EQ(a, FontLookup("face:Arial!height:100"));
    EXPECT_EQ(2, FontUseCount(a));
    // Texts of any length are kept whole: two long specs that differ only at the end do not
    // share an entry, and one looked up twice does.
    std::string longSpec = "face:" + std::string(300, 'F') + "!height:100";
    std::string other = longSpec + "!bold:0";
    int l = FontLookup(longSpec.c_str());
    ASSERT_GE(l, 0);
    EXPECT_EQ(l, FontLookup(longSpec.c_str()));
    EXPECT_NE(l, FontLookup(other.c_str()));
    EXPECT_EQ(longSpec, FontSpecText(l));
}

TEST_F(FontTest, ReleasesDeleteOnlyAfterTheLastUseAndNeverTheDefaultFont) {
    int a = FontLookup("face:Arial!height:100");
    FontLookup("face:Arial!height:100"); // use count 2
    DeleteFont(a);
    DeleteFont(a);
    EXPECT_NE(nullptr, FontSpecText(a)); // looked up twice: the third release deletes it
    DeleteFont(a);
    EXPECT_EQ(nullptr, FontSpecText(a));
    for (int i = 0; i < 5; i++)
        DeleteFont(0);
    EXPECT_STREQ(kDefaultFontSpec, FontSpecText(0));
    struct Case {
        int index;
        const char *diagnostic;
    } errors[] = {{18, "DeleteFont: number out of range"}, {a, "DeleteFont: font not created"}};
    for (const Case &c : errors) {
        DeleteFont(c.index);
        EXPECT_STREQ(c.diagnostic, LastQuietDiagnostic());
    }
    DeleteFont(-1); // nothing, not even a diagnostic
    EXPECT_STREQ("DeleteFont: font not created", LastQuietDiagnostic());
}

TEST_F(FontTest, ANineteenthFontTakesOverAnUnusedEntryAndNeverTheDefault) {
    // The prolog's defaults hold some entries; fill the rest.
    std::vector<int> made;
    for (int i = 0; FontSpecText(kFontCacheSize - 1) == nullptr; i++)
        made.push_back(FontLookup(Spec(i).c_str()));
    ASSERT_FALSE(made.empty());
    DeleteFont(0);
    DeleteFont(0); // the default font's count reaches 0: it would be the least used
    int victim = made[made.size() / 2];
    for (int i = 2; i < kFontCacheSize; i++)
        if (i != victim)
            FontLookup(FontSpecText(i)); // everything else is used twice
    DeleteFont(victim);                  // count 0: nobody uses it now
    int n = FontLookup("face:Arial!height:300");
    EXPECT_EQ(victim, n);
    EXPECT_STREQ("face:Arial!height:300", FontSpecText(n));
    EXPECT_STREQ(kDefaultFontSpec, FontSpecText(0));
    EXPECT_EQ(0, strncmp("FontLookup: font taken over:", LastQuietDiagnostic(), 28));
}

TEST_F(FontTest, ATakenOverFontStaysWithTheDeviceThatHasItSelected) {
    Window *top = Top("main");
    ShowWindowTree(top);
    std::vector<int> made;
    for (int i = 0; FontSpecText(kFontCacheSize - 1) == nullptr; i++)
        made.push_back(FontLookup(Spec(i).c_str()));
    GC *gc = GetWindowGC(top);
    ASSERT_NE(nullptr, gc);
    int held = made.back();
    ASSERT_EQ(0, SetGCFont(held, gc));
    DeleteFont(held); // count 0, the least used: the next new font takes it over
    EXPECT_EQ(held, FontLookup("face:Arial!height:300"));
    // The device still draws with the font it had; nothing was freed under it (the sanitizer
    // build checks), and the text still reaches the pixels.
    const HostOps *h = WindowHost();
    h->setTextColor(gc->device, 0x000000);
    h->setBackColor(gc->device, 0x0000FF);
    h->textOut(gc->device, 5, 5, "old", 3, 0);
    ReleaseGC(gc);
    EXPECT_EQ(0xFF0000, HeadlessPixel(top->host, 5, 5)); // the opaque box, red
}

TEST_F(FontTest, SetFontAndCharWidthDiagnoseBadIndices) {
    Window *top = Top("main");
    GC *gc = GetWindowGC(top);
    ASSERT_NE(nullptr, gc);
    EXPECT_EQ(1, SetFont(25, gc));
    EXPECT_STREQ("SetFont: number out of range", LastQuietDiagnostic());
    EXPECT_EQ(1, SetFont(kFontCacheSize - 1, gc));
    EXPECT_STREQ("SetFont: font not created", LastQuietDiagnostic());
    EXPECT_EQ(CharWidth('M', 0, gc), CharWidth('M', 25, gc)); // measured with font 0
    EXPECT_EQ(0, CharWidth('M', kFontCacheSize - 1, gc));
    EXPECT_EQ(0, FontLineSpacing(25, gc));
    ReleaseGC(gc);
}

TEST_F(FontTest, DrawnTextIsExactlyAsWideAsMeasured) {
    Window *top = Top("main", kWindowFramed, 0, 0, 60, 10);
    ShowWindowTree(top);
    const char text[] = "Hello, w\xF6rld"; // Latin-1, as the toolkit's texts are
    const char *specs[] = {"face:helvetica!height:100", "face:Courier!height:140!bold:1",
                           "face:MS Sans Serif!height:90!italic:1"};
    for (int i = 0; i < 3; i++) {
        const char *spec = specs[i];
        int font = FontLookup(spec);
        ASSERT_GE(font, 0) << spec;
        GC *gc = GetWindowGC(top);
        ASSERT_NE(nullptr, gc);
        ASSERT_EQ(0, SetGCFont(font, gc));
        int width = StringWidth(text, font, gc);
        int height = FontHeight(font, gc);
        const HostOps *h = WindowHost();
        HostRect band = {0, 0, 480, 70};
        h->fillRect(gc->device, &band, 0xFFFFFF);
        h->setTextColor(gc->device, 0x0000FF); // red text on a red box: the box shows whole
        h->setBackColor(gc->device, 0x0000FF);
        h->textOut(gc->device, 10, 20, text, (int)strlen(text), 0);
        // A second string after the first: a bad byte would have stopped all later drawing.
        h->setBackColor(gc->device, 0xFF0000);
        h->textOut(gc->device, 10, 20 + height + 4, "x", 1, 0);
        ReleaseGC(gc);
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(top->host, 9, 20)) << spec;
        EXPECT_EQ(0xFF0000, HeadlessPixel(top->host, 10, 20)) << spec;
        // The right edge on the bottom row: an italic glyph may lean out at the top.
        EXPECT_EQ(0xFF0000, HeadlessPixel(top->host, 10 + width - 1, 20 + height - 1)) << spec;
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(top->host, 10 + width, 20 + height - 1)) << spec;
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(top->host, 10, 20 + height)) << spec;
        EXPECT_EQ(0x0000FF, HeadlessPixel(top->host, 10, 20 + height + 4)) << spec;
        EXPECT_GT(CharWidth(0xF6, font, gc), 0) << spec;
        // And once black on white below, for a person to look at in the PNG.
        gc = GetWindowGC(top);
        ASSERT_NE(nullptr, gc);
        SetGCFont(font, gc);
        h->setTextColor(gc->device, 0x000000);
        h->setBackColor(gc->device, 0xFFFFFF);
        h->textOut(gc->device, 10, 80 + 20 * i, text, (int)strlen(text), 0);
        ReleaseGC(gc);
    }
    std::string shot = TestPicturePath("fonts_hello.png");
    EXPECT_EQ(0, HeadlessSavePng(top->host, shot.c_str()));
}

// Widths are read from the host one character at a time, when first asked for: in any order
// they are the table the host gives for all 256 at once, from a font of its own.
TEST_F(FontTest, WidthsReadOneAtATimeInAnyOrderAreTheWholeTable) {
    const char *specs[] = {"face:helvetica!height:100", "face:Courier!height:140!bold:1",
                           "face:MS Sans Serif!height:90!italic:1", "face:Times!height:120!serif:1",
                           "face:Fixedsys!height:100!serif:0"};
    const HostOps *h = WindowHost();
    for (const char *text : specs) {
        int font = FontLookup(text);
        ASSERT_GE(font, 0) << text;
        int lazy[256];
        for (int k = 0; k < 256; k++) { // 167 is odd: every code once, scattered
            int c = k * 167 % 256;
            lazy[c] = CharWidth(c, font, nullptr);
        }
        FontSpec spec;
        ParseFontSpec(text, &spec);
        HostFontRequest request;
        FontRequestFor(&spec, 96, &request);
        HostFont *own = h->createFont(&request, 96);
        HostDevice *d = h->createMemoryDevice(1, 1, 96);
        ASSERT_NE(nullptr, own);
        ASSERT_NE(nullptr, d);
        h->selectFont(d, own);
        int whole[256];
        HostTextMetrics m = {};
        EXPECT_EQ(0, h->getCharWidths(d, 0, 255, whole));
        EXPECT_EQ(0, h->getTextMetrics(d, &m));
        h->deleteMemoryDevice(d);
        h->deleteFont(own);
        for (int c = 0; c < 256; c++)
            EXPECT_EQ(whole[c], lazy[c]) << text << " code " << c;
        EXPECT_EQ(m.height, FontHeight(font, nullptr)) << text;
        EXPECT_GT(lazy[(int)'M'], 0) << text;
    }
}

// A face shown with another installed family is said on standard error only when asked for,
// and then once.
TEST_F(FontTest, SubstitutionsAreSaidOnlyWhenAskedAndOnce) {
    testing::internal::CaptureStderr();
    EXPECT_GE(FontLookup("face:No Such Face Quietly!height:100"), 0);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    SetFontNotes(1);
    testing::internal::CaptureStderr();
    EXPECT_GE(FontLookup("face:No Such Face Aloud!height:100"), 0);
    EXPECT_GE(FontLookup("face:No Such Face Aloud!height:120"), 0);
    std::string said = testing::internal::GetCapturedStderr();
    SetFontNotes(0);
    EXPECT_EQ(0u, said.find("torva: font \"No Such Face Aloud\" is shown with \"")) << said;
    EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
}

TEST_F(FontTest, FontsMadeForAPrinterComeBackExactlyForTheScreen) {
    Window *top = Top("main");
    int font = FontLookup("face:helvetica!height:100");
    ASSERT_GE(font, 0);
    int screenSpacing = FontLineSpacing(font, nullptr);
    int screenWidths[256];
    for (int c = 0; c < 256; c++)
        screenWidths[c] = CharWidth(c, font, nullptr);
    const HostOps *h = WindowHost();
    HostDevice *paper = h->createMemoryDevice(100, 100, 600);
    ASSERT_NE(nullptr, paper);
    GC *printer = wGETGC(0, kGCPrinter, paper, top);
    ASSERT_NE(nullptr, printer);
    EXPECT_EQ(600, printer->dpiY);
    RecreateFonts(printer);
    int paperSpacing = FontLineSpacing(font, printer);
    EXPECT_NEAR(screenSpacing * 600.0 / 96, paperSpacing, 1.0);
    EXPECT_NEAR(CharWidth('M', font, printer), screenWidths[(int)'M'] * 600.0 / 96,
                screenWidths[(int)'M'] * 0.2);
    ReleaseGC(printer);
    h->deleteMemoryDevice(paper);
    GC *screen = GetWindowGC(top);
    ASSERT_NE(nullptr, screen);
    RecreateFonts(screen);
    EXPECT_EQ(screenSpacing, FontLineSpacing(font, screen));
    for (int c = 0; c < 256; c++)
        EXPECT_EQ(screenWidths[c], CharWidth(c, font, screen)) << c;
    ReleaseGC(screen);
}

TEST_F(FontTest, AFontThatCannotBeMadeAgainKeepsTheOldOne) {
    Window *top = Top("main");
    int font = FontLookup("face:helvetica!height:100");
    ASSERT_GE(font, 0);
    int before = FontPixelHeight(font);
    HostDevice *paper = WindowHost()->createMemoryDevice(100, 100, 600);
    GC *printer = wGETGC(0, kGCPrinter, paper, top);
    ASSERT_NE(nullptr, printer);
    HeadlessFailFontCreate(font + 1); // entries are made again in index order
    RecreateFonts(printer);
    EXPECT_EQ(before, FontPixelHeight(font)); // the screen font serves on
    EXPECT_EQ(0, strncmp("RecreateFonts: font not created:", LastQuietDiagnostic(), 32));
    EXPECT_EQ(114 * 600 / 723, FontPixelHeight(0)); // the others were made for the paper
    EXPECT_GT(FontLineSpacing(font, printer), 0);   // and the old one still measures
    HeadlessFailFontCreate(1);
    EXPECT_EQ(-1, FontLookup("face:Arial!height:123")); // a lookup that cannot be made
    ReleaseGC(printer);
    WindowHost()->deleteMemoryDevice(paper);
}

TEST_F(FontTest, TheWindowGCIsLentToOneWindowAtATime) {
    Window *top = Top("main");
    Window *a = Child("a", top), *b = Child("b", top, 0, 2, 4, 3);
    GC *gc = GetWindowGC(a);
    ASSERT_NE(nullptr, gc);
    EXPECT_EQ(nullptr, GetWindowGC(b));
    EXPECT_EQ(0, strncmp("wGETGC: GC in use by a", LastQuietDiagnostic(), 22));
    EXPECT_EQ(gc, GetWindowGC(a));
    EXPECT_EQ(2, gc->useCount);
    HostDevice *device = gc->device;
    ReleaseGC(gc);
    EXPECT_EQ(device, gc->device); // the first release keeps the device
    ReleaseGC(gc);
    EXPECT_EQ(nullptr, gc->device);
    // A window that closes while it holds the GC does not keep it from the next one.
    ASSERT_NE(nullptr, GetWindowGC(a));
    CloseWindow(a);
    GC *next = GetWindowGC(b);
    ASSERT_NE(nullptr, next);
    EXPECT_EQ(b, next->owner);
    ReleaseGC(next);
}

} // namespace
