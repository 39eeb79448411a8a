// Host fonts for both backends: a face is matched through fontconfig and drawn with cairo's
// FreeType backend. The toolkit's text is Latin-1, so a character code is its own Unicode code
// point; text is drawn glyph by glyph at the sums of the integer advances the font reports, so
// what is drawn is exactly what was measured.
//
// Sizes: the toolkit asks for a cell height (ascent + descent) in pixels, not an em size; the
// em size is chosen so that the font's ascent and descent fill that height.
//
// Start-up: making a font only matches its face (each request once per process). The font file
// is opened and scaled when the font is first measured or drawn, and a character's glyph and
// advance are read when that character is first asked for, so fonts a program makes and never
// shows (or replaces before showing) cost no more than their match.
#include "hostdraw.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_ADVANCES_H
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <strings.h>

struct HostFont {
    cairo_font_face_t *face;     // the matched face; null once `scaled` is made from it
    bool hinted;                 // hinting and hinted metrics (screens, not printers)
    bool failed;                 // the face could not be scaled: the font measures nothing
    cairo_scaled_font_t *scaled; // at the em size that fills `height`; null until first use
    int height;                  // ascent + descent, pixels
    int ascent, descent;         // valid once `scaled` is made
    int refs;                    // the creator's and every device's that has it selected
    bool known[256];             // glyph and advance of the code have been read
    unsigned long glyph[256];    // glyph of each character code
    int advance[256];            // its advance, whole pixels
};

namespace {

constexpr int kDefaultHeight = 16;  // pixels, when the toolkit leaves the height to the host
constexpr int kMaxHeight = 1000;    // pixels
constexpr double kPrinterDpi = 300; // from here up hinting is off: printed widths stay exact

// Faces the classic programs ask for, pinned to the metric-compatible faces the install
// script brings, when they are there.
struct Pin {
    const char *face, *family;
};
constexpr Pin kPins[] = {
    {"helvetica", "Liberation Sans"},
    {"courier", "Liberation Mono"},
    {"MS Sans Serif", "Liberation Sans"},
};

// Faces that are fixed-pitch by name: a proportional match is refused for them.
constexpr const char *kFixedFaces[] = {"Courier", "Courier New", "Fixedsys"};

std::set<std::string> gNoted; // faces whose substitution or absence was already reported
bool gNotes;                  // substitutions are said (absences always are)
HostFont *gDefault;           // for devices that never had a font selected
int gLive;                    // fonts not yet released
int gFailCreate;              // a creation that is to fail, counted down (tests)

bool IsFixedFace(const char *face) {
    for (const char *f : kFixedFaces)
        if (strcasecmp(face, f) == 0)
            return true;
    return false;
}

std::string FamilyOf(FcPattern *p) {
    FcChar8 *family = nullptr;
    if (FcPatternGetString(p, FC_FAMILY, 0, &family) != FcResultMatch || !family)
        return "";
    return (const char *)family;
}

bool IsMonospaced(FcPattern *p) {
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(p, FC_SPACING, 0, &spacing);
    return spacing >= FC_MONO;
}

// The matched pattern for the families in order, with weight and slant; null when fontconfig
// has nothing at all.
FcPattern *MatchOnce(const char *const *families, int count, int weight, int italic,
                     bool substitute) {
    FcPattern *p = FcPatternCreate();
    if (!p)
        return nullptr;
    for (int i = 0; i < count; i++)
        FcPatternAddString(p, FC_FAMILY, (const FcChar8 *)families[i]);
    FcPatternAddInteger(p, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(p, FC_SCALABLE, FcTrue);
    if (substitute) // aliases such as "monospace"; an installed family needs none
        FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result;
    FcPattern *matched = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    return matched;
}

// fontconfig's substitution is the dearest step of making a font, and a program asks for the
// same faces at several sizes: each answer is kept (by reference) until the fonts shut down.
std::map<std::string, FcPattern *> gMatches;

FcPattern *Match(const char *const *families, int count, int weight, int italic,
                 bool substitute = true) {
    std::string key =
        std::to_string(weight >= 600) + std::to_string(italic != 0) + std::to_string(substitute);
    for (int i = 0; i < count; i++)
        key += std::string("|") + families[i];
    auto found = gMatches.find(key);
    FcPattern *m = found != gMatches.end() ? found->second
                                           : MatchOnce(families, count, weight, italic, substitute);
    if (!m)
        return nullptr;
    if (found == gMatches.end())
        gMatches[key] = m;
    FcPatternReference(m); // the caller's reference, which it destroys
    return m;
}

void ForgetMatches(void) {
    for (auto &entry : gMatches)
        FcPatternDestroy(entry.second);
    gMatches.clear();
}

const char *PinnedFamily(const char *face) {
    for (const Pin &pin : kPins)
        if (strcasecmp(face, pin.face) == 0)
            return pin.family;
    return nullptr;
}

// Says once per face, on standard error, which installed family stands in for it when that was
// asked for, and always that nothing at all is installed to show it: the one a user must act on.
FcPattern *Noted(const char *face, const char *fallback, FcPattern *m) {
    const char *asked = face ? face : fallback;
    if (gNoted.count(asked) || (m && (!face || !gNotes)))
        return m;
    if (!m) {
        fprintf(stderr, "torva: no installed font can show \"%s\"\n", asked);
    } else if (strcasecmp(FamilyOf(m).c_str(), face) != 0) {
        fprintf(stderr, "torva: font \"%s\" is shown with \"%s\"\n", face, FamilyOf(m).c_str());
    } else {
        return m;
    }
    gNoted.insert(asked);
    return m;
}

FcPattern *MatchRequest(const HostFontRequest *r) {
    const char *fallback = r->family == kHostFamilyRoman ? "serif" : "sans-serif";
    const char *face = r->face && *r->face ? r->face : nullptr;
    if (face && IsFixedFace(face))
        fallback = "monospace";
    if (face) {
        if (const char *pinned = PinnedFamily(face)) {
            FcPattern *m = Match(&pinned, 1, r->weight, r->italic, false);
            if (m && strcasecmp(FamilyOf(m).c_str(), pinned) == 0)
                return Noted(face, fallback, m);
            if (m)
                FcPatternDestroy(m);
        }
    }
    const char *families[2] = {face ? face : fallback, fallback};
    FcPattern *m = Match(families, face ? 2 : 1, r->weight, r->italic);
    if (m && face && IsFixedFace(face) && !IsMonospaced(m)) {
        FcPatternDestroy(m); // the tape's columns need a fixed pitch
        const char *mono = "monospace";
        m = Match(&mono, 1, r->weight, r->italic);
    }
    return Noted(face, fallback, m);
}

cairo_scaled_font_t *Scale(cairo_font_face_t *face, double size, bool hinted) {
    cairo_matrix_t matrix, ctm;
    cairo_matrix_init_scale(&matrix, size, size);
    cairo_matrix_init_identity(&ctm);
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options,
                                      hinted ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options,
                                        hinted ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
    cairo_scaled_font_t *scaled = cairo_scaled_font_create(face, &matrix, &ctm, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(scaled);
        return nullptr;
    }
    return scaled;
}

// The scaled font, made on first use at the em size that makes ascent + descent the asked
// height, from the font's own ratio. False when the face cannot be scaled.
bool Scaled(HostFont *f) {
    if (f->scaled || f->failed)
        return f->scaled != nullptr;
    cairo_scaled_font_t *probe = Scale(f->face, f->height, false);
    if (probe) {
        cairo_font_extents_t e;
        cairo_scaled_font_extents(probe, &e);
        cairo_scaled_font_destroy(probe);
        double cell = e.ascent + e.descent;
        double size = cell > 0 ? f->height * f->height / cell : f->height;
        f->scaled = Scale(f->face, size, f->hinted);
        if (f->scaled) {
            f->ascent = (int)lround(e.ascent * size / f->height);
            if (f->ascent > f->height)
                f->ascent = f->height;
            f->descent = f->height - f->ascent;
        }
    }
    cairo_font_face_destroy(f->face); // the scaled font keeps its own reference
    f->face = nullptr;
    f->failed = f->scaled == nullptr;
    return !f->failed;
}

// Reads the glyphs and whole-pixel advances of the codes not read yet, in one lock of the face.
// The advances come from the font's metrics tables (FT_Get_Advance), not from loading each
// glyph; text is laid out with these same advances, so what is measured is what is drawn.
void Learn(HostFont *f, const unsigned char *codes, int count) {
    int missing = 0;
    for (int i = 0; i < count && !missing; i++)
        missing = !f->known[codes[i]];
    if (!missing || !Scaled(f))
        return;
    FT_Face ft = cairo_ft_scaled_font_lock_face(f->scaled);
    bool measureByCairo = false;
    for (int i = 0; i < count; i++) {
        int c = codes[i];
        if (f->known[c])
            continue;
        f->glyph[c] = ft ? FT_Get_Char_Index(ft, (FT_ULong)c) : 0;
        FT_Fixed advance = 0;
        bool got = ft && FT_Get_Advance(ft, f->glyph[c], FT_LOAD_NO_HINTING, &advance) == 0;
        f->advance[c] = got ? (int)lround((double)advance / 65536.0) : -1;
        measureByCairo = measureByCairo || !got;
        f->known[c] = true;
    }
    if (ft)
        cairo_ft_scaled_font_unlock_face(f->scaled);
    for (int c = 0; measureByCairo && c < 256; c++) { // cairo's own measure, outside the lock
        if (!f->known[c] || f->advance[c] >= 0)
            continue;
        cairo_glyph_t g = {f->glyph[c], 0, 0};
        cairo_text_extents_t e;
        cairo_scaled_font_glyph_extents(f->scaled, &g, 1, &e);
        f->advance[c] = (int)lround(e.x_advance);
    }
}

void Release(HostFont *f) {
    if (!f || --f->refs > 0)
        return;
    if (f->scaled)
        cairo_scaled_font_destroy(f->scaled);
    if (f->face)
        cairo_font_face_destroy(f->face);
    delete f;
    gLive--;
}

HostFont *FontOf(HostDevice *d) {
    if (d->font)
        return d->font;
    if (!gDefault) {
        HostFontRequest r = {kDefaultHeight, 400, 0, kHostFamilySwiss, nullptr};
        gDefault = HostFontCreate(&r, 96);
    }
    return gDefault;
}

} // namespace

void HostFontFailCreate(int n) { gFailCreate = n; }
void HostFontSetNotes(int on) { gNotes = on != 0; }

HostFont *HostFontCreate(const HostFontRequest *request, int dpiY) {
    if (!request || (gFailCreate > 0 && --gFailCreate == 0))
        return nullptr;
    int height = request->height > 0 ? request->height : kDefaultHeight;
    if (height > kMaxHeight)
        height = kMaxHeight;
    FcPattern *matched = MatchRequest(request);
    if (!matched)
        return nullptr;
    cairo_font_face_t *face = cairo_ft_font_face_create_for_pattern(matched);
    FcPatternDestroy(matched);
    HostFont *f = cairo_font_face_status(face) == CAIRO_STATUS_SUCCESS ? new (std::nothrow)
                                                                             HostFont{}
                                                                       : nullptr;
    if (!f) {
        cairo_font_face_destroy(face);
        return nullptr;
    }
    f->face = face;
    f->hinted = dpiY < kPrinterDpi;
    f->height = height;
    f->refs = 1;
    gLive++;
    return f;
}

void HostFontDelete(HostFont *font) { Release(font); }

HostFont *HostFontSelect(HostDevice *device, HostFont *font) {
    HostFont *old = device->font;
    if (font)
        font->refs++;
    device->font = font;
    Release(old);
    return old;
}

void HostFontDeviceGone(HostDevice *device) {
    Release(device->font);
    device->font = nullptr;
}

int HostFontMetrics(HostDevice *device, HostTextMetrics *m) {
    HostFont *f = FontOf(device);
    if (!f || !m || !Scaled(f))
        return 1;
    m->height = f->height;
    m->ascent = f->ascent;
    m->descent = f->descent;
    m->externalLeading = 0;
    return 0;
}

int HostFontCharWidths(HostDevice *device, int first, int last, int *widths) {
    HostFont *f = FontOf(device);
    if (!f || !widths || first < 0 || last > 255 || first > last)
        return 1;
    unsigned char codes[256];
    for (int c = first; c <= last; c++)
        codes[c - first] = (unsigned char)c;
    Learn(f, codes, last - first + 1);
    if (f->failed)
        return 1;
    for (int c = first; c <= last; c++)
        widths[c - first] = f->advance[c];
    return 0;
}

// Windows-style text: an opaque box of the text's width and the font's height in the
// background colour, the glyphs in the text colour with their baseline at top + ascent.
void HostDrawTextOut(HostDevice *device, int x, int y, const char *text, int length,
                     int updatePos) {
    HostFont *f = FontOf(device);
    if (!f || !text || length <= 0)
        return;
    Learn(f, (const unsigned char *)text, length);
    if (f->failed)
        return;
    if (updatePos) {
        x = device->currentX;
        y = device->currentY;
    }
    cairo_glyph_t *glyphs = new (std::nothrow) cairo_glyph_t[length];
    if (!glyphs)
        return;
    int pen = x;
    for (int i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        glyphs[i] = {f->glyph[c], (double)pen, (double)(y + f->ascent)};
        pen += f->advance[c];
    }
    HostRect box = {x, y, pen, y + f->height};
    HostDrawFillRect(device, &box, device->backColor);
    cairo_set_scaled_font(device->cr, f->scaled);
    HostDrawSetSource(device, device->textColor);
    cairo_show_glyphs(device->cr, glyphs, length);
    delete[] glyphs;
    if (device->textLayer)
        HostNoteText(device, x, y + f->ascent, f->height, text, length);
    if (updatePos)
        device->currentX = pen;
}

void HostFontsShutdown(void) {
    Release(gDefault);
    gDefault = nullptr;
    if (gLive > 0)
        return; // a font still in use keeps cairo's caches and the configuration alive
    // Nothing of cairo is left: its font caches and the font configuration can go, so a leak
    // checker sees only what is really left behind (the next open loads them again).
    ForgetMatches();
    cairo_debug_reset_static_data();
    FcFini();
}
