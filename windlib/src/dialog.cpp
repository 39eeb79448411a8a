// Dialogs from description tables (dialog.h): CreateDialog, the dialog painter and key handler,
// the named-item operations, the current item, and the button-row layout that status bars use.
// Menus, which are dialogs of their own kinds, are in menu.cpp. Start reading at CreateDialog.
//
// A dialog's items are the windows of its own descendants; every walk over "the dialog's items"
// (Tab, Return's first button, FindNamedWindow) stays inside them, never running on into the
// windows that follow the dialog in its top window's chain.
#include "dialog.h"
#include "controls.h"
#include "fonts.h"
#include "gdi.h"
#include "keys.h"
#include "textwind.h"
#include "windmsg.h"

#include <cstring>
#include <string>

namespace {

constexpr int kTitleRows = 2;       // rows of the title strip a host caption replaces
constexpr int kRowSlack = 9;        // pixels of a button row kept free at its left
constexpr int kSingleButtonCut = 8; // a lone button is this much narrower than the row

bool IsTextItem(Window *w) { return TextDescOf(w) != nullptr; }

bool Usable(const Window *w) {
    return (w->flags & kWindowTabStop) && !(w->flags & kWindowDisabled);
}

// The next window after `w` in the chain that belongs to `dialog`, or null.
Window *NextItem(Window *w, Window *dialog) {
    for (Window *v = w->chain; v; v = v->chain)
        if (WindowIsDescendant(v, dialog))
            return v;
    return nullptr;
}

Window *FirstItemWith(Window *dialog, uint32_t want, uint32_t refuse) {
    for (Window *d = NextItem(dialog, dialog); d; d = NextItem(d, dialog))
        if ((d->flags & want) == want && !(d->flags & refuse))
            return d;
    return nullptr;
}

// Gives the item the keyboard focus; a text item gets its whole text selected, the cursor at its
// end, so that typing replaces a pre-filled answer.
void FocusItem(Window *item) {
    WindowRef ref = WindowRefOf(item);
    SetFocusWindow(item);
    if (WindowRefLive(ref) && IsTextItem(item)) {
        const char *text = item->getText ? item->getText(item) : item->text;
        TextSelectColumns(1, text ? (int)strlen(text) : 0, item);
    }
}

bool IsMenuKind(uint32_t flags) {
    uint32_t low = flags & kWindowTypeMask;
    return low == kWindowPullDown || low == kWindowMenuBar;
}

// ---- painting and keys -------------------------------------------------------------------------

int DialogPaint(Window *w) {
    GC *gc = GetWindowGC(w);
    const ToolkitDefaults *d = GetToolkitDefaults();
    if (!gc || !d) {
        if (gc)
            ReleaseGC(gc);
        return 0;
    }
    SetUnits(kUnitsPixels, gc);
    Color oldForeground = SetForeground(w->background, gc);
    if (w->damageBottom >= w->damageTop && w->damageRight >= w->damageLeft)
        FillBox(w->damageLeft, w->damageTop, w->damageRight, w->damageBottom, gc);
    SetForeground(w->foreground, gc);
    int width = w->right - w->left, height = w->bottom - w->top;
    // A framed dialog has the host's frame and caption: its own bevel and title strip would only
    // repeat them.
    if (!(w->flags & kWindowFramed)) {
        bool bar = (w->flags & kWindowTypeMask) == kWindowMenuBar;
        SetLineAttributes(1, 0, 0, gc);
        SetForeground(d->white, gc);
        MovePen(0, 0, gc);
        DrawLine(width, 0, gc);
        if (!bar) {
            MovePen(0, 0, gc);
            DrawLine(0, height + 1, gc);
        }
        SetForeground(d->black, gc);
        MovePen(width, height, gc);
        DrawLine(0, height, gc);
        if (!bar) {
            MovePen(width, height, gc);
            DrawLine(width, 0, gc);
        }
        if (w->flags & kWindowTitleStrip) {
            int font = d->fontIndex[kFontBoldSans];
            SetGCFont(font, gc);
            SetForeground(d->titleBackground, gc);
            FillBox(4, 3, width - 4, GetLineSpacing(font, gc) + 8, gc);
            SetForeground(d->titleText, gc);
            Color oldBackground = SetBackground(d->titleBackground, gc);
            MovePen(8, 6, gc);
            DrawString(w->text ? w->text : "", gc);
            SetBackground(oldBackground, gc);
        }
    }
    SetForeground(oldForeground, gc);
    ReleaseGC(gc);
    return 0;
}

// The next usable tab stop after `from` (or before it, going back), wrapping around; `from`
// itself when there is no other.
Window *NextTabStop(Window *dialog, Window *from, bool back) {
    Window *first = nullptr, *before = nullptr, *after = nullptr, *last = nullptr;
    bool passed = from == nullptr;
    for (Window *v = NextItem(dialog, dialog); v; v = NextItem(v, dialog)) {
        if (v == from) {
            passed = true;
            continue;
        }
        if (!Usable(v))
            continue;
        if (!first)
            first = v;
        last = v;
        if (!passed)
            before = v;
        else if (!after)
            after = v;
    }
    if (back)
        return before ? before : last ? last : from;
    return after ? after : first ? first : from;
}

// A left press and release at (0, 0), as a click on the button would give.
void PressButton(Window *button) {
    PostEvent(kEventLeftDown, 0, button);
    PostEvent(kEventLeftUp, 0, button);
}

} // namespace

int DialogKeyDefault(int key, Window *w) {
    Window *current =
        WindowIsLive(w->current) && WindowIsDescendant(w->current, w) ? w->current : nullptr;
    switch (key) {
    case keyEscape:
    case 3: // ^C
        if (current && w->onClose)
            w->onClose(w);
        else
            PostEvent(kEventClose, 0, w);
        return 0;
    case '\t':
    case keyRight:
    case keyDown: {
        bool back = key == '\t' && (KeyModifiers() & kKeyModShift);
        Window *next = NextTabStop(w, current, back);
        if (!next)
            return 0;
        WindowRef ref = WindowRefOf(next);
        SetCurrentItem(next);
        // A button made current takes the keyboard too: Space or Return then press it.
        if (WindowRefLive(ref) && WindowKind(next) == kWindowKindButton)
            SetFocusWindow(next);
        return 0;
    }
    case '\r':
    case '\n': {
        // A button held down by the mouse keeps the capture: a press posted now would reach it
        // instead, and its release would act for the user. The mouse's own release decides.
        if (PressedButton())
            return 0;
        Window *button = current && WindowKind(current) == kWindowKindButton ? current : nullptr;
        for (Window *v = NextItem(w, w); v && !button; v = NextItem(v, w))
            if (WindowKind(v) == kWindowKindButton)
                button = v;
        if (button)
            PressButton(button);
        return 0;
    }
    default:
        return 0;
    }
}

namespace {

// ---- building ----------------------------------------------------------------------------------

bool GoodDialogKind(uint32_t kind) {
    return kind == kDialogPlain || kind == kDialogTitled || kind == kWindowPullDown ||
           kind == kWindowMenuBar;
}

// The window a dialog with this parent is made in: the nearest framed ancestor (or the topmost
// one), then up past framed pull-down menus, so that menus open in their frame.
Window *DialogParent(Window *parent) {
    Window *p = parent;
    while (p->parent && !(p->flags & kWindowFramed))
        p = p->parent;
    while (p->parent && p->flags == (kWindowFramed | kWindowPullDown))
        p = p->parent;
    return p;
}

void ApplyOverride(const DialogOverride *o, Color *foreground, Color *background, int *font) {
    if (!o)
        return;
    if (o->useForeground)
        *foreground = o->foreground;
    if (o->useBackground)
        *background = o->background;
    if (o->useFont && o->fontSpec) {
        int index = FontLookup(o->fontSpec);
        if (index >= 0)
            *font = index;
    }
}

// Moves a dialog's pixel position (relative to the parent's client area, or the screen) so that
// it lies inside the desktop's work area where it fits, with its host frame when it has one.
void KeepOnDesktop(Window *parent, bool framed, int width, int height, int *x, int *y) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    int ox = 0, oy = 0;
    if (parent)
        WindowClientOrigin(parent, &ox, &oy);
    int fl = 0, ft = 0, fr = 0, fb = 0;
    if (framed)
        WindowFrameSize(&fl, &ft, &fr, &fb);
    int sx = ox + *x, sy = oy + *y;
    if (sx + width + fr > d->desktopRight)
        sx = d->desktopRight - width - fr;
    if (sy + height + fb > d->desktopBottom)
        sy = d->desktopBottom - height - fb;
    if (sx - fl < d->desktopLeft)
        sx = d->desktopLeft + fl;
    if (sy - ft < d->desktopTop)
        sy = d->desktopTop + ft;
    *x = sx - ox;
    *y = sy - oy;
}

int ItemCount(const DialogItem *description) {
    int n = 0;
    for (const DialogItem *i = description + 1; i->flags; i++)
        n++;
    return n;
}

// Inserts each line of `text` as a list item.
void FillList(const char *text, Window *list) {
    while (text && *text) {
        const char *end = strchr(text, '\n');
        int n = end ? (int)(end - text) : (int)strlen(text);
        std::string line(text, (size_t)n);
        line += '\n';
        ListBoxInsert(line.c_str(), (int)line.size(), nullptr, list);
        text = end ? end + 1 : nullptr;
    }
}

struct Layout {
    bool menu, bar;
    int shift;      // rows items move by (a title strip the host caption replaces)
    int width;      // of the dialog, pixels
    int height;     //
    int runningX;   // menu bar: the next item's left
    int runningY;   // pull-down menu: the next item's top
    int cellHeight; // whole pixels
    int lineSpacing;
};

// Makes one item; null when it cannot be made.
Window *MakeItem(const DialogItem *item, const Layout &l, Window *dialog) {
    uint32_t kind = item->flags & kWindowKindMask;
    const char *name = item->name ? item->name : "";
    if (l.menu && kind != kWindowKindButton && kind != kWindowKindLabel)
        ReportError("New Menu", "Illegal item type");
    int left = item->x, top = item->y + l.shift;
    int right = item->x + item->width - 1, bottom = top + item->height - 1;
    if (l.menu && (kind == kWindowKindButton || kind == kWindowKindLabel)) {
        uint32_t flags = (item->flags & ~kWindowKindMask) | kWindowKindButton;
        int pl, pt, pr, pb;
        if (l.bar) {
            flags &= ~kButtonSubMenu;
            pl = l.runningX;
            const ToolkitDefaults *d = GetToolkitDefaults();
            pr = pl + StringWidth(name, d->fontIndex[kFontSans], ScreenGC()) +
                 CellsToPixels(1, d->cellWidth);
            pt = (l.height - l.lineSpacing) / 2 > 0 ? (l.height - l.lineSpacing) / 2 : 0;
            pb = pt + l.lineSpacing + 1;
        } else {
            pl = 2;
            pr = l.width - 3;
            pt = l.runningY + l.cellHeight / 2;
            pb = pt + l.cellHeight + 1;
        }
        return NewButtonPixels(pl, pt, pr, pb, name, flags, dialog);
    }
    switch (kind) {
    case kWindowKindText:
        return NewEditBox(left, top, right, bottom, name, item->flags, item->data, dialog);
    case kWindowKindList: {
        Window *list = NewListBox(left, top, right, bottom, dialog->foreground, dialog->background,
                                  name, item->flags, nullptr, dialog);
        if (list)
            FillList(item->data, list);
        return list;
    }
    case kWindowKindButton:
        return NewButton(left, top, right, bottom, name, item->flags, dialog);
    case kWindowKindLabel:
        return NewLabel(left, top, right, bottom, name, item->flags, dialog);
    default:
        ReportError("Create Dialog", "Inappropriate style");
        return nullptr;
    }
}

} // namespace

Window *CreateDialog(const DialogItem *description, Window *parent) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    if (!d)
        return nullptr;
    if (!description) {
        ReportError("Dialog create", "no data");
        return nullptr;
    }
    uint32_t flags = description->flags;
    uint32_t kind = flags & ~kWindowFramed;
    if (!GoodDialogKind(kind)) {
        ReportError("Dialog create", "Bad create parameter");
        return nullptr;
    }
    if (parent && !WindowIsLive(parent))
        parent = nullptr;
    Layout l = {};
    l.menu = IsMenuKind(kind);
    if (parent) {
        parent = DialogParent(parent);
    } else if (!(flags & kWindowFramed)) {
        flags |= kWindowFramed;
        l.shift = -kTitleRows;
    } else {
        flags |= kWindowFramed;
    }
    int cw = d->cellWidth, ch = d->cellHeight;
    l.cellHeight = CellsToPixels(1, ch);
    int x = CellsToPixels(description->x, cw), y = CellsToPixels(description->y, ch);
    l.width = CellsToPixels(description->width, cw);
    int n = ItemCount(description);
    if (l.menu) {
        int rows = n;
        l.bar = kind == kWindowMenuBar && parent;
        if (l.bar) {
            rows = 0;
            n = 3;
            x = y = 0;
            l.width = parent->right - parent->left + 1;
        }
        l.height = (int)(((int64_t)ch * (rows + 1)) >> 16) + 2 * n;
    } else {
        l.height = CellsToPixels(description->height + l.shift, ch);
    }
    if (l.width < 1)
        l.width = 1;
    if (l.height < 1)
        l.height = 1;
    if (!l.menu)
        KeepOnDesktop(parent, (flags & kWindowFramed) != 0, l.width, l.height, &x, &y);
    Color foreground = d->dialogForeground, background = d->dialogBackground;
    int font = d->fontIndex[kFontBoldSerif];
    ApplyOverride(description->override, &foreground, &background, &font);
    Window *w = OpenWindowPixels(x, y, x + l.width - 1, y + l.height - 1, foreground, background,
                                 description->name, flags, parent);
    if (!w) {
        ReportMemoryError("New Dialog");
        return nullptr;
    }
    w->font = font;
    w->onPaint = DialogPaint;
    w->onKey = DialogKeyDefault;
    l.lineSpacing = GetLineSpacing(d->fontIndex[kFontSans], ScreenGC());
    WindowRef ref = WindowRefOf(w);
    Window *firstTab = nullptr;
    for (const DialogItem *item = description + 1; item->flags; item++) {
        Window *v = MakeItem(item, l, w);
        if (!WindowRefLive(ref))
            return nullptr;
        // A button or label without its caption would show its name instead: not made either.
        if (v && item->data &&
            (WindowKind(v) == kWindowKindButton || WindowKind(v) == kWindowKindLabel) &&
            SetWindowText(item->data, v) != 0) {
            ReportMemoryError("Dialog item text");
            CloseWindow(v);
            v = nullptr;
        }
        if (!v) {
            ReportError("Create Dialog", "All children not made");
            break;
        }
        Color fg = v->foreground, bg = v->background;
        int itemFont = v->font;
        ApplyOverride(item->override, &fg, &bg, &itemFont);
        v->foreground = fg;
        v->background = bg;
        v->font = itemFont;
        if (!firstTab && (item->flags & kWindowTabStop))
            firstTab = v;
        if (l.bar)
            l.runningX = v->right + 2;
        else
            l.runningY += l.cellHeight + 2;
    }
    if (firstTab)
        SetCurrentItem(firstTab);
    return WindowRefGet(ref);
}

// ---- the current item
// ----------------------------------------------------------------------------

void SetCurrentItem(Window *item) {
    if (!WindowIsLive(item) || !item->parent)
        return;
    Window *dialog = item->parent;
    Window *previous = dialog->current;
    if (previous == item)
        return;
    dialog->current = item;
    WindowRef ref = WindowRefOf(item);
    WindowRef left =
        WindowIsLive(previous) && previous->parent == dialog ? WindowRefOf(previous) : WindowRef{};
    if (item->flags & kWindowTakesFocus)
        FocusItem(item);
    // The item left loses its selection after the focus has moved: the focus change repaints it
    // only to hide its caret, and would leave the old selection on the screen.
    if (Window *gone = WindowRefGet(left)) {
        if (IsTextItem(gone)) {
            TextSelectColumns(1, 0, gone);
            gone->damageLeft = gone->damageTop = 0;
            gone->damageRight = gone->right - gone->left;
            gone->damageBottom = gone->bottom - gone->top;
        }
        PostEvent(kEventRedraw, 0, gone);
    }
    if (WindowRefLive(ref))
        PostEvent(kEventRedraw, 0, item);
}

void ShowDialog(Window *w) {
    if (!WindowIsLive(w))
        return;
    WindowRef ref = WindowRefOf(w);
    if (WindowKind(w) == kWindowKindDialog) {
        Window *current = w->current;
        if (WindowIsLive(current) && current->parent == w && (current->flags & kWindowTakesFocus) &&
            !(current->flags & kWindowDisabled)) {
            FocusItem(current); // even when it already is current: the focus may be elsewhere
        } else {
            Window *first = FirstItemWith(w, kWindowTakesFocus, 0);
            if (first && Usable(first)) {
                SetCurrentItem(first);
            } else {
                SetFocusWindow(w);
                Window *tab = WindowRefLive(ref) ? FirstItemWith(w, kWindowTabStop, kWindowDisabled)
                                                 : nullptr;
                if (tab)
                    SetCurrentItem(tab);
            }
        }
        if (WindowRefLive(ref) && w->parent)
            ShowWindowTree(w->parent);
    }
    if (WindowRefLive(ref))
        ShowWindowTree(w);
}

void RunDialogAndClose(WindowRef dialog) {
    if (Window *w = WindowRefGet(dialog))
        ShowDialog(w);
    if (Window *w = WindowRefGet(dialog))
        RunModal(w);
    if (Window *still = WindowRefGet(dialog)) {
        still->extension = nullptr;
        CloseWindow(still);
    }
}

int CloseDialogButton(int, Window *button) {
    if (!WindowIsLive(button))
        return 0;
    // A menu's "Close" closes the window the menu belongs to, not just the menu.
    Window *w = button->parent ? button->parent : button;
    while (w->parent && IsMenuKind(w->flags))
        w = w->parent;
    PostEvent(kEventClose, 0, w);
    return 0;
}

// ---- named items
// -----------------------------------------------------------------------------------

Window *FindNamedWindow(const char *name, Window *start) {
    if (name && WindowIsLive(start))
        for (Window *w = start; w; w = NextItem(w, start))
            if (w->name && strcmp(w->name, name) == 0)
                return w;
    ReportError("Find Named Window: no ID", name ? name : "");
    return nullptr;
}

bool DialogComplete(const DialogItem *description, Window *dialog) {
    if (!description || !WindowIsLive(dialog))
        return false;
    for (const DialogItem *item = description + 1; item->flags; item++) {
        Window *w = dialog;
        while (w && !(w->name && item->name && strcmp(w->name, item->name) == 0))
            w = NextItem(w, dialog);
        if (!w)
            return false;
    }
    return true;
}

Window *CreateWholeDialog(const DialogItem *description, Window *parent) {
    Window *dialog = CreateDialog(description, parent);
    if (dialog && !DialogComplete(description, dialog)) {
        CloseWindow(dialog);
        return nullptr;
    }
    return dialog;
}

Window *SetButtonFunction(const char *name, WindowValueProc function, Window *dialog) {
    Window *w = FindNamedWindow(name, dialog);
    if (!w) {
        ReportError("SetButtonFunction Bad ID", name ? name : "");
        return nullptr;
    }
    w->onActivate = function;
    return w;
}

int GetItemText(const char *name, char *buffer, int size, Window *dialog) {
    Window *w = FindNamedWindow(name, dialog);
    if (!w)
        return 1;
    if (!buffer || size <= 0)
        return 2;
    const char *text = w->getText ? w->getText(w) : w->text;
    size_t n = text ? strlen(text) : 0;
    if (n > (size_t)size - 1)
        n = (size_t)size - 1;
    if (n > 0)
        memcpy(buffer, text, n);
    buffer[n] = '\0';
    return 0;
}

int SetItemText(const char *name, const char *text, int length, Window *dialog) {
    Window *w = FindNamedWindow(name, dialog);
    if (!w)
        return 1;
    if (!text)
        return 2;
    WindowRef ref = WindowRefOf(w);
    if (w->setText) {
        // The item takes a terminated text: hand it exactly `length` characters.
        size_t n = length < 0 ? strlen(text) : strnlen(text, (size_t)length);
        char *copy = (char *)WindowAllocate(n + 1);
        if (!copy) {
            ReportMemoryError("SetItemText");
            return 2;
        }
        memcpy(copy, text, n);
        copy[n] = '\0';
        w->setText(copy, w);
        WindowRelease(copy);
    } else {
        SetWindowText(text, w);
    }
    if (WindowRefLive(ref))
        PostEvent(kEventRedraw, 0, w);
    return 0;
}

int SelectItemText(const char *name, int from, int to, Window *dialog) {
    Window *w = FindNamedWindow(name, dialog);
    if (!w)
        return 1;
    if (!IsTextItem(w))
        return 2;
    const char *text = w->getText ? w->getText(w) : w->text;
    int n = text ? (int)strlen(text) : 0;
    if (to > n - 1)
        to = n - 1;
    if (n <= 0 || to < from || from < 0)
        TextSelectColumns(1, 0, w);
    else
        TextSelectColumns(from + 1, to + 1, w);
    PostEvent(kEventRedraw, 0, w);
    return 0;
}

// ---- the button row
// --------------------------------------------------------------------------------

void LayoutButtonRow(Window *window) {
    if (!WindowIsLive(window))
        return;
    Window *row = nullptr;
    for (Window *w = window; w && !row; w = w->chain)
        if ((w->flags & kWindowButtonRow) && (w == window || WindowIsDescendant(w, window)))
            row = w;
    if (!row)
        return;
    int n = 0;
    for (Window *w = row->chain; w; w = w->chain)
        n += w->parent == row;
    if (n == 0)
        return;
    int b = row->right - row->left + 1 - kRowSlack;
    int c = (b - n + 1) / n;
    for (Window *w = row->chain; w; w = w->chain) {
        if (w->parent != row)
            continue;
        int d;
        if (n == 1) {
            d = b - kSingleButtonCut;
            if (d < 0)
                d = c;
        } else {
            if (w->kindValue <= 0) // its preferred width: its width the first time
                w->kindValue = w->right - w->left + 1;
            d = w->kindValue;
        }
        if (d > c)
            d = c;
        if (d < 1)
            d = 1;
        MoveWindowTo(b - d, 0, d, w->bottom - w->top + 1, 1, w);
        b -= d + 1;
        if (b <= 0)
            break;
    }
}

void EnableItem(const char *name, bool on, Window *dialog) {
    Window *item = FindNamedWindow(name, dialog);
    if (!item)
        return;
    if (on && (item->flags & kWindowDisabled))
        EnableWindow(item);
    else if (!on && !(item->flags & kWindowDisabled))
        DisableWindow(item);
}
