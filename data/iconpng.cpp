// The program's own 48x48 XPM icon as a PNG for the desktop's icon theme, so the launcher shows
// the picture the window manager gets from the window. `iconpng write FILE` writes it;
// `iconpng check FILE` says whether a PNG (the theme's icon, or the scalable one rendered at 48
// pixels) is that picture, pixel for pixel.
#include "image.h"

#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kIconSide = 48;
constexpr int kIconPixels = kIconSide * kIconSide;

// The icon's pixels as ARGB; their alpha is 0 or 255, so they are cairo's premultiplied
// pixels as they stand. 0, or 1 after a message.
int iconPixels(uint32_t *argb) {
    int width = 0, height = 0;
    if (XpmToArgb(kProgramIconXpm, kProgramIconLines, argb, kIconPixels, &width, &height) ||
        width != kIconSide || height != kIconSide) {
        fprintf(stderr, "iconpng: the program's icon is not a %dx%d XPM\n", kIconSide, kIconSide);
        return 1;
    }
    return 0;
}

int writeIcon(const char *file) {
    static uint32_t argb[kIconPixels];
    if (iconPixels(argb))
        return 1;
    cairo_surface_t *surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kIconSide, kIconSide);
    int failed = cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS;
    if (!failed) {
        cairo_surface_flush(surface);
        unsigned char *data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < kIconSide; y++)
            memcpy(data + y * stride, argb + y * kIconSide, kIconSide * sizeof argb[0]);
        cairo_surface_mark_dirty(surface);
        failed = cairo_surface_write_to_png(surface, file) != CAIRO_STATUS_SUCCESS;
    }
    cairo_surface_destroy(surface);
    if (failed)
        fprintf(stderr, "iconpng: cannot write %s\n", file);
    return failed;
}

// A transparent pixel is transparent whatever colour it carries; any other must be the
// icon's opaque colour exactly.
int checkIcon(const char *file) {
    static uint32_t argb[kIconPixels];
    if (iconPixels(argb))
        return 1;
    cairo_surface_t *surface = cairo_image_surface_create_from_png(file);
    int failed = 1;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        fprintf(stderr, "iconpng: cannot read %s\n", file);
    } else if (cairo_image_surface_get_width(surface) != kIconSide ||
               cairo_image_surface_get_height(surface) != kIconSide) {
        fprintf(stderr, "iconpng: %s is %dx%d, not %dx%d\n", file,
                cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface),
                kIconSide, kIconSide);
    } else {
        cairo_surface_flush(surface);
        const unsigned char *data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const bool alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
        int wrong = 0;
        for (int y = 0; y < kIconSide; y++) {
            for (int x = 0; x < kIconSide; x++) {
                uint32_t got;
                memcpy(&got, data + y * stride + x * 4, sizeof got);
                if (!alpha)
                    got |= 0xFF000000u;
                if ((got >> 24) == 0)
                    got = 0;
                const uint32_t want = argb[y * kIconSide + x];
                if (got != want && wrong++ == 0)
                    fprintf(stderr, "iconpng: %s at (%d, %d) is %08X, not %08X\n", file, x, y, got,
                            want);
            }
        }
        if (wrong)
            fprintf(stderr, "iconpng: %s differs from the icon in %d pixels\n", file, wrong);
        failed = wrong != 0;
    }
    cairo_surface_destroy(surface);
    return failed;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "write") == 0)
        return writeIcon(argv[2]);
    if (argc == 3 && strcmp(argv[1], "check") == 0)
        return checkIcon(argv[2]);
    fputs("usage: iconpng write|check FILE.png\n", stderr);
    return 2;
}
