// Graphics contexts: graphics start and end, and the lending of the two static GCs (the window
// GC and the printer GC) to one window at a time. The text slots of the operation table are
// the font cache's (gditext.cpp); colours and drawing fill the other slots.
#include "fonts.h"
#include "gdi.h"

#include "host.h"

#include <string>

namespace {

GC gWindowGC;               // the screen's
GC gPrinterGC;              // the printer's, while a page is printed
HostWindow *gDeviceHost[2]; // the host window each GC took its device from

const HostOps *Host(void) { return WindowHost(); }

int TextOf(const Window *w, const char *message) {
    return QuietDiagnostic(message, w && w->text ? w->text : "");
}

// Screen operations for text; the drawing slots arrive with the drawing module.
void FillOperations(GCOperations *ops) {
    *ops = GCOperations{};
    ops->setFont = SetFont;
    ops->fontLineSpacing = FontLineSpacing;
    ops->fontLeading = FontLeading;
    ops->fontHeight = FontHeight;
    ops->charWidth = CharWidth;
}

// The drawing area: the window less the bars a framed top window keeps inside it, and less the
// border of a bordered window.
void SetDrawingArea(GC *gc, const Window *w) {
    gc->innerWidth = w->right - w->left + 1;
    gc->innerHeight = w->bottom - w->top + 1;
    gc->originX = gc->originY = 0;
    if (!w->parent && (w->flags & kWindowFramed))
        for (const Window *c = w->chain; c; c = c->chain)
            if (c->parent == w &&
                ((c->flags & 0xFFF) == kWindowMenuBar || WindowKind(c) == kWindowKindStatus))
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
    return 0;
}

void GraphicsEnd(void) {
    for (GC *gc : {&gWindowGC, &gPrinterGC})
        while (gc->useCount > 0)
            ReleaseGC(gc);
    FontsEnd();
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
    gc->foreground = window->foreground;
    gc->background = window->background;
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
