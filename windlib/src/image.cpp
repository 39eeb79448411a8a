// Images and the caret: XPM texts into device-independent buffers, drawn through a GC; and the
// caret the focus window shows, which the host draws. See image.h.
#include "image.h"
#include "fonts.h"
#include "gdi.h"
#include "wind.h"

#include "host.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kColorTableSmall = 12; // bytes of a 1-bit image's colour table
constexpr int kColorTableFour = 64;  // a 4-bit image's
constexpr int kColorTableFull = 1024;

void Put16(unsigned char *p, uint16_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

void Put32(unsigned char *p, uint32_t v) {
    for (int i = 0; i < 4; i++)
        p[i] = (unsigned char)(v >> (8 * i));
}

uint16_t Get16(const unsigned char *p) { return (uint16_t)(p[0] | p[1] << 8); }

int TableSize(int bitsPerPixel) {
    return bitsPerPixel == 1   ? kColorTableSmall
           : bitsPerPixel == 4 ? kColorTableFour
                               : kColorTableFull;
}

// ---- XPM
// -----------------------------------------------------------------------------------------

struct Xpm {
    int width, height, colors;
    int colorOf[256]; // colour number of each pixel character; 0 when unknown
    unsigned char rgb[kXpmMaxColors][3];
    bool none[kXpmMaxColors]; // the colour is "None"
};

bool Separator(char c) { return c == ' ' || c == '\t' || c == ','; }

const char *SkipSeparators(const char *p) {
    while (*p && Separator(*p))
        p++;
    return p;
}

// The next number of the value line; false when there is none.
bool NextNumber(const char **p, long *value) {
    const char *s = SkipSeparators(*p);
    if (*s < '0' || *s > '9')
        return false;
    long v = 0;
    while (*s >= '0' && *s <= '9') {
        if (v < 100000000)
            v = v * 10 + (*s - '0');
        s++;
    }
    *value = v;
    *p = s;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int XpmError(void) {
    ReportMessage("XPM image error");
    return 1;
}

// Reads the value line and the colour lines. Only what the toolkit's images use is accepted:
// one character per pixel, colours as "#rrggbb" or "None", sides of 1..1024, 1..256 colours.
int ParseXpm(const char *const *lines, int lineCount, Xpm *x) {
    *x = Xpm{};
    if (!lines || lineCount < 1 || !lines[0])
        return XpmError();
    const char *p = lines[0];
    long w, h, n, cpp;
    if (!NextNumber(&p, &w) || !NextNumber(&p, &h) || !NextNumber(&p, &n) || !NextNumber(&p, &cpp))
        return XpmError();
    if (w < 1 || w > kXpmMaxSide || h < 1 || h > kXpmMaxSide || n < 1 || n > kXpmMaxColors ||
        cpp != 1 || lineCount < 1 + n)
        return XpmError();
    x->width = (int)w;
    x->height = (int)h;
    x->colors = (int)n;
    for (int i = 0; i < x->colors; i++) {
        const char *line = lines[1 + i];
        if (!line || !*line)
            return XpmError();
        unsigned char key = (unsigned char)line[0];
        const char *q = SkipSeparators(line + 1);
        if (*q != 'c') {
            ReportMessage("non-color XPM not supported yet");
            return XpmError();
        }
        while (*q && !Separator(*q))
            q++;
        q = SkipSeparators(q);
        if (strcmp(q, "None") == 0) {
            x->none[i] = true;
        } else if (q[0] == '#' && strlen(q) >= 7) {
            for (int k = 0; k < 3; k++) {
                int hi = HexDigit(q[1 + 2 * k]), lo = HexDigit(q[2 + 2 * k]);
                if (hi < 0 || lo < 0) {
                    ReportMessage("non-color XPM not supported yet");
                    return XpmError();
                }
                x->rgb[i][k] = (unsigned char)(hi * 16 + lo);
            }
        } else {
            ReportMessage("non-color XPM not supported yet");
            return XpmError();
        }
        x->colorOf[key] = i;
    }
    return 0;
}

// The pixel row r of the XPM, or null when the text has no such line.
const char *XpmRow(const char *const *lines, int lineCount, const Xpm *x, int r) {
    int at = 1 + x->colors + r;
    return at < lineCount ? lines[at] : nullptr;
}

} // namespace

// ---- images
// --------------------------------------------------------------------------------------

Image *PutImage(int width, int height, uint32_t format, const unsigned char *colors, int count) {
    int bits = (int)(format & 0xFF);
    if ((bits != 1 && bits != 8 && bits != 24 && bits != 32) || width < 1 || height < 1 ||
        width > INT_MAX - 7 || count < 0 || count > kXpmMaxColors)
        return nullptr;
    Image *image = (Image *)WindowAllocate(sizeof(Image));
    if (!image) {
        ReportMemoryError("Prep Image - handle");
        return nullptr;
    }
    *image = Image{};
    image->width = (width + 7) / 8 * 8;
    image->height = height;
    image->bitsPerPixel = bits;
    image->format = format;
    size_t row = ImageRowSize(image->width, bits);
    bool fits = row <= (SIZE_MAX - 32) / (size_t)height;
    image->byteSize = fits ? row * (size_t)height : 0;
    image->pixels = fits ? (unsigned char *)WindowAllocate(image->byteSize + 32) : nullptr;
    if (!image->pixels) {
        ReportMemoryError("PutImage - Buffer");
        ReportMessage("Image buffer");
        WindowRelease(image);
        return nullptr;
    }
    memset(image->pixels, 0, image->byteSize + 32);
    size_t headerSize = kImageHeaderSize + (size_t)TableSize(bits);
    image->header = (unsigned char *)WindowAllocate(headerSize);
    if (!image->header) {
        ReportMemoryError("BM Image handle");
        WindowRelease(image->pixels);
        WindowRelease(image);
        return nullptr;
    }
    memset(image->header, 0, headerSize);
    unsigned char *h = image->header;
    Put32(h, kImageHeaderSize);
    Put32(h + 4, (uint32_t)image->width);
    Put32(h + 8, (uint32_t)image->height);
    Put16(h + 12, 1);
    Put16(h + 14, (uint16_t)bits);
    Put32(h + 20, (uint32_t)(image->byteSize > UINT32_MAX ? 0 : image->byteSize));
    Put32(h + 32, (uint32_t)count);
    Put32(h + 36, (uint32_t)count);
    unsigned char *table = h + kImageHeaderSize;
    int entries = TableSize(bits) / ((format & kImagePalette) ? 2 : 4);
    for (int i = 0; i < count && i < entries && colors; i++) {
        const unsigned char *c = colors + 3 * i;
        if (format & kImagePalette) {
            Color slot = AllocColor(c[0], c[1], c[2], nullptr, nullptr, nullptr, 0);
            Put16(table + 2 * i, (uint16_t)(slot & 0xFFFF));
        } else {
            table[4 * i] = c[2];
            table[4 * i + 1] = c[1];
            table[4 * i + 2] = c[0];
        }
    }
    return image;
}

Image *ReadXPM(const char *const *lines, int lineCount, uint32_t none) {
    Xpm x;
    if (ParseXpm(lines, lineCount, &x))
        return nullptr;
    // Palette images only on a palette screen; 24 bits for 16- and 24-bit screens; 32 bits for
    // every other depth (a 30-bit screen included).
    int depth = WindowHost()->getScreenCap(kHostCapBitsPerPixel);
    uint32_t format = PaletteMode()                ? (kImagePalette | kImageFromReader | 8)
                      : depth == 16 || depth == 24 ? (kImageFromReader | 24)
                                                   : (kImageFromReader | 32);
    unsigned char colors[3 * kXpmMaxColors];
    int nr, ng, nb;
    ColorComponents(none, &nr, &ng, &nb);
    for (int i = 0; i < x.colors; i++) {
        unsigned char *c = colors + 3 * i;
        if (x.none[i]) {
            c[0] = (unsigned char)nr;
            c[1] = (unsigned char)ng;
            c[2] = (unsigned char)nb;
        } else {
            memcpy(c, x.rgb[i], 3);
        }
    }
    Image *image = PutImage(x.width, x.height, format, colors, x.colors);
    if (!image)
        return nullptr;
    int bytes = image->bitsPerPixel / 8;
    for (int r = 0; r < x.height; r++) {
        const char *row = XpmRow(lines, lineCount, &x, r);
        if (!row)
            break; // the rest stays 0
        unsigned char *out = ImageRow(image, r);
        int n = (int)strnlen(row, (size_t)x.width);
        for (int col = 0; col < n; col++) {
            int color = x.colorOf[(unsigned char)row[col]];
            unsigned char *px = out + (size_t)col * (size_t)bytes;
            if (bytes == 1) {
                px[0] = (unsigned char)color;
            } else {
                const unsigned char *c = colors + 3 * color;
                px[0] = c[2];
                px[1] = c[1];
                px[2] = c[0];
            }
        }
    }
    return image;
}

int XpmToArgb(const char *const *lines, int lineCount, uint32_t *argb, int maxPixels, int *width,
              int *height) {
    Xpm x;
    if (ParseXpm(lines, lineCount, &x) || x.width * x.height > maxPixels)
        return 1;
    for (int i = 0; i < x.width * x.height; i++)
        argb[i] = 0;
    for (int r = 0; r < x.height; r++) {
        const char *row = XpmRow(lines, lineCount, &x, r);
        if (!row)
            break;
        int n = (int)strnlen(row, (size_t)x.width);
        for (int col = 0; col < n; col++) {
            int c = x.colorOf[(unsigned char)row[col]];
            argb[r * x.width + col] = x.none[c] ? 0
                                                : 0xFF000000u | (uint32_t)x.rgb[c][0] << 16 |
                                                      (uint32_t)x.rgb[c][1] << 8 | x.rgb[c][2];
        }
    }
    *width = x.width;
    *height = x.height;
    return 0;
}

int ImagePutOperation(const Image *image, int sourceX, int sourceY, int width, int lines, int x,
                      int y, GC *gc) {
    if (!image || !gc || !gc->device)
        return 1;
    bool palette = (image->format & kImagePalette) != 0;
    int deviceBits = gc->bitsPerPixel;
    bool drawable = palette || deviceBits == 1 || deviceBits == 2 || deviceBits == 4 ||
                    deviceBits == 8 || deviceBits == 16 || deviceBits == 24 || deviceBits == 32 ||
                    deviceBits == 30;
    if (!drawable)
        return 1;
    uint16_t indices[kXpmMaxColors];
    HostBitmap bitmap = {};
    bitmap.width = image->width;
    bitmap.height = image->height;
    bitmap.bitsPerPixel = image->bitsPerPixel;
    bitmap.pixels = image->pixels;
    const unsigned char *table = image->header + kImageHeaderSize;
    int count = (int)(image->header[32] | image->header[33] << 8);
    if (palette) {
        for (int i = 0; i < count && i < kXpmMaxColors; i++)
            indices[i] = Get16(table + 2 * i);
        bitmap.indices = indices;
    } else if (count > 0) {
        bitmap.colors = table;
    }
    bitmap.colorCount = count;
    return WindowHost()->putBitmap(gc->device, x, y, width, lines, sourceX, sourceY, &bitmap);
}

void DrawImage(const Image *image, int sourceX, int sourceY, int width, int lines, int x, int y,
               GC *gc) {
    if (!gc || !gc->operations.putImage) {
        AssertReport("windlib\\src\\image", __LINE__);
        return;
    }
    gc->operations.putImage(image, sourceX, sourceY, width, lines, x, y, gc);
}

void FreeImage(Image *image) {
    if (!image)
        return;
    WindowRelease(image->pixels);
    WindowRelease(image->header);
    WindowRelease(image);
}

// ---- the caret
// -----------------------------------------------------------------------------------

namespace {

struct Caret {
    WindowRef owner;         // the focus window that shows it
    int x, y, width, height; // in the owner's drawing area; 0 by 0: 2 pixels by a line
    int state;               // CaretStateCode
    unsigned char style[3];  // from the defaults' caret settings (bits 2, 0 and 1)
};

Caret gCaret;

bool HasHostFocus(const Window *w) { return w->host && WindowHost()->getFocus() == w->host; }

} // namespace

void CaretReset(void) { gCaret = Caret{}; }

void CaretState(int state, Window *w) {
    if (!WindowIsLive(w) || !(w->flags & kWindowTakesFocus) || WindowRefGet(gCaret.owner) != w)
        return;
    if (PrintingColors() && state != kCaretHidden)
        return;
    if (gCaret.width == 0 && gCaret.height == 0) {
        gCaret.width = 2;
        gCaret.height = FontLineSpacing(w->font >= 0 ? w->font : 0, nullptr);
    }
    if (state == gCaret.state || state == kCaretUnchanged || !HasHostFocus(w))
        return;
    const HostOps *h = WindowHost();
    if (state == kCaretShown) {
        int ox, oy;
        WindowDrawingOrigin(w, &ox, &oy);
        h->createCaret(w->host, gCaret.width, gCaret.height);
        h->setCaretPos(ox + gCaret.x, oy + gCaret.y);
        h->showCaret(w->host);
    } else {
        h->hideCaret(w->host);
        h->destroyCaret();
    }
    gCaret.state = state;
}

void SetCaretPosition(int x, int y, Window *w) {
    if (!w || WindowRefGet(gCaret.owner) != w)
        return;
    if ((x != gCaret.x || y != gCaret.y) && gCaret.state == kCaretShown)
        CaretState(kCaretHidden, w);
    gCaret.x = x;
    gCaret.y = y;
}

void SetCaretSize(int width, int height, Window *w) {
    if (!w || WindowRefGet(gCaret.owner) != w)
        return;
    if (gCaret.state == kCaretShown)
        CaretState(kCaretHidden, w);
    gCaret.width = width;
    gCaret.height = height;
}

void CaretAttach(Window *w) {
    gCaret = Caret{};
    gCaret.owner = WindowRefOf(w);
    gCaret.state = kCaretRemoved;
    if (const ToolkitDefaults *d = GetToolkitDefaults()) {
        gCaret.style[0] = (d->caretStyle >> 2) & 1;
        gCaret.style[1] = d->caretStyle & 1;
        gCaret.style[2] = (d->caretStyle >> 1) & 1;
    }
}

void CaretHide(Window *w) { CaretState(kCaretHidden, w); }

void CaretShow(Window *w) { CaretState(w == FocusWindow() ? kCaretShown : kCaretRemoved, w); }

void CaretDetach(Window *w) { CaretState(kCaretRemoved, w); }

// ---- the program's icon: a calculator, 48 by 48 ----------------------------------------------

const char *const kProgramIconXpm[] = {"48 48 6 1",
                                       "  c None",
                                       "# c #000000",
                                       "+ c #c0c0c0",
                                       "@ c #808080",
                                       "o c #00ffff",
                                       ". c #ffffff",
                                       "                                                ",
                                       "                                                ",
                                       "      ####################################      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++@@@@@@@@@@@@@@@@@@@@@@@@@@@@++@#      ",
                                       "      #+++@oooooooooooooooooooooooooo@++@#      ",
                                       "      #+++@oooooooooooooooooooooo##oo@++@#      ",
                                       "      #+++@oooooooooooooooooooooo##oo@++@#      ",
                                       "      #+++@oooooooooooooooo########oo@++@#      ",
                                       "      #+++@oooooooooooooooooooooo##oo@++@#      ",
                                       "      #+++@oooooooooooooooooooooo##oo@++@#      ",
                                       "      #+++@oooooooooooooooooooooo##oo@++@#      ",
                                       "      #+++@oooooooooooooooooooooooooo@++@#      ",
                                       "      #+++@@@@@@@@@@@@@@@@@@@@@@@@@@@@++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++@@@@@@+@@@@@@+@@@@@@+@@@@@@+++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++@@@@@@+@@@@@@+@@@@@@+@@@@@@+++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++@@@@@@+@@@@@@+@@@@@@+@@@@@@+++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++.....@+.....@+.....@+.....@+++@#      ",
                                       "      #+++@@@@@@+@@@@@@+@@@@@@+@@@@@@+++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #+++++++++++++++++++++++++++++++++@#      ",
                                       "      #@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@#      ",
                                       "      ####################################      ",
                                       "                                                ",
                                       "                                                "};
const int kProgramIconLines = (int)(sizeof kProgramIconXpm / sizeof kProgramIconXpm[0]);
