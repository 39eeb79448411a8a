// What the X11 checks share: failures counted and reported under the check's name, shell
// commands run and read, windows found by their exact title (xdotool), and pixels read off a
// screenshot of the screen.
#pragma once

#include "wind.h"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace x11checks {

inline const char *gName = "x11"; // the check's name in its messages
inline int gFailures;

inline void Fail(const std::string &what) {
    fprintf(stderr, "%s: FAILED: %s\n", gName, what.c_str());
    gFailures++;
}

inline bool Run(const std::string &command) {
    int status = system(command.c_str());
    if (status != 0)
        Fail("\"" + command + "\" returned " + std::to_string(status));
    return status == 0;
}

// What the command writes on standard output.
inline std::string Output(const std::string &command) {
    std::string text;
    FILE *p = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (p && (n = fread(buffer, 1, sizeof buffer, p)) > 0)
        text.append(buffer, n);
    if (p)
        pclose(p);
    return text;
}

// The X window id (decimal) of the window with this exact title, or "".
inline std::string IdOf(const char *title) {
    std::string id = Output(std::string("xdotool search --name '^") + title + "$' 2>/dev/null");
    return id.substr(0, id.find('\n'));
}

// The screen colour (0xRRGGBB) at a client pixel of the window in a screenshot, -1 outside it.
inline long ShotPixel(cairo_surface_t *shot, Window *w, int x, int y) {
    int ox, oy;
    WindowClientOrigin(w, &ox, &oy);
    int sx = ox + x, sy = oy + y;
    if (sx < 0 || sy < 0 || sx >= cairo_image_surface_get_width(shot) ||
        sy >= cairo_image_surface_get_height(shot))
        return -1;
    const unsigned char *row =
        cairo_image_surface_get_data(shot) + (size_t)sy * cairo_image_surface_get_stride(shot);
    uint32_t pixel;
    memcpy(&pixel, row + 4 * sx, 4);
    return pixel & 0xFFFFFF;
}

// A screenshot of the whole screen, saved as `path` and read back; null (after a failure) when it
// cannot be had. The caller destroys it.
inline cairo_surface_t *Screenshot(const std::string &path) {
    if (!Run("import -window root " + path))
        return nullptr;
    cairo_surface_t *shot = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(shot) == CAIRO_STATUS_SUCCESS)
        return shot;
    Fail("the screenshot " + path + " cannot be read");
    cairo_surface_destroy(shot);
    return nullptr;
}

} // namespace x11checks
