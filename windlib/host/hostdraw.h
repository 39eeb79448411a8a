// What the two backends share: the drawing device over a cairo context (both draw with cairo,
// the x11 backend on an xlib surface per X window, the headless one on an image surface per
// top window), and the printer devices both print with.
#pragma once

#include "host.h"

#include <cairo.h>

#include <string>

struct HostDevice {
    cairo_t *cr;          // drawing context, translated to the device origin and clipped
    HostWindow *window;   // the window drawn on, null for a printer
    int width, height;    // device area in pixels
    int dpiX, dpiY;       // resolution
    int bitsPerPixel;     // colour depth reported to the toolkit
    int paletteSize;      // entries of the hardware palette, 0 for true colour
    HostColor textColor;  // text and pen colour set by setTextColor
    HostColor backColor;  // text background set by setBackColor
    int currentX;         // current position, device pixels
    int currentY;         //
    HostFont *font;       // selected font, null for the default
    HostPalette *palette; // selected palette, null for none
    // An SVG picture's texts as SVG text elements, in points: cairo draws text there as glyph
    // outlines, and these go into the file beside them so its words can be found. Null
    // elsewhere.
    std::string *textLayer;
};

// Makes a device over `cr` (which the device then owns). Null when memory runs out.
HostDevice *HostDeviceCreate(cairo_t *cr, HostWindow *window, int width, int height, int dpiX,
                             int dpiY, int bitsPerPixel, int paletteSize);
void HostDeviceDestroy(HostDevice *device); // destroys the cairo context too

// The memory devices of the table: a 24-bit image surface of their own.
HostDevice *HostMemoryDeviceCreate(int width, int height, int dpi);
void HostMemoryDeviceDelete(HostDevice *device);

// Clips `cr` to `area` less every rectangle of `holes` (each in the same user space).
void HostClipOut(cairo_t *cr, const HostRect *area, const HostRect *holes, int holeCount);

// The drawing entries of the table, over a HostDevice.
int HostDrawDeviceCap(HostDevice *device, int cap);
HostColor HostDrawSetTextColor(HostDevice *device, HostColor color);
HostColor HostDrawSetBackColor(HostDevice *device, HostColor color);
void HostDrawMoveTo(HostDevice *device, int x, int y);
void HostDrawGetCurrentPos(HostDevice *device, int *x, int *y);
void HostDrawLineTo(HostDevice *device, int x, int y, int width, HostColor color);
void HostDrawSetPixel(HostDevice *device, int x, int y, int width, HostColor color);
void HostDrawSegments(HostDevice *device, const int *xyxy, int count, int width, HostColor color);
void HostDrawSmoothPath(HostDevice *device, const double *xy, int count, double width,
                        HostColor color);
void HostDrawFillRect(HostDevice *device, const HostRect *rect, HostColor color);
void HostDrawTextOut(HostDevice *device, int x, int y, const char *text, int length, int updatePos);
int HostDrawPutBitmap(HostDevice *device, int x, int y, int width, int height, int sourceX,
                      int sourceY, const HostBitmap *bitmap);

// Sets the cairo source to a colour; a palette colour through the device's palette.
void HostDrawSetSource(HostDevice *device, HostColor color);

// Palettes of palette-mode screens: an RGB table that a device looks its colours up in.
HostPalette *HostPaletteCreate(int entries);
int HostPaletteSetEntry(HostPalette *palette, int index, int red, int green, int blue);
int HostPaletteSelect(HostDevice *device, HostPalette *palette);
void HostPaletteDelete(HostPalette *palette);

// Fonts (hostfont.cpp): fontconfig matches, cairo's FreeType backend draws. A font is
// reference-counted: its creator holds one reference and every device it is selected into
// another, so deleting a font that a device still uses frees nothing under that device.
HostFont *HostFontCreate(const HostFontRequest *request, int dpiY);
void HostFontDelete(HostFont *font);
HostFont *HostFontSelect(HostDevice *device, HostFont *font); // the previous one
void HostFontDeviceGone(HostDevice *device);                  // drops the device's font
int HostFontMetrics(HostDevice *device, HostTextMetrics *metrics);
int HostFontCharWidths(HostDevice *device, int first, int last, int *widths);
void HostFontSetNotes(int on); // substitutions said on standard error (off at start)
// For tests: the n-th font creation from now fails (1: the next one); 0 disarms.
void HostFontFailCreate(int n);
// The backend closes: with no font left, cairo's font caches and the font configuration are
// released too.
void HostFontsShutdown(void);

// Printing (hostprint.cpp): PostScript or PDF documents through cairo, one printer at a time.
HostDevice *HostCreatePrinter(const HostPrinterRequest *request);
void HostDeletePrinter(HostDevice *printer);
int HostPrinterStartDoc(HostDevice *printer, const char *documentName);
int HostPrinterStartPage(HostDevice *printer);
int HostPrinterEndPage(HostDevice *printer);
int HostPrinterEndDoc(HostDevice *printer);
const char *HostPrinterFailure(void);
HostDevice *HostCreatePicture(const char *file, int kind, int width, int height, int dpi);
// Notes a text drawn on a device with a text layer: its left end at x and baseline at y, device
// pixels, in a font `size` pixels high.
void HostNoteText(HostDevice *device, double x, double y, double size, const char *text,
                  int length);
int HostFinishPicture(HostDevice *picture);

// The classic system colours both backends report.
HostColor HostClassicSysColor(int index);

// Clamps for the host boundary: sizes 1..32767, positions to 16 bits.
inline int HostClampSize(int v) { return v < 1 ? 1 : v > 32767 ? 32767 : v; }
inline int HostClampPos(int v) { return v < -32768 ? -32768 : v > 32767 ? 32767 : v; }

// A table named `name` with its renderer half filled: memory devices, system colours, drawing,
// fonts, palettes and printing, which both backends do with cairo alike. The backend fills the
// platform half (HOST_PLATFORM_OPS in hostcore.h), which is null until then.
constexpr HostOps HostRendererOps(const char *name) {
    HostOps ops{};
    ops.name = name;
    ops.createMemoryDevice = HostMemoryDeviceCreate;
    ops.deleteMemoryDevice = HostMemoryDeviceDelete;
    ops.sysColor = HostClassicSysColor;
    ops.deviceCap = HostDrawDeviceCap;
    ops.setTextColor = HostDrawSetTextColor;
    ops.setBackColor = HostDrawSetBackColor;
    ops.moveTo = HostDrawMoveTo;
    ops.getCurrentPos = HostDrawGetCurrentPos;
    ops.lineTo = HostDrawLineTo;
    ops.setPixel = HostDrawSetPixel;
    ops.segments = HostDrawSegments;
    ops.smoothPath = HostDrawSmoothPath;
    ops.fillRect = HostDrawFillRect;
    ops.textOut = HostDrawTextOut;
    ops.putBitmap = HostDrawPutBitmap;
    ops.createFont = HostFontCreate;
    ops.deleteFont = HostFontDelete;
    ops.selectFont = HostFontSelect;
    ops.getTextMetrics = HostFontMetrics;
    ops.getCharWidths = HostFontCharWidths;
    ops.setFontNotes = HostFontSetNotes;
    ops.createPalette = HostPaletteCreate;
    ops.setPaletteEntry = HostPaletteSetEntry;
    ops.selectPalette = HostPaletteSelect;
    ops.deletePalette = HostPaletteDelete;
    ops.createPrinter = HostCreatePrinter;
    ops.deletePrinter = HostDeletePrinter;
    ops.startDoc = HostPrinterStartDoc;
    ops.startPage = HostPrinterStartPage;
    ops.endPage = HostPrinterEndPage;
    ops.endDoc = HostPrinterEndDoc;
    ops.printerFailure = HostPrinterFailure;
    ops.createPicture = HostCreatePicture;
    ops.finishPicture = HostFinishPicture;
    return ops;
}
