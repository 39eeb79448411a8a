// Text through a GC: choosing the GC's font and measuring with it. Every wrapper checks that it
// has a GC and that the operation is there; a wrong call is an internal fault.
#include "fonts.h"
#include "gdi.h"

namespace {

constexpr char kSourceFile[] = "windlib\\src\\gditext";

bool Usable(GC *gc, const void *slot, int line) {
    if (gc && slot)
        return true;
    AssertReport(kSourceFile, line);
    return false;
}

} // namespace

int SetGCFont(int font, GC *gc) {
    if (!Usable(gc, gc ? (const void *)gc->operations.setFont : nullptr, __LINE__))
        return 1;
    if (font == -1) {
        Window *owner = WindowRefGet({gc->owner, gc->ownerGeneration});
        font = owner && owner->font >= 0 ? owner->font : 0;
    }
    return gc->operations.setFont(font, gc);
}

int GetGCFont(GC *gc) {
    if (!Usable(gc, gc, __LINE__))
        return -1;
    return gc->font;
}

int GetLineSpacing(int font, GC *gc) {
    if (!Usable(gc, gc ? (const void *)gc->operations.fontLineSpacing : nullptr, __LINE__))
        return 0;
    return gc->operations.fontLineSpacing(font, gc);
}

int GetCharWidth(int character, int font, GC *gc) {
    if (!Usable(gc, gc ? (const void *)gc->operations.charWidth : nullptr, __LINE__))
        return 0;
    return gc->operations.charWidth(character, font, gc);
}

int StringWidth(const char *text, int font, GC *gc) {
    if (!Usable(gc, gc ? (const void *)gc->operations.charWidth : nullptr, __LINE__) || !text)
        return 0;
    int width = 0;
    for (const unsigned char *p = (const unsigned char *)text; *p; p++)
        width += gc->operations.charWidth(*p, font, gc);
    return width;
}

void SetTextMode(int mode, GC *gc) {
    if (Usable(gc, gc, __LINE__))
        gc->textMode = mode;
}

int GetTextMode(GC *gc) { return Usable(gc, gc, __LINE__) ? gc->textMode : 0; }

void DrawString(const char *text, GC *gc) {
    if (Usable(gc, gc ? (const void *)gc->operations.drawString : nullptr, __LINE__) && text)
        gc->operations.drawString(text, gc);
}

void DrawChars(const char *text, int count, GC *gc) {
    if (Usable(gc, gc ? (const void *)gc->operations.drawChars : nullptr, __LINE__) && text)
        gc->operations.drawChars(text, count, gc);
}

void ClearToEndOfLine(GC *gc) {
    if (Usable(gc, gc ? (const void *)gc->operations.clearToEndOfLine : nullptr, __LINE__))
        gc->operations.clearToEndOfLine(gc);
}
