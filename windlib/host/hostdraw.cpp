// Drawing on a cairo context with the pixel rules the toolkit's GC relies on: lines and fills
// are aliasing-free and exact to the pixel (a line's last pixel is left out, as the GC expects
// and compensates for), and the backend is looked up here by its name.
#include "hostdraw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

struct HostPalette {
    int entries;               //
    unsigned char rgb[256][3]; // red, green, blue of each entry
};

const HostOps *HostChoose(const char *name) {
    if (!name)
        return nullptr;
    if (strcmp(name, "headless") == 0)
        return &kHeadlessHost;
    if (strcmp(name, "x11") == 0)
        return &kX11Host;
    return nullptr;
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

HostPalette *HostPaletteCreate(int entries) {
    if (entries < 1 || entries > 256)
        return nullptr;
    HostPalette *p = new (std::nothrow) HostPalette{};
    if (p)
        p->entries = entries;
    return p;
}

int HostPaletteSetEntry(HostPalette *p, int index, int red, int green, int blue) {
    if (!p || index < 0 || index >= p->entries)
        return 1;
    p->rgb[index][0] = (unsigned char)red;
    p->rgb[index][1] = (unsigned char)green;
    p->rgb[index][2] = (unsigned char)blue;
    return 0;
}

int HostPaletteSelect(HostDevice *device, HostPalette *palette) {
    device->palette = palette;
    return 0;
}

void HostPaletteDelete(HostPalette *p) { delete p; }

// A palette colour is looked up in the device's palette (black without one).
void HostDrawSetSource(HostDevice *device, HostColor color) {
    if (color & kHostPaletteIndex) {
        const HostPalette *p = device->palette;
        int i = (int)(color & 0xFF);
        if (!p || i >= p->entries) {
            cairo_set_source_rgb(device->cr, 0, 0, 0);
            return;
        }
        cairo_set_source_rgb(device->cr, p->rgb[i][0] / 255.0, p->rgb[i][1] / 255.0,
                             p->rgb[i][2] / 255.0);
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

// The device rectangle widened by a pen: nothing outside it can colour a pixel.
static void PenBounds(const HostDevice *d, int width, double *x0, double *y0, double *x1,
                      double *y1) {
    *x0 = -width - 1.0;
    *y0 = -width - 1.0;
    *x1 = d->width + width + 1.0;
    *y1 = d->height + width + 1.0;
}

// Clips the segment to the box (Liang-Barsky); false when nothing of it is inside.
static bool ClipSegment(double *ax, double *ay, double *bx, double *by, double x0, double y0,
                        double x1, double y1) {
    double dx = *bx - *ax, dy = *by - *ay, t0 = 0, t1 = 1;
    double p[4] = {-dx, dx, -dy, dy}, q[4] = {*ax - x0, x1 - *ax, *ay - y0, y1 - *ay};
    for (int i = 0; i < 4; i++) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0 ? t > t1 : t < t0)
            return false;
        if (p[i] < 0)
            t0 = t > t0 ? t : t0;
        else
            t1 = t < t1 ? t : t1;
    }
    double sx = *ax, sy = *ay;
    *ax = sx + t0 * dx;
    *ay = sy + t0 * dy;
    *bx = sx + t1 * dx;
    *by = sy + t1 * dy;
    return true;
}

// A solid line of `width` pixels from the current position up to, not including, (x, y). It is
// clipped to the device before it is rasterised, so a line billions of pixels long costs no
// more than one across the device; axis-aligned lines are one rectangle, others one stroke.
void HostDrawLineTo(HostDevice *device, int x, int y, int width, HostColor color) {
    int64_t x0 = device->currentX, y0 = device->currentY;
    device->currentX = x;
    device->currentY = y;
    if (x0 == x && y0 == y)
        return;
    if (width < 1)
        width = 1;
    int before = (width - 1) / 2;
    double bx0, by0, bx1, by1;
    PenBounds(device, width, &bx0, &by0, &bx1, &by1);
    cairo_t *cr = device->cr;
    cairo_new_path(cr);
    if (y0 == y || x0 == x) {
        // The pixels from the start up to the end, as one rectangle of the pen's width.
        bool horizontal = y0 == y;
        int64_t a = horizontal ? x0 : y0, b = horizontal ? x : y;
        int64_t lo = a < b ? a : b + 1, hi = a < b ? b : a + 1; // [lo, hi)
        int64_t across = (horizontal ? y0 : x0) - before;
        double l = std::clamp<double>((double)lo, horizontal ? bx0 : by0, horizontal ? bx1 : by1);
        double h = std::clamp<double>((double)hi, horizontal ? bx0 : by0, horizontal ? bx1 : by1);
        if (h <= l)
            return;
        if (horizontal)
            cairo_rectangle(cr, l, (double)across, h - l, width);
        else
            cairo_rectangle(cr, (double)across, l, width, h - l);
        HostDrawSetSource(device, color);
        cairo_fill(cr);
        return;
    }
    // Pixel centres; the end is pulled back half a pixel so that its own pixel stays out.
    double ax = x0 + 0.5, ay = y0 + 0.5, ex = x + 0.5, ey = y + 0.5;
    double len = std::hypot(ex - ax, ey - ay);
    double ux = (ex - ax) / len, uy = (ey - ay) / len;
    ax -= 0.5 * ux;
    ay -= 0.5 * uy;
    ex -= 0.5 * ux;
    ey -= 0.5 * uy;
    if (!ClipSegment(&ax, &ay, &ex, &ey, bx0, by0, bx1, by1))
        return;
    cairo_move_to(cr, ax, ay);
    cairo_line_to(cr, ex, ey);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    HostDrawSetSource(device, color);
    cairo_stroke(cr);
}

// Each line as lineTo draws it; the device keeps its current position. Filled into one path,
// lines that overlap would not light the same pixels without anti-aliasing.
void HostDrawSegments(HostDevice *device, const int *xyxy, int count, int width, HostColor color) {
    if (!xyxy)
        return;
    const int x = device->currentX, y = device->currentY;
    for (int i = 0; i < count; i++) {
        const int *p = xyxy + 4 * i;
        device->currentX = p[0];
        device->currentY = p[1];
        HostDrawLineTo(device, p[2], p[3], width, color);
    }
    device->currentX = x;
    device->currentY = y;
}

// Anti-aliased, whatever the device's own pixel rules: a curve drawn smooth. Points are cut to
// a band around the device first (cairo's coordinates are 24.8 fixed point).
void HostDrawSmoothPath(HostDevice *device, const double *xy, int count, double width,
                        HostColor color) {
    if (!xy || count < 2)
        return;
    const double limit = 4.0 * (device->width + device->height) + 1000.0;
    cairo_t *cr = device->cr;
    cairo_new_path(cr);
    for (int i = 0; i < count; i++) {
        const double x = std::clamp(xy[2 * i], -limit, limit);
        const double y = std::clamp(xy[2 * i + 1], -limit, limit);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_line_width(cr, width > 0 ? width : 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    HostDrawSetSource(device, color);
    cairo_stroke(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
}

void HostDrawSetPixel(HostDevice *device, int x, int y, int width, HostColor color) {
    if (width < 1)
        width = 1;
    int before = (width - 1) / 2;
    HostRect dot = {x - before, y - before, x - before + width, y - before + width};
    HostDrawFillRect(device, &dot, color);
}

// Cairo keeps coordinates in 24.8 fixed point: rectangles are cut to the device (and a pixel
// around it) first, so no coordinate can wrap.
void HostDrawFillRect(HostDevice *device, const HostRect *rect, HostColor color) {
    double l = std::max<double>(rect->left, -1), t = std::max<double>(rect->top, -1);
    double r = std::min<double>(rect->right, device->width + 1.0);
    double b = std::min<double>(rect->bottom, device->height + 1.0);
    if (r <= l || b <= t)
        return;
    cairo_new_path(device->cr);
    cairo_rectangle(device->cr, l, t, r - l, b - t);
    HostDrawSetSource(device, color);
    cairo_fill(device->cr);
}

// The colour (0x00RRGGBB) of one pixel of a bitmap row.
static uint32_t BitmapPixel(const HostDevice *d, const HostBitmap *b, const uint8_t *row, int x) {
    if (b->bitsPerPixel == 8) {
        int i = row[x];
        if (b->indices) { // palette slots, looked up in the device's palette
            if (i >= b->colorCount || !d->palette)
                return 0;
            int slot = b->indices[i] & 0xFF;
            if (slot >= d->palette->entries)
                return 0;
            const unsigned char *c = d->palette->rgb[slot];
            return (uint32_t)c[0] << 16 | (uint32_t)c[1] << 8 | c[2];
        }
        if (b->colors && i < b->colorCount) {
            const uint8_t *c = b->colors + 4 * i; // blue, green, red, 0
            return (uint32_t)c[2] << 16 | (uint32_t)c[1] << 8 | c[0];
        }
        return (uint32_t)i * 0x010101;
    }
    const uint8_t *p = row + (size_t)x * (size_t)(b->bitsPerPixel / 8); // blue, green, red
    return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

// Copies the bitmap's rectangle (sourceX, sourceY, width x height, rows counted from the top)
// to (x, y). Bitmaps are bottom-up with rows padded to 32 bits.
int HostDrawPutBitmap(HostDevice *device, int x, int y, int width, int height, int sourceX,
                      int sourceY, const HostBitmap *b) {
    if (!b || !b->pixels ||
        (b->bitsPerPixel != 8 && b->bitsPerPixel != 24 && b->bitsPerPixel != 32))
        return 1;
    if (sourceX < 0 || sourceY < 0 || width <= 0 || height <= 0 || sourceX >= b->width ||
        sourceY >= b->height)
        return 1;
    width = std::min(width, b->width - sourceX);
    height = std::min(height, b->height - sourceY);
    if ((int64_t)x >= device->width || (int64_t)y >= device->height || (int64_t)x + width <= 0 ||
        (int64_t)y + height <= 0)
        return 0; // nothing of it on the device
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return 1;
    }
    cairo_surface_flush(s);
    unsigned char *data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    size_t rowSize = ((size_t)b->bitsPerPixel * (size_t)b->width + 31) / 32 * 4;
    for (int r = 0; r < height; r++) {
        const uint8_t *row = b->pixels + rowSize * (size_t)(b->height - 1 - (sourceY + r));
        uint32_t *out = (uint32_t *)(data + (size_t)r * (size_t)stride);
        for (int c = 0; c < width; c++)
            out[c] = BitmapPixel(device, b, row, sourceX + c);
    }
    cairo_surface_mark_dirty(s);
    cairo_t *cr = device->cr;
    cairo_save(cr);
    cairo_set_source_surface(cr, s, x, y);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(s);
    return 0;
}

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
