// The font cache: fontspec texts, their parsing, the host fonts they make and the metrics of
// each. See fonts.h; the GC wrappers that use it are in gditext.cpp.
//
// Invariants:
// - Entry 0 is the default font: it is never taken over and never deleted.
// - An entry in use owns one reference to its host font; a device that has the font selected
//   holds another, so a font taken over or recreated is never freed under a device.
// - Metrics are read from the host font itself (through a device in memory), so they never
//   depend on which device happens to be at hand, and are read again after RecreateFonts.
//   Each is read when first asked for: the heights on the font's first use, a character's
//   width when that character is first measured, so a font never shown costs the host nothing.
#include "fonts.h"
#include "gdi.h"
#include "wind.h"

#include "host.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

struct FontEntry {
    int16_t widths[256];     // advance of each character code, valid where widthKnown
    bool widthKnown[256];    //
    HostFont *host;          // the host font
    std::string spec;        // the fontspec it was made from, or "default"; any length
    int16_t lineHeight;      // ascent + descent
    int16_t externalLeading; //
    int16_t heightValue;     // the height parameter (saturated to 16 bits)
    bool inUse;              //
    bool metricsKnown;       // lineHeight and externalLeading have been read
    int useCount;            // 1 at creation, one more for every lookup that finds it
    int pixelHeight;         // the height the host font was asked for
};

struct Fonts {
    FontEntry entries[kFontCacheSize];
    int dpiY;          // the resolution fonts are made at now (the screen's, or a printer's)
    HostDevice *gauge; // a device in memory at dpiY that metrics are read through, or null
};

Fonts gFonts;
int gFontNotes; // the host says which installed family stands in for a face (SetFontNotes)

const HostOps *Host(void) { return WindowHost(); }

int64_t Saturate(__int128 v) {
    return v > INT64_MAX ? INT64_MAX : v < INT64_MIN ? INT64_MIN : (int64_t)v;
}

bool Valid(int index) { return index >= 0 && index < kFontCacheSize; }

FontEntry *InUse(int index) {
    return Valid(index) && gFonts.entries[index].inUse ? &gFonts.entries[index] : nullptr;
}

void Clear(FontEntry *e) { *e = FontEntry{}; }

void DropHostFont(FontEntry *e) {
    if (e->host && Host())
        Host()->deleteFont(e->host);
    e->host = nullptr;
}

HostFont *MakeHostFont(const char *specText, int dpiY, int *pixelHeight, int64_t *heightValue) {
    FontSpec spec;
    ParseFontSpec(specText, &spec);
    HostFontRequest request;
    FontRequestFor(&spec, dpiY, &request);
    if (pixelHeight)
        *pixelHeight = request.height;
    if (heightValue)
        *heightValue = spec.height;
    return Host() ? Host()->createFont(&request, dpiY) : nullptr;
}

void DropGauge(void) {
    if (gFonts.gauge && Host())
        Host()->deleteMemoryDevice(gFonts.gauge);
    gFonts.gauge = nullptr;
}

// The gauge with the entry's font selected, or null. The caller ends with Unselect, so the
// gauge never keeps a font alive that its entry has let go.
HostDevice *Gauge(FontEntry *e) {
    const HostOps *h = Host();
    if (!h)
        return nullptr;
    if (!gFonts.gauge)
        gFonts.gauge = h->createMemoryDevice(1, 1, gFonts.dpiY);
    if (gFonts.gauge)
        h->selectFont(gFonts.gauge, e->host);
    return gFonts.gauge;
}

void Unselect(HostDevice *d) { Host()->selectFont(d, nullptr); }

// Reads height and leading from the host font.
bool ReadMetrics(FontEntry *e) {
    if (e->metricsKnown)
        return true;
    HostDevice *d = Gauge(e);
    if (!d)
        return false;
    HostTextMetrics m = {};
    bool ok = Host()->getTextMetrics(d, &m) == 0;
    Unselect(d);
    if (!ok)
        return false;
    e->lineHeight = (int16_t)m.height;
    e->externalLeading = (int16_t)m.externalLeading;
    e->metricsKnown = true;
    return true;
}

// Reads the advance of one character code from the host font.
bool ReadWidth(FontEntry *e, int c) {
    if (e->widthKnown[c])
        return true;
    HostDevice *d = Gauge(e);
    if (!d)
        return false;
    int width = 0;
    bool ok = Host()->getCharWidths(d, c, c, &width) == 0;
    Unselect(d);
    if (!ok)
        return false;
    e->widths[c] = (int16_t)width;
    e->widthKnown[c] = true;
    return true;
}

// The entry for a new font: the first free one (from 1 while the default font holds 0), else
// one taken over. Only entries 1..17 are taken over, an unused one (use count 0) first, then
// the least used, the lowest index among equals; its host font is deleted outright, never
// remapped under the windows that still use the index.
int ChooseEntry(void) {
    int from = gFonts.entries[0].inUse ? 1 : 0;
    for (int i = from; i < kFontCacheSize; i++)
        if (!gFonts.entries[i].inUse)
            return i;
    int best = 1;
    for (int i = 2; i < kFontCacheSize; i++)
        if (gFonts.entries[i].useCount < gFonts.entries[best].useCount)
            best = i;
    FontEntry *e = &gFonts.entries[best];
    QuietDiagnostic("FontLookup: font taken over:", e->spec.c_str());
    DropHostFont(e);
    Clear(e);
    return best;
}

} // namespace

// ---- fontspecs ---------------------------------------------------------------------------------

int ParseFontSpec(const char *text, FontSpec *spec) {
    *spec = FontSpec{};
    if (!text)
        return 0;
    int result = 0;
    const char *p = text;
    while (*p) {
        const char *colon = p;
        while (*colon && *colon != ':' && colon - p < kFontNameLimit)
            colon++;
        if (*colon != ':') {
            QuietDiagnostic("Missing : in fontspec string", text);
            return 1;
        }
        std::string name(p, (size_t)(colon - p));
        const char *value = colon + 1;
        const char *end = strchr(value, '!');
        if (!end)
            end = value + strlen(value);
        int64_t *number = nullptr;
        bool *given = nullptr;
        if (name == "height") {
            number = &spec->height;
            given = &spec->hasHeight;
        } else if (name == "setwidth") {
            number = &spec->setwidth;
            given = &spec->hasSetwidth;
        } else if (name == "bold") {
            number = &spec->bold;
            given = &spec->hasBold;
        } else if (name == "italic") {
            number = &spec->italic;
            given = &spec->hasItalic;
        } else if (name == "serif") {
            number = &spec->serif;
            given = &spec->hasSerif;
        } else if (name == "face") {
            size_t n = (size_t)(end - value);
            if (n > (size_t)kFontFaceLimit)
                n = kFontFaceLimit;
            memcpy(spec->face, value, n);
            spec->face[n] = 0;
            spec->hasFace = true;
        } else {
            // The value is not taken as a value: what follows the name is read as items.
            QuietDiagnostic("Bad font parm name:", name.c_str());
            result = 1;
            p = value;
            continue;
        }
        if (number) {
            // No digit check, as the format has always been read: "1x" is 10 + ('x' - '0').
            int64_t v = 0;
            for (const char *c = value; c < end; c++)
                v = Saturate((__int128)v * 10 + ((unsigned char)*c - '0'));
            *number = v;
            *given = true;
        }
        p = *end ? end + 1 : end;
    }
    return result;
}

void FontRequestFor(const FontSpec *spec, int dpiY, HostFontRequest *request) {
    *request = HostFontRequest{};
    if (spec->hasHeight) {
        int64_t pixels = Saturate((__int128)spec->height * dpiY / kFontPointTenths);
        request->height = pixels < 1 ? 1 : pixels > kFontMaxPixels ? kFontMaxPixels : (int)pixels;
    }
    request->weight = spec->hasBold && spec->bold ? 700 : 400;
    request->italic = spec->hasItalic && spec->italic ? 1 : 0;
    request->family = !spec->hasSerif ? kHostFamilyDontCare
                      : spec->serif   ? kHostFamilyRoman
                                      : kHostFamilySwiss;
    request->face = spec->hasFace ? spec->face : nullptr;
}

// ---- the cache ---------------------------------------------------------------------------------

int FontsInit(int dpiY) {
    FontsEnd();
    gFonts.dpiY = dpiY;
    if (Host() && Host()->setFontNotes)
        Host()->setFontNotes(gFontNotes);
    if (FontLookup(kDefaultFontSpec) != 0) {
        QuietDiagnostic("Can't get default font", kDefaultFontSpec);
        return 1;
    }
    return 0;
}

void FontsEnd(void) {
    DropGauge();
    for (FontEntry &e : gFonts.entries) {
        DropHostFont(&e);
        Clear(&e);
    }
}

int FontLookup(const char *spec) {
    if (spec)
        for (int i = 0; i < kFontCacheSize; i++) {
            FontEntry &e = gFonts.entries[i];
            if (e.inUse && e.spec == spec) {
                e.useCount++;
                return i;
            }
        }
    int index = ChooseEntry();
    FontEntry *e = &gFonts.entries[index];
    int pixels = 0;
    int64_t height = 0;
    HostFont *host = MakeHostFont(spec, gFonts.dpiY, &pixels, &height);
    if (!host)
        return -1;
    e->host = host;
    e->spec = spec ? spec : "default";
    e->heightValue = (int16_t)(height > INT16_MAX   ? INT16_MAX
                               : height < INT16_MIN ? INT16_MIN
                                                    : height);
    e->pixelHeight = pixels;
    e->inUse = true;
    e->metricsKnown = false;
    memset(e->widthKnown, 0, sizeof e->widthKnown);
    e->useCount = 1;
    return index;
}

int SetFont(int index, GC *gc) {
    if (!Valid(index))
        return QuietDiagnostic("SetFont:", "number out of range");
    FontEntry *e = InUse(index);
    if (!e)
        return QuietDiagnostic("SetFont:", "font not created");
    if (!gc || !gc->device)
        return QuietDiagnostic("SetFont:", "no device");
    Host()->selectFont(gc->device, e->host);
    ReadMetrics(e);
    gc->font = index;
    return 0;
}

void DeleteFont(int index) {
    if (index == -1)
        return;
    if (!Valid(index)) {
        QuietDiagnostic("DeleteFont:", "number out of range");
        return;
    }
    FontEntry *e = InUse(index);
    if (!e) {
        QuietDiagnostic("DeleteFont:", "font not created");
        return;
    }
    // A font looked up n times goes with the (n + 1)-th release; the default font never goes.
    if (e->useCount > 0) {
        e->useCount--;
        return;
    }
    if (index == 0)
        return;
    DropHostFont(e);
    Clear(e);
}

void RecreateFonts(GC *gc) {
    if (!gc)
        return;
    for (FontEntry &e : gFonts.entries) {
        if (!e.inUse)
            continue;
        int pixels = 0;
        HostFont *made = MakeHostFont(e.spec == "default" ? nullptr : e.spec.c_str(), gc->dpiY,
                                      &pixels, nullptr);
        if (!made) { // the old font serves on
            QuietDiagnostic("RecreateFonts: font not created:", e.spec.c_str());
            continue;
        }
        DropHostFont(&e); // a device that has it selected keeps its own reference
        e.host = made;
        e.pixelHeight = pixels;
    }
    if (gc->dpiY != gFonts.dpiY)
        DropGauge();
    gFonts.dpiY = gc->dpiY;
    for (FontEntry &e : gFonts.entries) {
        e.metricsKnown = false;
        memset(e.widthKnown, 0, sizeof e.widthKnown);
    }
}

// ---- metrics -----------------------------------------------------------------------------------

namespace {

FontEntry *Measured(int index) {
    FontEntry *e = InUse(index);
    return e && ReadMetrics(e) ? e : nullptr;
}

} // namespace

int FontLineSpacing(int index, GC *) {
    FontEntry *e = Measured(index);
    return e ? e->lineHeight + e->externalLeading : 0;
}

int FontHeight(int index, GC *) {
    FontEntry *e = Measured(index);
    return e ? e->lineHeight : 0;
}

int FontLeading(int index, GC *) {
    FontEntry *e = Measured(index);
    return e ? e->externalLeading : 0;
}

int CharWidth(int character, int index, GC *) {
    FontEntry *e = InUse(Valid(index) ? index : 0);
    int c = character & 0xFF;
    return e && ReadWidth(e, c) ? e->widths[c] : 0;
}

int FontUseCount(int index) { return InUse(index) ? gFonts.entries[index].useCount : 0; }
const char *FontSpecText(int index) {
    return InUse(index) ? gFonts.entries[index].spec.c_str() : nullptr;
}
int FontPixelHeight(int index) { return InUse(index) ? gFonts.entries[index].pixelHeight : 0; }

void SetFontNotes(int on) {
    gFontNotes = on != 0;
    if (Host() && Host()->setFontNotes)
        Host()->setFontNotes(gFontNotes);
}
