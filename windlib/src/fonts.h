// The font cache: every font of the toolkit is named by a fontspec text such as
// "face:Courier!height:114!bold:0!italic:0!serif:0!setwidth:1"; the cache turns it into a
// small index, makes the host font once and shares it between everyone who asks for the same
// text, and keeps the metrics text layout needs (line height and the width of each of the 256
// character codes), so measuring asks the host nothing. Errors are quiet diagnostics.
#pragma once

#include <cstdint>

struct GC;
struct HostFontRequest;

constexpr int kFontCacheSize = 18;    // entries; index 0 is the default font, never taken over
constexpr int kFontNameLimit = 32;    // a parameter name this long without ':' is malformed
constexpr int kFontFaceLimit = 256;   // characters of a face name; the rest are dropped
constexpr int kFontMaxPixels = 1000;  // a font's height in pixels is clamped to 1..this
constexpr int kFontPointTenths = 723; // tenths of a point per inch
constexpr char kDefaultFontSpec[] = "face:Courier!height:114!bold:0!italic:0!serif:0!setwidth:1";

// A parsed fontspec: each parameter with whether it was given. Numbers accumulate in 64 bits
// and saturate, so no text can overflow them.
struct FontSpec {
    int64_t height;   // tenths of a point
    int64_t setwidth; // accepted, not used
    char face[kFontFaceLimit + 1];
    int64_t bold, italic, serif;
    bool hasHeight, hasSetwidth, hasFace, hasBold, hasItalic, hasSerif;
};

// Parses `text` into `spec` (cleared first). 0, or 1 after a diagnostic ("Missing : in
// fontspec string" stops; "Bad font parm name:" skips the name); the parameters read so far
// stand either way.
int ParseFontSpec(const char *text, FontSpec *spec);
// The host font request of a spec at a vertical resolution; `face` points into `spec`.
void FontRequestFor(const FontSpec *spec, int dpiY, HostFontRequest *request);

// Starts the cache (empty) for fonts made at `dpiY`, and looks up the default font as index 0.
// 0, or 1 after "Can't get default font".
int FontsInit(int dpiY);
void FontsEnd(void); // deletes every host font

// The index of the font for `spec` (null: the host's default), or -1 when the host cannot make
// it.
int FontLookup(const char *spec);
// Makes the font current in the GC and reads its metrics when unknown. 0, or 1 after a
// diagnostic.
int SetFont(int index, GC *gc);
void DeleteFont(int index); // releases one use; -1 does nothing
// Makes every cached font again for the resolution of the GC's device (printing), keeping the
// old font where the new one cannot be made. Metrics are read again on their next use.
void RecreateFonts(GC *gc);

// Metrics by index: 0 for an index out of range or an entry not in use. With a GC, unknown
// metrics are read through it; without, through a device in memory at the fonts' resolution.
int FontLineSpacing(int index, GC *gc); // line height plus external leading
int FontHeight(int index, GC *gc);      // ascent + descent
int FontLeading(int index, GC *gc);     // external leading
// The advance of a character code (0..255); an index out of range is taken as 0.
int CharWidth(int character, int index, GC *gc);

// Whether the host says, once per face on standard error, which installed family stands in for
// a face that is not installed (off until asked for; kept across prologs). A face for which no
// font at all is installed is said either way.
void SetFontNotes(int on);

// For tests: an entry's use count, its spec text (null when not in use), the pixel height and
// resolution its host font was made with.
int FontUseCount(int index);
const char *FontSpecText(int index);
int FontPixelHeight(int index);
