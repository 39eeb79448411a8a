// Graphics contexts: graphics start and end, and the lending of the two static GCs (the window
// GC and the printer GC) to one window at a time. The text slots of the operation table are
// the font cache's (gditext.cpp); colours and drawing fill the other slots.
#include "fonts.h"
#include "gdi.h"
#include "image.h"

#include "host.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kSourceFile[] = "windlib\\src\\gdidraw";

GC gWindowGC;               // the screen's
GC gPrinterGC;              // the printer's, while a page is printed
HostWindow *gDeviceHost[2]; // the host window each GC took its device from

const HostOps *Host(void) { return WindowHost(); }

int TextOf(const Window *w, const char *message) {
    return QuietDiagnostic(message, w && w->text ? w->text : "");
}

constexpr int64_t kCoordinateLimit = int64_t(1) << 30; // converted coordinates are clamped

int gPrinting; // PrintingColorMode: while a job is active colours reach the device as RGB

int64_t Clamp(int64_t v) {
    return v < -kCoordinateLimit ? -kCoordinateLimit : v > kCoordinateLimit ? kCoordinateLimit : v;
}

// A coordinate in the GC's units as device pixels without the origin, in 64 bits.
int ToPixels(int v, bool vertical, const GC *gc) {
    int64_t x = v;
    switch (gc->units) {
    case kUnitsCells: {
        const ToolkitDefaults *d = GetToolkitDefaults();
        int64_t size = d ? (vertical ? d->cellHeight : d->cellWidth) : 0x10000;
        x = (x * size) >> 16;
        break;
    }
    case kUnitsPoints:
        x = x * (vertical ? gc->dpiY : gc->dpiX) / 72;
        break;
    case kUnitsHundredthPoints:
        x = x * (vertical ? gc->dpiY : gc->dpiX) / 7200;
        break;
    default:
        break;
    }
    return (int)Clamp(x);
}

int DeviceX(int pixels, const GC *gc) { return (int)Clamp((int64_t)pixels + gc->originX); }
int DeviceY(int pixels, const GC *gc) { return (int)Clamp((int64_t)pixels + gc->originY); }

// Colours reach the printer as RGB: it has no palette. In black and white every colour the
// printer gets is black but for the paper's: white and the printed window's own background,
// which stay white; a text background is always the paper.
HostColor DeviceColor(Color c, const GC *gc, bool background = false) {
    if (!gPrinting)
        return c;
    HostColor rgb = c;
    if (c & kHostPaletteIndex) {
        int r = 0, g = 0, b = 0;
        ColorComponents(c, &r, &g, &b);
        rgb = (HostColor)(r | g << 8 | b << 16);
    }
    if (gPrinting != kPrintingInBlack || gc != &gPrinterGC)
        return rgb;
    const Window *owner = WindowRefGet({gc->owner, gc->ownerGeneration});
    bool paper = background || rgb == 0xFFFFFF || (owner && c == owner->background);
    return paper ? 0xFFFFFF : 0x000000;
}

Color OpSetForeground(Color color, GC *gc) {
    Color old = gc->foreground;
    if (color != old) {
        gc->foreground = color;
        Host()->setTextColor(gc->device, DeviceColor(color, gc));
    }
    return old;
}

Color OpSetBackground(Color color, GC *gc) {
    Color old = gc->background;
    if (color != old) {
        gc->background = color;
        Host()->setBackColor(gc->device, DeviceColor(color, gc, true));
    }
    return old;
}

void OpMoveTo(int x, int y, GC *gc) {
    gc->currentX = ToPixels(x, false, gc);
    gc->currentY = ToPixels(y, true, gc);
    Host()->moveTo(gc->device, DeviceX(gc->currentX, gc), DeviceY(gc->currentY, gc));
}

// A vertical or horizontal line is extended by one pixel in its direction, so that both of its
// ends are drawn (the host leaves the last pixel out).
void OpLineTo(int x, int y, GC *gc) {
    int tx = ToPixels(x, false, gc), ty = ToPixels(y, true, gc);
    int ex = tx, ey = ty;
    if (ty == gc->currentY)
        ex += tx >= gc->currentX ? 1 : -1;
    else if (tx == gc->currentX)
        ey += ty > gc->currentY ? 1 : -1;
    const HostOps *h = Host();
    h->moveTo(gc->device, DeviceX(gc->currentX, gc), DeviceY(gc->currentY, gc));
    h->lineTo(gc->device, DeviceX(ex, gc), DeviceY(ey, gc), gc->lineWidth,
              DeviceColor(gc->foreground, gc));
    gc->currentX = tx;
    gc->currentY = ty;
    h->moveTo(gc->device, DeviceX(tx, gc), DeviceY(ty, gc));
}

void OpPlot(int x, int y, GC *gc) {
    Host()->setPixel(gc->device, DeviceX(ToPixels(x, false, gc), gc),
                     DeviceY(ToPixels(y, true, gc), gc), gc->lineWidth,
                     DeviceColor(gc->foreground, gc));
}

int OpCheckMode(int mode, GC *) {
    if (mode == 0 || mode == 1)
        return 0;
    AssertReport(kSourceFile, __LINE__);
    return 1;
}

void OpSetLineAttributes(int, int, int, GC *) {} // lines read lineWidth when drawn

// Both corners included; a rectangle whose second corner lies before the first is empty.
void OpFillRect(int x1, int y1, int x2, int y2, GC *gc) {
    int64_t l = DeviceX(ToPixels(x1, false, gc), gc), t = DeviceY(ToPixels(y1, true, gc), gc);
    int64_t r = DeviceX(ToPixels(x2, false, gc), gc), b = DeviceY(ToPixels(y2, true, gc), gc);
    if (r < l || b < t)
        return;
    HostRect rect = {(int)l, (int)t, (int)Clamp(r + 1), (int)Clamp(b + 1)};
    Host()->fillRect(gc->device, &rect, DeviceColor(gc->foreground, gc));
}

// The text in the current colours on an opaque box, from the current position (or the
// device's own with kTextUpdatePosition); the GC's current x moves past it.
void OpDrawString(const char *text, GC *gc) {
    if (gc->font < 0)
        SetFont(0, gc);
    const HostOps *h = Host();
    int length = (int)strlen(text);
    int width = StringWidth(text, gc->font, gc);
    if (gc->textMode & kTextUpdatePosition) {
        h->textOut(gc->device, 0, 0, text, length, 1);
        int dx, dy;
        h->getCurrentPos(gc->device, &dx, &dy);
        gc->currentX = dx - gc->originX;
    } else {
        h->textOut(gc->device, DeviceX(gc->currentX, gc), DeviceY(gc->currentY, gc), text, length,
                   0);
        gc->currentX = (int)Clamp((int64_t)gc->currentX + width);
    }
    if (gc->textMode & kTextUnderline) {
        int y = gc->currentY + FontLineSpacing(gc->font, gc) - 1 - gc->lineWidth;
        h->moveTo(gc->device, DeviceX(gc->currentX - width, gc), DeviceY(y, gc));
        h->lineTo(gc->device, DeviceX(gc->currentX, gc), DeviceY(y, gc), gc->lineWidth,
                  DeviceColor(gc->foreground, gc));
    }
    h->moveTo(gc->device, DeviceX(gc->currentX, gc), DeviceY(gc->currentY, gc));
}

// From where the text ended to the end of the drawing area, one line high, in the owner's
// background colour.
void OpClearToEndOfLine(GC *gc) {
    Window *owner = WindowRefGet({gc->owner, gc->ownerGeneration});
    int spacing = FontLineSpacing(gc->font >= 0 ? gc->font : 0, gc);
    HostRect band = {DeviceX(gc->currentX, gc), DeviceY(gc->currentY, gc),
                     DeviceX(gc->innerWidth, gc), DeviceY(gc->currentY + spacing, gc)};
    Host()->fillRect(gc->device, &band,
                     DeviceColor(owner ? owner->background : gc->background, gc, true));
}

void OpDrawChars(const char *text, int count, GC *gc) {
    if (gc->font < 0)
        SetFont(0, gc);
    for (int i = 0; i < count; i++) {
        Host()->textOut(gc->device, DeviceX(gc->currentX, gc), DeviceY(gc->currentY, gc), text + i,
                        1, 0);
        gc->currentX =
            (int)Clamp((int64_t)gc->currentX + CharWidth((unsigned char)text[i], gc->font, gc));
    }
}

int OpPrintHook(GC *) { return 0; }

void FillOperations(GCOperations *ops) {
    *ops = GCOperations{};
    ops->setForeground = OpSetForeground;
    ops->setBackground = OpSetBackground;
    ops->moveTo = OpMoveTo;
    ops->lineTo = OpLineTo;
    ops->plot = OpPlot;
    ops->checkMode = OpCheckMode;
    ops->setLineAttributes = OpSetLineAttributes;
    ops->fillRect = OpFillRect;
    ops->putImage = ImagePutOperation;
    ops->setFont = SetFont;
    ops->fontLineSpacing = FontLineSpacing;
    ops->fontLeading = FontLeading;
    ops->fontHeight = FontHeight;
    ops->charWidth = CharWidth;
    ops->drawString = OpDrawString;
    ops->clearToEndOfLine = OpClearToEndOfLine;
    ops->drawChars = OpDrawChars;
    ops->startDocument = OpPrintHook;
    ops->startPage = OpPrintHook;
    ops->endPage = OpPrintHook;
    ops->endDocument = OpPrintHook;
}

// The drawing area: the window less the bars a framed top window keeps inside it, and less the
// border of a bordered window.
void SetDrawingArea(GC *gc, const Window *w) {
    gc->innerWidth = w->right - w->left + 1;
    gc->innerHeight = w->bottom - w->top + 1;
    gc->originX = gc->originY = 0;
    if (!w->parent && (w->flags & kWindowFramed))
        for (const Window *c = w->chain; c; c = c->chain)
            if (c->parent == w && ((c->flags & kWindowTypeMask) == kWindowMenuBar ||
                                   WindowKind(c) == kWindowKindStatus))
                gc->innerHeight -= c->bottom - c->top + 1;
    if (w->flags & kWindowBordered) {
        bool focus = (w->flags & kWindowTakesFocus) != 0;
        gc->originX = focus ? 4 : 2;
        gc->originY = 2;
        gc->innerWidth -= focus ? 6 : 4;
        gc->innerHeight -= 4;
    }
}

} // namespace

int GraphicsInit(void) {
    const HostOps *h = Host();
    gWindowGC = GC{};
    gPrinterGC = GC{};
    gWindowGC.dpiX = h->getScreenCap(kHostCapDpiX);
    gWindowGC.dpiY = h->getScreenCap(kHostCapDpiY);
    gWindowGC.bitsPerPixel = h->getScreenCap(kHostCapBitsPerPixel);
    gWindowGC.font = gWindowGC.baseFont = -1;
    FillOperations(&gWindowGC.operations);
    if (FontsInit(gWindowGC.dpiY))
        return 1;
    gWindowGC.baseFont = 0;
    return ColorsInit();
}

void GraphicsEnd(void) {
    for (GC *gc : {&gWindowGC, &gPrinterGC})
        while (gc->useCount > 0)
            ReleaseGC(gc);
    FontsEnd();
    ColorsEnd();
    gPrinting = kPrintingOff;
}

void SetPrintingColors(int mode) {
    gPrinting = mode == kPrintingInColour || mode == kPrintingInBlack ? mode : kPrintingOff;
}
int PrintingColors(void) { return gPrinting; }

void WindowDrawingOrigin(const Window *w, int *x, int *y) {
    *x = *y = 0;
    if (w && (w->flags & kWindowBordered)) {
        *x = (w->flags & kWindowTakesFocus) ? 4 : 2;
        *y = 2;
    }
}

GC *ScreenGC(void) { return &gWindowGC; }

GC *wGETGC(int how, int kind, HostDevice *device, Window *window) {
    const HostOps *h = Host();
    if (!h || !WindowIsLive(window))
        return nullptr;
    if (kind > kGCPrinter) // nothing asks for one: there is no record to lend
        return TextOf(window, "wGetGC: can't create GC for"), nullptr;
    GC *gc = kind == kGCPrinter ? &gPrinterGC : &gWindowGC;
    if (gc->useCount > 0) {
        Window *owner = WindowRefGet({gc->owner, gc->ownerGeneration});
        if (owner == window) {
            gc->useCount++;
            return gc;
        }
        if (owner)
            return TextOf(owner, "wGETGC: GC in use by"), nullptr;
        // The window that held it closed without giving it back: that loan is over.
        gc->useCount = 1;
        ReleaseGC(gc);
    }
    if (!gc->device) {
        if (how == 1 && kind == kGCWindow && window->host) {
            gc->device = h->getDevice(window->host);
            gc->ownsDevice = 1;
            gDeviceHost[kind] = window->host;
        } else if (how == 0) {
            gc->device = device;
            gc->ownsDevice = 0;
        }
    }
    if (!gc->device)
        return TextOf(window, "wGETGC: can't create window GC for"), nullptr;
    gc->dpiX = h->deviceCap(gc->device, kHostCapDpiX);
    gc->dpiY = h->deviceCap(gc->device, kHostCapDpiY);
    gc->width = h->deviceCap(gc->device, kHostCapWidth);
    gc->height = h->deviceCap(gc->device, kHostCapHeight);
    gc->bitsPerPixel = h->deviceCap(gc->device, kHostCapBitsPerPixel);
    if (HostPalette *palette = ColorsPalette())
        h->selectPalette(gc->device, palette);
    // The printer GC draws with the window GC's operations, colours and units.
    if (kind == kGCPrinter)
        gc->operations = gWindowGC.operations;
    gc->owner = window;
    gc->ownerGeneration = window->generation;
    gc->useCount = 1;
    gc->lineWidth = 1;
    gc->lineStyle = 1;
    gc->lineExtra = 4;
    gc->textMode = 0;
    gc->units = kUnitsPixels;
    gc->currentX = gc->currentY = 0;
    gc->font = -1;
    if (window->font >= 0)
        SetFont(window->font, gc);
    SetDrawingArea(gc, window);
    // The complements first, so that setting the window's colours reaches the device.
    gc->foreground = ~window->foreground;
    gc->background = ~window->background;
    gc->operations.setForeground(window->foreground, gc);
    gc->operations.setBackground(window->background, gc);
    return gc;
}

GC *GetWindowGC(Window *window) { return wGETGC(1, kGCWindow, nullptr, window); }

void ReleaseGC(GC *gc) {
    if (!gc || gc->useCount <= 0 || --gc->useCount > 0)
        return;
    int kind = gc == &gPrinterGC ? kGCPrinter : kGCWindow;
    if (gc->ownsDevice && gc->device && Host())
        Host()->releaseDevice(gDeviceHost[kind], gc->device);
    gc->device = nullptr;
    gc->ownsDevice = 0;
    gc->owner = nullptr;
    gDeviceHost[kind] = nullptr;
}

// ---- the drawing wrappers -----------------------------------------------------------------------

namespace {

// The GC and the operation must be there: a wrong call is an internal fault.
bool Usable(GC *gc, const void *slot, int line) {
    if (gc && gc->device && slot)
        return true;
    AssertReport(kSourceFile, line);
    return false;
}

#define OPERATION(gc, name) ((gc) ? (const void *)(gc)->operations.name : nullptr)

} // namespace

Color SetForeground(Color color, GC *gc) {
    if (!Usable(gc, OPERATION(gc, setForeground), __LINE__))
        return 0;
    return gc->operations.setForeground(color, gc);
}

Color SetBackground(Color color, GC *gc) {
    if (!Usable(gc, OPERATION(gc, setBackground), __LINE__))
        return 0;
    return gc->operations.setBackground(color, gc);
}

void MovePen(int x, int y, GC *gc) {
    if (Usable(gc, OPERATION(gc, moveTo), __LINE__))
        gc->operations.moveTo(x, y, gc);
}

void DrawLine(int x, int y, GC *gc) {
    if (Usable(gc, OPERATION(gc, lineTo), __LINE__))
        gc->operations.lineTo(x, y, gc);
}

void DrawLines(const int *xyxy, int count, GC *gc) {
    if (!Usable(gc, OPERATION(gc, lineTo), __LINE__) || !xyxy || count <= 0)
        return;
    const HostOps *h = Host();
    std::vector<int> device(4 * static_cast<size_t>(count));
    for (int i = 0; i < count; i++) {
        const int *p = xyxy + 4 * i;
        const int x0 = ToPixels(p[0], false, gc), y0 = ToPixels(p[1], true, gc);
        int x1 = ToPixels(p[2], false, gc), y1 = ToPixels(p[3], true, gc);
        // As OpLineTo: an axis-aligned line reaches one pixel further, so both ends are drawn.
        if (y1 == y0)
            x1 += x1 >= x0 ? 1 : -1;
        else if (x1 == x0)
            y1 += y1 > y0 ? 1 : -1;
        int *d = device.data() + 4 * i;
        d[0] = DeviceX(x0, gc);
        d[1] = DeviceY(y0, gc);
        d[2] = DeviceX(x1, gc);
        d[3] = DeviceY(y1, gc);
    }
    h->segments(gc->device, device.data(), count, gc->lineWidth, DeviceColor(gc->foreground, gc));
    const int *last = xyxy + 4 * (count - 1);
    gc->currentX = ToPixels(last[2], false, gc);
    gc->currentY = ToPixels(last[3], true, gc);
    h->moveTo(gc->device, DeviceX(gc->currentX, gc), DeviceY(gc->currentY, gc));
}

void DrawSmoothPath(const double *xy, int count, double width, GC *gc) {
    if (!Usable(gc, OPERATION(gc, lineTo), __LINE__) || !xy || count < 2)
        return;
    double sx = 1.0, sy = 1.0; // units to pixels, fractions kept
    if (gc->units == kUnitsPoints) {
        sx = gc->dpiX / 72.0;
        sy = gc->dpiY / 72.0;
    } else if (gc->units == kUnitsHundredthPoints) {
        sx = gc->dpiX / 7200.0;
        sy = gc->dpiY / 7200.0;
    } else if (gc->units == kUnitsCells) {
        const ToolkitDefaults *d = GetToolkitDefaults();
        sx = d ? d->cellWidth / 65536.0 : 1.0;
        sy = d ? d->cellHeight / 65536.0 : 1.0;
    }
    std::vector<double> device(2 * static_cast<size_t>(count));
    for (int i = 0; i < count; i++) {
        device[2 * i] = xy[2 * i] * sx + gc->originX;
        device[2 * i + 1] = xy[2 * i + 1] * sy + gc->originY;
    }
    Host()->smoothPath(gc->device, device.data(), count, width * sx, DeviceColor(gc->foreground, gc));
}

void PlotPoint(int x, int y, GC *gc) {
    if (Usable(gc, OPERATION(gc, plot), __LINE__))
        gc->operations.plot(x, y, gc);
}

void FillBox(int x1, int y1, int x2, int y2, GC *gc) {
    if (Usable(gc, OPERATION(gc, fillRect), __LINE__))
        gc->operations.fillRect(x1, y1, x2, y2, gc);
}

namespace {

void DrawEdge(int left, int top, int right, int bottom, Color topLeft, Color bottomRight, GC *gc) {
    SetForeground(topLeft, gc);
    FillBox(left, top, right, top, gc);
    FillBox(left, top, left, bottom, gc);
    SetForeground(bottomRight, gc);
    FillBox(left, bottom, right, bottom, gc);
    FillBox(right, top, right, bottom, gc);
}

} // namespace

void DrawBevelBox(int left, int top, int right, int bottom, int style, GC *gc) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    if (!d || !gc)
        return;
    Color old = gc->foreground;
    bool inner = right - left >= 2 && bottom - top >= 2;
    switch (style) {
    case kBevelRaised:
        DrawEdge(left, top, right, bottom, d->white, d->black, gc);
        if (inner) {
            SetForeground(d->shadow, gc);
            FillBox(left + 1, bottom - 1, right - 1, bottom - 1, gc);
            FillBox(right - 1, top + 1, right - 1, bottom - 1, gc);
        }
        break;
    case kBevelPressed:
        DrawEdge(left, top, right, bottom, d->black, d->white, gc);
        if (inner) {
            SetForeground(d->shadow, gc);
            FillBox(left + 1, top + 1, right - 1, top + 1, gc);
            FillBox(left + 1, top + 1, left + 1, bottom - 1, gc);
        }
        break;
    default:
        DrawEdge(left, top, right, bottom, d->shadow, d->white, gc);
        break;
    }
    SetForeground(old, gc);
}

void SetLineAttributes(int width, int style, int extra, GC *gc) {
    if (!Usable(gc, OPERATION(gc, setLineAttributes), __LINE__))
        return;
    gc->lineWidth = width;
    gc->lineStyle = style;
    gc->lineExtra = extra;
    gc->operations.setLineAttributes(width, style, extra, gc);
}

void SetUnits(int units, GC *gc) {
    if (!Usable(gc, gc, __LINE__))
        return;
    if (units >= kUnitsCells && units <= kUnitsHundredthPoints)
        gc->units = units;
}

void GetResolution(int *width, int *height, int *dpiX, int *dpiY, GC *gc) {
    if (!Usable(gc, gc, __LINE__))
        return;
    // The drawing area in the GC's units: the conversion of a unit run backwards.
    int64_t w = gc->innerWidth, h = gc->innerHeight;
    const ToolkitDefaults *d = GetToolkitDefaults();
    switch (gc->units) {
    case kUnitsCells:
        w = d && d->cellWidth ? (w << 16) / d->cellWidth : w;
        h = d && d->cellHeight ? (h << 16) / d->cellHeight : h;
        break;
    case kUnitsPoints:
        w = gc->dpiX ? w * 72 / gc->dpiX : w;
        h = gc->dpiY ? h * 72 / gc->dpiY : h;
        break;
    case kUnitsHundredthPoints:
        w = gc->dpiX ? w * 7200 / gc->dpiX : w;
        h = gc->dpiY ? h * 7200 / gc->dpiY : h;
        break;
    default:
        break;
    }
    if (width)
        *width = (int)w;
    if (height)
        *height = (int)h;
    if (dpiX)
        *dpiX = gc->dpiX;
    if (dpiY)
        *dpiY = gc->dpiY;
}
