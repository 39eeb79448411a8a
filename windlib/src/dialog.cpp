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

} // namespace

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
    if (WindowIsLive(previous) && previous->parent == dialog) {
        if (IsTextItem(previous)) {
            TextSelectColumns(1, 0, previous);
            previous->damageLeft = previous->damageTop = 0;
            previous->damageRight = previous->right - previous->left;
            previous->damageBottom = previous->bottom - previous->top;
        }
        PostEvent(kEventRedraw, 0, previous);
    }
    if (!WindowRefLive(ref))
        return;
    if (item->flags & kWindowTakesFocus)
        FocusItem(item);
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
