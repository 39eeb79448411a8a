// Push buttons, toggle buttons, labels and menu items (controls.h): their press, release and
// cancel rules, their keys, the menu-item pointer rules, and the one painter they share. Start
// reading at ButtonPressDefault.
//
// Only one button is pressed at a time, process-wide. It is held as a reference, because a
// closed record is reused by the next window opened, and forgotten when it closes however it
// closes (releaseExtension), so that no reference outlives the toolkit.
#include "controls.h"
#include "dialog.h"
#include "gdi.h"
#include "keys.h"
#include "windmsg.h"

namespace {

constexpr int kReturn = 13;
constexpr int kBevelBand = 4; // parent's background around a bordered button

WindowRef gPressed;

bool IsToggle(const Window *w) { return (w->flags & kButtonToggle) != 0; }
bool IsPushButton(const Window *w) { return WindowKind(w) == kWindowKindButton && !IsToggle(w); }
int Width(const Window *w) { return w->right - w->left + 1; }
int Height(const Window *w) { return w->bottom - w->top + 1; }
int Smaller(int a, int b) { return a < b ? a : b; }

bool IsMenu(const Window *w) {
    uint32_t low = w ? w->flags & kWindowTypeMask : 0;
    return low == kWindowPullDown || low == kWindowMenuBar;
}

void Activate(int value, Window *w) {
    if (w->onActivate)
        w->onActivate(value, w);
}

// ---- pressing -----------------------------------------------------------------------------------

// The held button lets go without acting.
void CancelPress(Window *held) {
    gPressed = {};
    if (IsPushButton(held))
        held->state = 0;
    RepaintWindow(held);
}

} // namespace

int ButtonPressDefault(int value, Window *w) {
    // A held button that no longer holds the pointer will not see its release (another
    // button's release ended the capture, or the release went astray): a new press ends it
    // instead of being refused, and with it every press after it, for good.
    if (Window *held = WindowRefGet(gPressed); held && held != w && LoopCaptureWindow() != held)
        CancelPress(held);
    if ((w->flags & kWindowDisabled) || WindowRefLive(gPressed))
        return 0;
    gPressed = WindowRefOf(w);
    if (IsToggle(w)) { // shown flipped while held (ShownState); the release flips it for good
        RepaintWindow(w);
        return 0;
    }
    w->state = 1;
    RepaintWindow(w);
    if (w->flags & kButtonOnPress)
        Activate(value, w);
    return 0;
}

namespace {

// The loop hands every release to the window that holds the capture, which need not be a button
// this one pressed (a press refused, or cancelled when the pointer left): only the pressed
// button acts.
int ButtonRelease(int value, Window *w) {
    if (WindowRefGet(gPressed) != w)
        return 0;
    gPressed = {};
    if (IsToggle(w)) {
        w->state ^= 1;
        RepaintWindow(w);
        Activate(value, w);
        return 0;
    }
    w->state = 0;
    RepaintWindow(w);
    if (!(w->flags & kButtonOnPress))
        Activate(value, w);
    return 0;
}

void PressAndRelease(int value, Window *w) {
    WindowRef ref = WindowRefOf(w);
    ButtonPressDefault(value, w);
    if (WindowRefLive(ref))
        ButtonRelease(value, w);
}

} // namespace

int ButtonLeaveDefault(Window *w) {
    if (WindowRefGet(gPressed) != w)
        return 0;
    gPressed = {};
    LoopReleaseCapture();
    CancelPress(w);
    return 0;
}

namespace {

int ButtonForget(Window *w) {
    if (gPressed.window == w)
        gPressed = {};
    return 0;
}

int ButtonKey(int key, Window *w) {
    if (key == keySpace || key == kReturn) {
        PressAndRelease(0, w);
        return 0;
    }
    Window *p = w->parent;
    return p && p->onKey ? p->onKey(key, p) : 0;
}

// ---- menu items ---------------------------------------------------------------------------------

// Resting on the right end of a sub-menu item (where its triangle is) opens the sub-menu.
int ButtonHover(int position, Window *w) {
    if ((w->flags & kButtonSubMenu) && PositionX(position) > Width(w) - Height(w))
        PressAndRelease(position, w);
    return 0;
}

// An open pull-down after `menu` in its top window's chain (a sub-menu opened from it), or null.
Window *LaterPullDown(Window *menu) {
    for (Window *v = menu->chain; v; v = v->chain)
        if (v->flags == kWindowPullDown)
            return v;
    return nullptr;
}

int ButtonEnter(Window *w) {
    Window *menu = w->parent;
    if (!IsMenu(menu))
        return 0;
    WindowRef item = WindowRefOf(w);
    while (Window *open = LaterPullDown(menu))
        if (CloseChild(open, open->parent) != 0 || !WindowRefLive(item))
            break;
    if (WindowRefLive(item))
        SetCurrentItem(w);
    return 0;
}

// ---- painting -----------------------------------------------------------------------------------

void HLine(int x1, int x2, int y, Color c, GC *gc) {
    SetForeground(c, gc);
    FillBox(x1, y, x2, y, gc);
}

// A tick in the square of side `side` at (x, y): columns of three pixels, down then up.
void DrawCheckMark(int x, int y, int side, Color c, GC *gc) {
    int columns = side * 3 / 5 < 3 ? 3 : side * 3 / 5;
    int down = columns / 3;
    int x0 = x + (side - columns) / 2, vertex = y + side * 2 / 3 - 1;
    SetForeground(c, gc);
    for (int i = 0; i < columns; i++) {
        int top = vertex - (i <= down ? down - i : i - down);
        FillBox(x0 + i, top, x0 + i, top + 2, gc);
    }
}

// A held toggle shows the state its release would give, even when it is repainted meanwhile.
int ShownState(const Window *w) {
    return IsToggle(w) && WindowRefGet(gPressed) == w ? !w->state : w->state;
}

// A toggle's check box, or its bare mark (at the left in the indent of a bold item).
void DrawToggleMark(int width, int height, Window *w, const ToolkitDefaults *d, GC *gc) {
    int m = Smaller(width, height);
    bool box = (w->flags & kButtonCheckBox) != 0;
    bool left = (w->flags & kButtonCheckLeft) || (!box && (w->flags & kButtonBold));
    int side = m * (box ? 6 : 8) / 10, margin = m / 10;
    int x = left ? margin : width - margin - side, y = (height - side) / 2;
    if (box) {
        SetForeground(w->foreground, gc);
        FillBox(x, y, x + side - 1, y + side - 1, gc);
        SetForeground(d->white, gc);
        FillBox(x + 1, y + 1, x + side - 2, y + side - 2, gc);
    }
    if (ShownState(w))
        DrawCheckMark(x, y, side, w->foreground, gc);
}

void DrawSubMenuTriangle(int width, int height, Color c, GC *gc) {
    int t = height / 4 < 2 ? 2 : height / 4, apex = width - 4, middle = height / 2;
    SetForeground(c, gc);
    for (int i = 0; i <= t; i++)
        FillBox(apex - t + i, middle - (t - i), apex - t + i, middle + (t - i), gc);
}

int TextLeft(int width, int height, const char *text, int lineHeight, Window *w, GC *gc) {
    int x = 4;
    if (w->flags & kButtonCentred) {
        x = (width - StringWidth(text, GetGCFont(gc), gc)) / 2;
        x = x < 0 ? 0 : x;
    }
    // After a mark at the left: the text's opaque box would cover the mark.
    if (IsToggle(w) && (w->flags & kButtonCheckLeft)) {
        int m = Smaller(width, height);
        x = (w->flags & kButtonCheckBox) ? m * 7 / 10 + 3 : m / 10 + m * 8 / 10 + 3;
    }
    if (w->flags & kButtonBold)
        x = lineHeight;
    return x;
}

int ButtonPaint(Window *w) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    GC *gc = GetWindowGC(w);
    if (!gc || !d) {
        ReleaseGC(gc);
        return 0;
    }
    SetUnits(kUnitsPixels, gc);
    SetGCFont(-1, gc);
    int width = gc->innerWidth, height = gc->innerHeight;
    Window *p = w->parent;
    bool bordered = (w->flags & kWindowBordered) != 0;
    bool held = IsPushButton(w) && w->state == 1;
    bool menuCurrent = p && p->flags == kWindowPullDown && p->current == w;
    bool dialogCurrent = p && WindowKind(p) == kWindowKindDialog && p->current == w;
    if (bordered) {
        SetForeground(p ? p->background : d->dialogBackground, gc);
        FillBox(-kBevelBand, -kBevelBand, width - 1 + kBevelBand, height - 1 + kBevelBand, gc);
    }
    Color face = menuCurrent ? d->titleBackground : held ? d->shadow : w->background;
    SetForeground(face, gc);
    FillBox(0, 0, width - 1, height - 1, gc);

    if (w->flags & kButtonSeparator) {
        int inset = width / 40;
        HLine(inset, width - 1 - inset, height / 2, d->shadow, gc);
        HLine(inset, width - 1 - inset, height / 2 + 1, d->white, gc);
    } else if (IsToggle(w)) {
        DrawToggleMark(width, height, w, d, gc);
    } else if (bordered) {
        DrawBevelBox(0, 0, width - 1, height - 1, w->state == 1 ? kBevelPressed : kBevelRaised, gc);
    }

    Color ink = (w->flags & kWindowDisabled) ? d->shadow : menuCurrent ? d->white : w->foreground;
    const char *text = w->getText ? w->getText(w) : w->text;
    if (text && *text && !(w->flags & kButtonSeparator)) {
        int h = GetLineSpacing(GetGCFont(gc), gc);
        SetForeground(ink, gc);
        SetBackground(face, gc);
        SetTextMode(dialogCurrent && !menuCurrent ? kTextUnderline : 0, gc);
        MovePen(TextLeft(width, height, text, h, w, gc), (height - h) / 2, gc);
        DrawString(text, gc);
        SetTextMode(0, gc);
    }
    if (w->flags & kButtonSubMenu)
        DrawSubMenuTriangle(width, height, ink, gc);
    w->damageTop = w->damageBottom = w->damageLeft = w->damageRight = -1;
    ReleaseGC(gc);
    return 0;
}

// ---- making them --------------------------------------------------------------------------------

Window *MakeButton(int left, int top, int right, int bottom, int inPixels, const char *name,
                   uint32_t flags, Window *parent) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    Color fg = parent ? parent->foreground : d ? d->dialogForeground : 0;
    Color bg = parent ? parent->background : d ? d->dialogBackground : 0xFFFFFF;
    Window *w = inPixels ? OpenWindowPixels(left, top, right, bottom, fg, bg, name, flags, parent)
                         : OpenWindow(left, top, right, bottom, fg, bg, name, flags, parent);
    if (!w)
        return nullptr;
    if ((flags & kButtonBold) && d && d->fontIndex[kFontBoldSerif] >= 0)
        w->font = d->fontIndex[kFontBoldSerif];
    w->onPaint = ButtonPaint;
    w->releaseExtension = ButtonForget;
    return w;
}

Window *NewPressable(int left, int top, int right, int bottom, int inPixels, const char *name,
                     uint32_t flags, Window *parent) {
    if (!(flags & kWindowKindMask))
        flags |= kWindowKindButton;
    Window *w = MakeButton(left, top, right, bottom, inPixels, name, flags, parent);
    if (!w) {
        ReportMemoryError("New Button");
        return nullptr;
    }
    w->state = WindowKind(w) == kWindowKindLabel ? 1 : 0;
    if (WindowKind(w) == kWindowKindLabel)
        return w;
    w->onLeftDown = ButtonPressDefault;
    w->onLeftUp = ButtonRelease;
    w->onLeave = ButtonLeaveDefault;
    w->onEnter = ButtonEnter;
    w->onHover = ButtonHover;
    w->onKey = ButtonKey;
    return w;
}

} // namespace

Window *NewButton(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                  Window *parent) {
    return NewPressable(left, top, right, bottom, 0, name, flags, parent);
}

Window *NewButtonPixels(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                        Window *parent) {
    return NewPressable(left, top, right, bottom, 1, name, flags, parent);
}

Window *NewLabel(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                 Window *parent) {
    flags = (flags & ~kWindowKindMask) | kWindowKindLabel;
    Window *w = MakeButton(left, top, right, bottom, 0, name, flags, parent);
    if (!w) {
        ReportMemoryError("New Label");
        return nullptr;
    }
    w->state = 1;
    return w;
}

namespace {

Window *FindButton(const char *name, Window *dialog) {
    Window *w = FindNamedWindow(name, dialog);
    if (!w)
        ReportError("SetButtonCheck Bad ID", name ? name : "");
    return w;
}

} // namespace

int SetButtonCheck(const char *name, int state, Window *dialog) {
    Window *w = FindButton(name, dialog);
    if (!w)
        return 1;
    int wanted = state ? 1 : 0;
    if (w->state != wanted) {
        w->state = wanted;
        PostEvent(kEventRedraw, 0, w);
    }
    return 0;
}

int GetButtonCheck(const char *name, Window *dialog) {
    Window *w = FindButton(name, dialog);
    return w ? w->state : 0;
}

Window *PressedButton(void) { return WindowRefGet(gPressed); }
