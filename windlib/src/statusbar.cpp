// Status bars (controls.h): a strip docked at the bottom of its parent holding named text fields,
// laid out from the right by the dialogs' button-row layout. A field repaints only while damage
// is pending, and setting the text it already shows damages nothing, so a program can set its
// fields on every step without repainting them.
#include "controls.h"
#include "dialog.h"
#include "gdi.h"
#include "windmsg.h"

#include <cstring>

namespace {

// The bar is laid out as a button row; its fields are buttons with a paint of their own.
constexpr uint32_t kStatusBarFlags = kWindowControl | kWindowButtonRow | kWindowKindStatus;
constexpr uint32_t kStatusFieldFlags =
    kButtonCentred | kWindowTabStop | kWindowControl | kButtonPush | kWindowKindButton;
static_assert(kStatusBarFlags == 0x1800600);
static_assert(kStatusFieldFlags == 0x23100400);
constexpr int kBarExtra = 4;   // a bar is a cell height and this high
constexpr int kFieldExtra = 3; // a field is a cell height and this high
constexpr int kTextIndent = 1; // pixels left of a field's text

int Width(const Window *w) { return w->right - w->left + 1; }
int Height(const Window *w) { return w->bottom - w->top + 1; }

int BarHeight(void) { return CellsToPixels(1, GetToolkitDefaults()->cellHeight) + kBarExtra; }

bool IsStatusBar(const Window *w) { return WindowIsLive(w) && WindowKind(w) == kWindowKindStatus; }

bool DamagePending(const Window *w) {
    return w->damageTop >= 0 && w->damageBottom >= w->damageTop && w->damageLeft >= 0 &&
           w->damageRight >= w->damageLeft;
}

int BarPaint(Window *w) {
    GC *gc = GetWindowGC(w);
    if (!gc)
        return 0;
    SetUnits(kUnitsPixels, gc);
    SetForeground(w->background, gc);
    FillBox(0, 0, Width(w) - 1, Height(w) - 1, gc);
    ReleaseGC(gc);
    return 0;
}

} // namespace

int StatusBarLayoutDefault(Window *w) {
    Window *parent = w->parent;
    if (!parent)
        return 0;
    int height = BarHeight();
    WindowRef ref = WindowRefOf(w);
    MoveWindowTo(0, Height(parent) - height, Width(parent), height, 1, w);
    if (!WindowRefLive(ref))
        return 0;
    LayoutButtonRow(w);
    if (WindowRefLive(ref))
        PostEvent(kEventRedraw, 0, w);
    return 0;
}

namespace {

int FieldPaint(Window *w) {
    if (!DamagePending(w))
        return 0;
    GC *gc = GetWindowGC(w);
    if (!gc)
        return 0;
    int width = Width(w), height = Height(w);
    SetUnits(kUnitsPixels, gc);
    SetGCFont(-1, gc);
    SetForeground(w->background, gc);
    FillBox(0, 0, width - 1, height - 1, gc);
    SetForeground(w->foreground, gc);
    SetBackground(w->background, gc);
    int y = (height - GetLineSpacing(GetGCFont(gc), gc)) / 2;
    MovePen(kTextIndent, y > 0 ? y : 0, gc);
    DrawString(w->text ? w->text : "", gc);
    // The field the bar made last, the leftmost, goes without a frame.
    if (w->chain && w->chain->parent == w->parent)
        DrawBevelBox(0, 0, width - 1, height - 1, kBevelWell, gc);
    ReleaseGC(gc);
    w->damageTop = w->damageBottom = w->damageLeft = w->damageRight = -1;
    return 0;
}

// The bar's own field of that name, or null.
Window *FindField(const char *name, Window *bar) {
    for (Window *w = bar->chain; w && name; w = w->chain)
        if (w->parent == bar && w->name && strcmp(w->name, name) == 0)
            return w;
    return nullptr;
}

} // namespace

Window *NewStatusBar(const char *name, Window *parent) {
    if (!WindowIsLive(parent)) {
        ReportError("Status Bar:", "needs parent");
        return nullptr;
    }
    const ToolkitDefaults *d = GetToolkitDefaults();
    int height = BarHeight();
    int bottom = Height(parent) - 1;
    Window *w =
        OpenWindowPixels(0, bottom - height + 1, Width(parent) - 1, bottom, d->dialogForeground,
                         d->dialogBackground, name, kStatusBarFlags, parent);
    if (!w)
        return nullptr;
    w->onPaint = BarPaint;
    w->onLayout = StatusBarLayoutDefault;
    ShowWindowTree(w);
    return w;
}

int AddStatusField(const char *name, int width, Window *bar) {
    if (!IsStatusBar(bar))
        return 1;
    const ToolkitDefaults *d = GetToolkitDefaults();
    width = width > 1 ? width : 1;
    int pixels = CellsToPixels(width + 1, d->cellWidth) - 1;
    int height = CellsToPixels(1, d->cellHeight) + kFieldExtra;
    Window *w = OpenWindowPixels(0, 0, pixels - 1, height - 1, bar->foreground, bar->background,
                                 name, kStatusFieldFlags, bar);
    if (!w)
        return 1;
    if (d->fontIndex[kFontSmall] >= 0)
        w->font = d->fontIndex[kFontSmall];
    w->onPaint = FieldPaint;
    w->kindValue = pixels; // the row layout stretches a lone field: keep the width asked for
    LayoutButtonRow(bar);
    ShowWindowTree(w);
    return 0;
}

int SetStatusField(const char *name, const char *text, Window *bar) {
    Window *w = IsStatusBar(bar) ? FindField(name, bar) : nullptr;
    if (!w || !text) {
        ReportError("Set Status Field: no field", name ? name : "");
        return 1;
    }
    if (w->text && strcmp(w->text, text) == 0)
        return 0;
    w->damageLeft = w->damageTop = 0;
    w->damageRight = Width(w) - 1;
    w->damageBottom = Height(w) - 1;
    SetWindowText(text, w);
    return 0;
}
