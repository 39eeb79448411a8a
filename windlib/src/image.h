// Images and the caret. Images are device-independent pixel buffers, made from XPM texts
// compiled into the program (the program's own icon is one) and drawn through a GC. The caret
// is the text cursor of the focus window: its size, place and visibility follow the focus and
// painting rules of the toolkit core, and the host draws it.
#pragma once

#include <cstddef>
#include <cstdint>

struct GC;
struct Window;

// ---- images -------------------------------------------------------------------------------------

constexpr uint32_t kImagePalette = 0x40000;    // pixels are palette indices
constexpr uint32_t kImageFromReader = 0x10000; // made by ReadXPM
constexpr int kImageHeaderSize = 40;           // the host bitmap header before the colour table
constexpr int kXpmMaxSide = 1024;              // pixels, either way
constexpr int kXpmMaxColors = 256;             // one per character code
static_assert(kImagePalette == 0x40000);
static_assert(kImageFromReader == 0x10000);

struct Image {
    int width;             // pixels per row, rounded up to a multiple of 8
    int height;            // rows
    int bitsPerPixel;      // 1, 8, 24 or 32
    size_t byteSize;       // row size (padded to 32 bits) x height
    uint32_t format;       // bits per pixel in the low byte, kImagePalette, kImageFromReader
    unsigned char *pixels; // byteSize + 32 bytes; the first row is stored last (bottom-up)
    unsigned char *header; // host bitmap header, then the colour table
};

// Bytes of one row: bits per row padded to whole 32-bit words.
inline size_t ImageRowSize(int width, int bitsPerPixel) {
    return ((size_t)bitsPerPixel * (size_t)width + 31) / 32 * 4;
}
// Row r (0 at the top) of the image.
inline unsigned char *ImageRow(const Image *image, int r) {
    return image->pixels +
           ImageRowSize(image->width, image->bitsPerPixel) * (size_t)(image->height - 1 - r);
}

// colors: red, green, blue triples (count of them). Null after a message box.
Image *PutImage(int width, int height, uint32_t format, const unsigned char *colors, int count);
// The XPM lines (value line, colour lines, pixel rows); `none` is the colour of "None". Null
// after "XPM image error".
Image *ReadXPM(const char *const *lines, int lineCount, uint32_t none);
// Copies the image's rectangle (sourceX, sourceY, width x lines) to (x, y) on the GC's device,
// in device pixels (the GC's origin is not added).
void DrawImage(const Image *image, int sourceX, int sourceY, int width, int lines, int x, int y,
               GC *gc);
void FreeImage(Image *image);
// The GC's put-image operation.
int ImagePutOperation(const Image *image, int sourceX, int sourceY, int width, int lines, int x,
                      int y, GC *gc);

// The XPM as 32-bit ARGB pixels, alpha 0 for "None" (the window manager's icon). 0; 1 for a
// bad XPM or one larger than `maxPixels`.
int XpmToArgb(const char *const *lines, int lineCount, uint32_t *argb, int maxPixels, int *width,
              int *height);

// The program's icon, 48 by 48.
extern const char *const kProgramIconXpm[];
extern const int kProgramIconLines;

// ---- the caret ----------------------------------------------------------------------------------

enum CaretStateCode {
    kCaretShown = 0,
    kCaretHidden = 1,    // hidden while its window paints
    kCaretUnchanged = 2, //
    kCaretRemoved = 3,
};

// The caret handler: acts for a window that takes the focus (while printing only for
// kCaretHidden); the host shows, hides and removes its caret while the window has the host
// focus.
void CaretState(int state, Window *window);
// Moves the caret owner's caret (hidden first when it is shown); shown there next time.
void SetCaretPosition(int x, int y, Window *window);
void SetCaretSize(int width, int height, Window *window); // 0, 0: 2 pixels by a line

// The core's hooks: the focus window becomes the caret owner; painting hides it around the
// paint; a focus change removes it from the old owner first.
void CaretAttach(Window *window);
void CaretHide(Window *window);
void CaretShow(Window *window);
void CaretDetach(Window *window);
void CaretReset(void); // the prolog and the epilog
