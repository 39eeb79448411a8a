// Graphics contexts: every drawing of the toolkit goes through a `GC`, a record that binds a
// window to a host device and keeps the current position, colours, font, line attributes and
// units, with a table of device operations. A window's paint asks for its window's GC, draws
// and releases it; printing lends a second GC whose device is the printer, so the same paint
// code draws on paper. Start reading at `GC`; fonts.h has the font cache the text slots use.
#pragma once

#include "wind.h"

#include <cstdint>

struct GC;

// The device operations, in table order. Slots that are empty raise the assertion report in
// their wrapper.
struct GCOperations {
    Color (*setForeground)(Color color, GC *gc);
    Color (*setBackground)(Color color, GC *gc);
    void (*moveTo)(int x, int y, GC *gc);
    void (*lineTo)(int x, int y, GC *gc);
    void (*plot)(int x, int y, GC *gc);
    int (*checkMode)(int mode, GC *gc);
    void (*setLineAttributes)(int width, int style, int extra, GC *gc);
    void (*fillRect)(int x1, int y1, int x2, int y2, GC *gc);
    int (*putImage)(int x, int y, const void *image, GC *gc);
    int (*setFont)(int font, GC *gc);
    int (*fontLineSpacing)(int font, GC *gc);
    int (*fontLeading)(int font, GC *gc);
    int (*fontHeight)(int font, GC *gc);
    int (*charWidth)(int character, int font, GC *gc);
    void (*drawString)(const char *text, GC *gc);
    void (*clearToEndOfLine)(GC *gc);
    void (*drawChars)(const char *text, int count, GC *gc);
    int (*startDocument)(GC *gc); // print hooks: empty for the screen and printer GCs
    int (*startPage)(GC *gc);
    int (*endPage)(GC *gc);
    int (*endDocument)(GC *gc);
};

enum GCUnits { kUnitsCells = 0, kUnitsPixels = 1, kUnitsPoints = 2, kUnitsHundredthPoints = 3 };

constexpr int kTextUnderline = 0x1;         // GC::textMode: underline strings
constexpr int kTextUpdatePosition = 0x8000; // text goes to the device's own position

struct GC {
    int dpiX, dpiY;              // device dots per inch
    int width, height;           // device area, pixels
    int innerWidth, innerHeight; // drawing area, pixels
    int originX, originY;        // drawing area in the device area; added to every coordinate
    int bitsPerPixel;            // device colour depth
    int currentX, currentY;      // current position, pixels, without origin
    int font;                    // current font index, -1 for none
    int baseFont;                // the default font index (screen GC)
    int units;                   // GCUnits
    int textMode;                // kText... bits
    int lineWidth, lineStyle, lineExtra; // line attributes
    Color foreground, background;        // current colours
    Window *owner;                       // the window the GC is lent to
    int useCount;                        // nesting depth of the loan
    HostDevice *device;                  // host device
    unsigned char ownsDevice;            // the GC obtained its device itself
    unsigned char allocated;             // the record was allocated rather than static
    GCOperations operations;             // device operation table
    uint32_t ownerGeneration;            // the owner's generation when lent (see WindowRef)
};

enum GCKind { kGCWindow = 0, kGCPrinter = 1 }; // above 1: a newly allocated GC

// Starts graphics for the prolog: the screen's resolution and depth, the font cache with the
// default font. 0, or non-zero when the default font cannot be made.
int GraphicsInit(void);
void GraphicsEnd(void); // the epilog: fonts and the GCs' devices go

// Lends a GC to the window. how: 1 obtain the window's device (or the printer's), 0 use
// `device`. kind: GCKind. Null after a quiet diagnostic: the GC is lent to another window, or
// there is no device.
GC *wGETGC(int how, int kind, HostDevice *device, Window *window);
GC *GetWindowGC(Window *window); // the window GC on the window's own device
void ReleaseGC(GC *gc);
GC *ScreenGC(void); // the static window GC (for its resolution and operations)

// Text through a GC (fonts.h holds the cache behind them).
int SetGCFont(int font, GC *gc); // -1: the owner window's font, or font 0 when it has none
int GetGCFont(GC *gc);
int GetLineSpacing(int font, GC *gc);
int GetCharWidth(int character, int font, GC *gc);
int StringWidth(const char *text, int font, GC *gc); // the sum of its characters' widths
