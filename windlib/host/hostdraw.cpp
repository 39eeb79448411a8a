// Drawing on a cairo context with the pixel rules the toolkit's GC relies on: lines and fills
// are aliasing-free and exact to the pixel (a line's last pixel is left out, as the GC expects
// and compensates for), and the backend is chosen here from the environment.
#include "hostdraw.h"

#include <cstdlib>
#include <cstring>
#include <new>

const HostOps *HostChoose(void) {
    const char *name = getenv("TORVA_HOST");
    if (name && *name) {
        if (strcmp(name, "headless") == 0)
            return &kHeadlessHost;
        if (strcmp(name, "x11") == 0)
            return &kX11Host;
        return nullptr;
    }
    const char *display = getenv("DISPLAY");
    return display && *display ? &kX11Host : &kHeadlessHost;
}

HostDevice *HostDeviceCreate(cairo_t *cr, HostWindow *window, int width, int height, int dpiX,
                             int dpiY, int bitsPerPixel, int paletteSize) {
    HostDevice *d = new (std::nothrow) HostDevice{};
    if (!d) {
        cairo_destroy(cr);
        return nullptr;
    }
    d->cr = cr;
    d->window = window;
    d->width = width;
    d->height = height;
    d->dpiX = dpiX;
    d->dpiY = dpiY;
    d->bitsPerPixel = bitsPerPixel;
    d->paletteSize = paletteSize;
    d->textColor = 0;        // black text
    d->backColor = 0xFFFFFF; // on white
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    return d;
}

void HostDeviceDestroy(HostDevice *device) {
    if (!device)
        return;
    HostFontDeviceGone(device);
    cairo_destroy(device->cr);
    delete device;
}

HostDevice *HostMemoryDeviceCreate(int width, int height, int dpi) {
    cairo_surface_t *s =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, HostClampSize(width), HostClampSize(height));
    cairo_t *cr = cairo_create(s);
    cairo_surface_destroy(s); // the context keeps it
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        return nullptr;
    }
    return HostDeviceCreate(cr, nullptr, HostClampSize(width), HostClampSize(height), dpi, dpi, 24,
                            0);
}

void HostMemoryDeviceDelete(HostDevice *device) { HostDeviceDestroy(device); }

void HostClipOut(cairo_t *cr, const HostRect *area, const HostRect *holes, int holeCount) {
    cairo_rectangle_int_t a = {area->left, area->top, area->right - area->left,
                               area->bottom - area->top};
    cairo_region_t *region = cairo_region_create_rectangle(&a);
    for (int i = 0; i < holeCount; i++) {
        cairo_rectangle_int_t h = {holes[i].left, holes[i].top, holes[i].right - holes[i].left,
                                   holes[i].bottom - holes[i].top};
        if (h.width > 0 && h.height > 0)
            cairo_region_subtract_rectangle(region, &h);
    }
    int n = cairo_region_num_rectangles(region);
    for (int i = 0; i < n; i++) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region, i, &r);
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    if (n == 0)
        cairo_rectangle(cr, 0, 0, 0, 0);
    cairo_clip(cr);
    cairo_region_destroy(region);
}

// Palette colours become black until the palette module gives the device a palette.
void HostDrawSetSource(HostDevice *device, HostColor color) {
    if (color & kHostPaletteIndex) {
        cairo_set_source_rgb(device->cr, 0, 0, 0);
        return;
    }
    cairo_set_source_rgb(device->cr, (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                         ((color >> 16) & 0xFF) / 255.0);
}

int HostDrawDeviceCap(HostDevice *device, int cap) {
    switch (cap) {
    case kHostCapDpiX:
        return device->dpiX;
    case kHostCapDpiY:
        return device->dpiY;
    case kHostCapBitsPerPixel:
        return device->bitsPerPixel;
    case kHostCapPaletteSize:
        return device->paletteSize;
    case kHostCapWidth:
        return device->width;
    case kHostCapHeight:
        return device->height;
    default:
        return 0;
    }
}

HostColor HostDrawSetTextColor(HostDevice *device, HostColor color) {
    HostColor old = device->textColor;
    device->textColor = color;
    return old;
}

HostColor HostDrawSetBackColor(HostDevice *device, HostColor color) {
    HostColor old = device->backColor;
    device->backColor = color;
    return old;
}

void HostDrawMoveTo(HostDevice *device, int x, int y) {
    device->currentX = x;
    device->currentY = y;
}

void HostDrawGetCurrentPos(HostDevice *device, int *x, int *y) {
    *x = device->currentX;
    *y = device->currentY;
}

// A square pen of `width` pixels centred on the point (width 1 is the pixel itself).
static void PenDot(cairo_t *cr, int x, int y, int width) {
    if (width < 1)
        width = 1;
    int before = (width - 1) / 2;
    cairo_rectangle(cr, x - before, y - before, width, width);
}

void HostDrawLineTo(HostDevice *device, int x, int y, int width, HostColor color) {
    // Bresenham from the current position; the end point itself is not drawn.
    int x0 = device->currentX, y0 = device->currentY;
    int dx = abs(x - x0), sx = x0 < x ? 1 : -1;
    int dy = -abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    cairo_new_path(device->cr);
    while (x0 != x || y0 != y) {
        PenDot(device->cr, x0, y0, width);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    HostDrawSetSource(device, color);
    cairo_fill(device->cr);
    device->currentX = x;
    device->currentY = y;
}

void HostDrawSetPixel(HostDevice *device, int x, int y, int width, HostColor color) {
    cairo_new_path(device->cr);
    PenDot(device->cr, x, y, width);
    HostDrawSetSource(device, color);
    cairo_fill(device->cr);
}

void HostDrawFillRect(HostDevice *device, const HostRect *rect, HostColor color) {
    if (rect->right <= rect->left || rect->bottom <= rect->top)
        return;
    cairo_new_path(device->cr);
    cairo_rectangle(device->cr, rect->left, rect->top, rect->right - rect->left,
                    rect->bottom - rect->top);
    HostDrawSetSource(device, color);
    cairo_fill(device->cr);
}

// Images arrive with the images module; until then they draw nothing.

int HostDrawPutBitmap(HostDevice *, int, int, int, int, int, int, const HostBitmap *) { return 1; }

HostPalette *HostNoCreatePalette(int) { return nullptr; }
int HostNoSetPaletteEntry(HostPalette *, int, int, int, int) { return 1; }
int HostNoSelectPalette(HostDevice *, HostPalette *) { return 1; }
void HostNoDeletePalette(HostPalette *) {}
int HostNoEnumPrinters(void (*)(const char *, void *), void *) { return 1; }
HostDevice *HostNoCreatePrinter(const HostPrinterRequest *) { return nullptr; }
void HostNoDeletePrinter(HostDevice *) {}
int HostNoPrinterCall(HostDevice *) { return 1; }
int HostNoStartDoc(HostDevice *, const char *) { return 1; }

HostColor HostClassicSysColor(int index) {
    switch (index) {
    case kHostColorDesktop:
        return 0x808000; // teal
    case kHostColorActiveCaption:
        return 0x800000; // navy
    case kHostColorMenu:
        return 0xC0C0C0; // light grey
    case kHostColorWindow:
        return 0xFFFFFF;
    case kHostColorWindowText:
        return 0x000000;
    case kHostColorCaptionText:
        return 0xFFFFFF;
    default:
        return 0x000000;
    }
}
