// Graphics contexts: every drawing of the toolkit goes through a `GC`, a record that binds a
// window to a host device and keeps the current position, colours, font, line attributes and
// units, with a table of device operations. A window's paint asks for its window's GC, draws
// and releases it; printing lends a second GC whose device is the printer, so the same paint
// code draws on paper. Start reading at `GC`; fonts.h has the font cache the text slots use.
#pragma once

#include "wind.h"

#include <cstdint>

struct GC;
struct HostPalette;
struct Image;

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
    int (*putImage)(const Image *image, int sourceX, int sourceY, int width, int lines, int x,
                    int y, GC *gc);
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
static_assert(kTextUnderline == 0x1);
static_assert(kTextUpdatePosition == 0x8000);

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

// ---- colours
// ------------------------------------------------------------------------------------- On a
// true-colour screen a colour is red | green << 8 | blue << 16; on a palette screen (4 or 8 bits
// with a full hardware palette) it is a palette index | 0x1000000 into a palette the toolkit
// manages, the nearest entry in hue, saturation and value once it is full.

enum SystemColorType {
    kSysColorMenu = 0,
    kSysColorDesktop = 1,
    kSysColorWindowText = 2,
    kSysColorWindow = 3,
    kSysColorActiveCaption = 4,
    kSysColorCaptionText = 5,
};

// Components are clamped to 0..255. The outputs (each may be null): the palette size (0 on a
// true-colour screen), whether the match was exact, the first unused palette index (-1: none).
// A permanent colour is never given back.
Color AllocColor(int red, int green, int blue, int *paletteSize, int *exact, int *freeIndex,
                 int permanent);
int ColorComponents(Color color, int *red, int *green, int *blue); // 0, or 1 outside the palette
Color SystemColor(int type); // SystemColorType, permanent; other types give black
int PaletteMode(void);       // the palette size in palette mode, else 0
// Graphics start and end: the palette (in palette mode) with white and black.
int ColorsInit(void); // 0, or 1 when the host palette cannot be made
void ColorsEnd(void);
HostPalette *ColorsPalette(void); // null on a true-colour screen

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

// ---- drawing through a GC -----------------------------------------------------------------------
// Coordinates are in the GC's units (SetUnits) relative to its drawing area; each wrapper raises
// the assertion report for a missing GC or operation.
Color SetForeground(Color color, GC *gc); // the previous colour
Color SetBackground(Color color, GC *gc);
void MovePen(int x, int y, GC *gc);
void DrawLine(int x, int y, GC *gc); // from the current position; both ends drawn
// `count` lines, each from (x0, y0) to (x1, y1) of its four numbers, drawn as DrawLine draws
// them, in one go; the current position ends at the last line's end.
void DrawLines(const int *xyxy, int count, GC *gc);
// An anti-aliased line `width` units wide through `count` points (x, y pairs in the GC's units,
// fractions kept), with round joins and ends: a smooth curve.
void DrawSmoothPath(const double *xy, int count, double width, GC *gc);
void PlotPoint(int x, int y, GC *gc);
void FillBox(int x1, int y1, int x2, int y2, GC *gc); // both corners included
void SetLineAttributes(int width, int style, int extra, GC *gc);
void SetUnits(int units, GC *gc);
// The drawing area's width and height in the GC's units, and the device's resolution.
void GetResolution(int *width, int *height, int *dpiX, int *dpiY, GC *gc);
// While a print job is active every colour reaches the device as RGB (the printing module); in
// black and white the printer GC draws every colour black but for the paper's (white, and the
// printed window's background), so nothing of the screen's colours reaches the paper.
enum PrintingColorMode { kPrintingOff = 0, kPrintingInColour = 1, kPrintingInBlack = 2 };
void SetPrintingColors(int mode); // PrintingColorMode
int PrintingColors(void);         // the mode: non-zero while a print job is active
// The toolkit's edges, a pixel wide, around the box from (left, top) to (right, bottom) in the
// defaults' colours: raised (white and black, the shadow inside at the bottom and right), pressed
// (the other way round), and a sunken well (shadow and white). The foreground is kept.
enum BevelStyle { kBevelRaised, kBevelPressed, kBevelWell };
void DrawBevelBox(int left, int top, int right, int bottom, int style, GC *gc);
// Where the window GC's drawing area starts in the window (the border of a bordered window).
void WindowDrawingOrigin(const Window *window, int *x, int *y);

// Text through a GC (fonts.h holds the cache behind them).
int SetGCFont(int font, GC *gc); // -1: the owner window's font, or font 0 when it has none
int GetGCFont(GC *gc);
int GetLineSpacing(int font, GC *gc);
int GetCharWidth(int character, int font, GC *gc);
int StringWidth(const char *text, int font, GC *gc); // the sum of its characters' widths
void SetTextMode(int mode, GC *gc);                  // kText... bits
int GetTextMode(GC *gc);
// At the current position, on an opaque box of the background colour; the position moves past.
void DrawString(const char *text, GC *gc);
void DrawChars(const char *text, int count, GC *gc);
void ClearToEndOfLine(GC *gc); // from where the text ended to the end of the drawing area
