// Colours: plain RGB values on a true-colour screen; on a palette screen, indices into a
// palette the toolkit keeps itself (a table with reference counts beside the host palette),
// with the nearest colour in hue, saturation and value taken once the palette is full.
#include "gdi.h"

#include "host.h"

#include <cmath>
#include <cstdlib>

namespace {

struct PaletteEntry {
    int red, green, blue; //
    bool used;            //
    int refs;             // -1 for a permanent colour
};

struct Colors {
    int size;             // palette entries in palette mode, 0 on a true-colour screen
    PaletteEntry *table;  // `size` entries, from the toolkit's allocator
    HostPalette *palette; // the host's copy
};

Colors gColors;

int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

struct Hsv {
    double hue, saturation, value; // degrees 0..360, 0..1, 0..1
};

// The hexcone model on components scaled by 1/255.
Hsv ToHsv(int red, int green, int blue) {
    double r = red / 255.0, g = green / 255.0, b = blue / 255.0;
    double max = std::fmax(r, std::fmax(g, b)), min = std::fmin(r, std::fmin(g, b));
    Hsv c = {0, max > 0 ? (max - min) / max : 0, max};
    if (c.saturation == 0)
        return c;
    double d = max - min;
    if (r == max)
        c.hue = 60 * ((g - b) / d);
    else if (g == max)
        c.hue = 60 * (2 + (b - r) / d);
    else
        c.hue = 60 * (4 + (r - g) / d);
    if (c.hue < 0)
        c.hue += 360;
    return c;
}

// Hue differences run round the circle: 350 and 10 degrees are 20 apart.
double Distance(const Hsv &a, const Hsv &b) {
    double hue = std::fabs(a.hue - b.hue);
    if (hue > 180)
        hue = 360 - hue;
    return (hue + 40 * std::fabs(a.saturation - b.saturation) + 60 * std::fabs(a.value - b.value)) /
           460;
}

bool IsGrey(int r, int g, int b) { return r == g && g == b; }

} // namespace

int ColorsInit(void) {
    gColors = Colors{};
    const HostOps *h = WindowHost();
    int bits = h->getScreenCap(kHostCapBitsPerPixel);
    int size = h->getScreenCap(kHostCapPaletteSize);
    if ((bits == 4 || bits == 8) && size == 1 << bits) {
        gColors.table = (PaletteEntry *)WindowAllocate(sizeof(PaletteEntry) * (size_t)size);
        if (!gColors.table) {
            ReportMemoryError("Palette table");
        } else {
            for (int i = 0; i < size; i++)
                gColors.table[i] = PaletteEntry{};
            gColors.palette = h->createPalette(size);
            if (!gColors.palette) {
                WindowRelease(gColors.table);
                gColors.table = nullptr;
                ReportMemoryError("Palette Creation");
                return 1;
            }
            for (int i = 0; i < size; i++)
                h->setPaletteEntry(gColors.palette, i, 0, 0, 0);
            gColors.size = size;
        }
    }
    AllocColor(255, 255, 255, nullptr, nullptr, nullptr, 1);
    AllocColor(0, 0, 0, nullptr, nullptr, nullptr, 1);
    return 0;
}

void ColorsEnd(void) {
    const HostOps *h = WindowHost();
    if (gColors.palette && h)
        h->deletePalette(gColors.palette);
    WindowRelease(gColors.table);
    gColors = Colors{};
}

HostPalette *ColorsPalette(void) { return gColors.palette; }

int PaletteMode(void) { return gColors.size; }

Color AllocColor(int red, int green, int blue, int *paletteSize, int *exact, int *freeIndex,
                 int permanent) {
    // Settings may hold anything: -1 must not become the palette bit.
    red = Clamp255(red);
    green = Clamp255(green);
    blue = Clamp255(blue);
    if (paletteSize)
        *paletteSize = gColors.size;
    if (!gColors.size) {
        if (exact)
            *exact = 1;
        if (freeIndex)
            *freeIndex = -1;
        return (Color)(red | green << 8 | blue << 16);
    }
    Hsv want = ToHsv(red, green, blue);
    bool grey = IsGrey(red, green, blue);
    int best = -1, unused = -1;
    bool isExact = false;
    double bestDistance = 256;
    for (int i = 0; i < gColors.size; i++) {
        const PaletteEntry &e = gColors.table[i];
        if (!e.used) {
            if (unused < 0)
                unused = i;
            continue;
        }
        if (isExact)
            continue; // only the first unused entry is still wanted
        double d = Distance(want, ToHsv(e.red, e.green, e.blue));
        if (d == 0 && e.red == red && e.green == green && e.blue == blue) {
            best = i;
            isExact = true;
            continue;
        }
        if (grey && !IsGrey(e.red, e.green, e.blue))
            d *= 2; // a grey is never matched by a colour at the same distance as a grey
        if (d <= bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    if (!isExact && unused >= 0) {
        best = unused;
        PaletteEntry &e = gColors.table[best];
        e = {red, green, blue, true, 0};
        WindowHost()->setPaletteEntry(gColors.palette, best, red, green, blue);
        isExact = true;
    }
    if (best < 0)
        best = 0;
    PaletteEntry &e = gColors.table[best];
    if (e.refs != -1)
        e.refs = permanent ? -1 : e.refs + 1;
    if (exact)
        *exact = isExact ? 1 : 0;
    if (freeIndex)
        *freeIndex = unused;
    return (Color)best | kHostPaletteIndex;
}

int ColorComponents(Color color, int *red, int *green, int *blue) {
    int r = 0, g = 0, b = 0, result = 0;
    if (gColors.size) {
        const PaletteEntry &e = gColors.table[color & (Color)(gColors.size - 1)];
        r = e.red;
        g = e.green;
        b = e.blue;
    } else if (color & kHostPaletteIndex) {
        result = 1; // an index, and no palette to look it up in
    } else {
        r = color & 0xFF;
        g = (color >> 8) & 0xFF;
        b = (color >> 16) & 0xFF;
    }
    if (red)
        *red = r;
    if (green)
        *green = g;
    if (blue)
        *blue = b;
    return result;
}

Color SystemColor(int type) {
    static const int kHostIndex[] = {kHostColorMenu,          kHostColorDesktop,
                                     kHostColorWindowText,    kHostColorWindow,
                                     kHostColorActiveCaption, kHostColorCaptionText};
    HostColor c = type >= 0 && type < 6 ? WindowHost()->sysColor(kHostIndex[type]) : 0;
    return AllocColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, nullptr, nullptr, nullptr, 1);
}
