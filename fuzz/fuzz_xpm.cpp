// XPM texts through ReadXPM on the headless host (24-bit screen): the input is split into
// lines. The reader either refuses with its message or makes an image whose layout holds: the
// width rounded up to 8, the byte size the padded row size times the height, every pixel past
// the XPM's own width zero, and the same text read as ARGB agrees on the sides.
#include "headless.h"
#include "image.h"
#include "wind.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void quiet(const char *) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    WindowUseHost("headless");
    static char program[] = "torva";
    static char *argv[] = {program, nullptr};
    if (WindowProlog(1, argv, malloc, free, quiet) != 0)
        abort();
    atexit(WindowEpilog); // before the leak check, which runs at exit too
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < size; i++) {
        if (data[i] == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (data[i] != 0) {
            line += (char)data[i];
        }
    }
    lines.push_back(line);
    std::vector<const char *> text;
    for (const std::string &l : lines)
        text.push_back(l.c_str());
    HeadlessBoxClear();
    Image *image = ReadXPM(text.data(), (int)text.size(), 0x808080);
    static uint32_t argb[kXpmMaxSide * kXpmMaxSide];
    int w = 0, h = 0;
    int argbResult =
        XpmToArgb(text.data(), (int)text.size(), argb, kXpmMaxSide * kXpmMaxSide, &w, &h);
    if (!image) {
        if (HeadlessBoxCount() == 0 || argbResult == 0)
            abort(); // a refusal always says so, and both readers refuse alike
        return 0;
    }
    if (argbResult != 0 || image->height != h || image->width != (w + 7) / 8 * 8 ||
        image->width % 8 != 0)
        abort();
    size_t row = ImageRowSize(image->width, image->bitsPerPixel);
    if (image->byteSize != row * (size_t)image->height)
        abort();
    int bytes = image->bitsPerPixel / 8;
    for (int r = 0; r < image->height; r++) {
        const unsigned char *p = ImageRow(image, r);
        for (size_t b = (size_t)w * (size_t)bytes; b < row; b++)
            if (p[b] != 0)
                abort();
    }
    FreeImage(image);
    return 0;
}
