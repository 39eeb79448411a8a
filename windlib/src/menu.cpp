// Menus (dialog.h): a pending description collected item by item, popped up as a pull-down menu
// or a menu bar through CreateDialog, and closed all at once when a press lands outside them.
#include "dialog.h"
#include "windmsg.h"

namespace {

constexpr int kMenuRecordsMax = kMenuSlots - 1; // the last slot holds the terminator
static_assert(kMenuSlots >= kMenuRecordsMax + 1, "the terminator needs its own slot");

// A sub-menu item: its menu opens beside it.
constexpr uint32_t kSubMenuButton = kWindowTabStop | kWindowControl | kButtonPush |
                                    kWindowKindButton | kButtonSubMenu | kButtonBold;
static_assert(kSubMenuButton == 0x0310040C);

struct PendingMenu {
    DialogItem records[kMenuSlots];
    int count;
};

PendingMenu gMenu;

int MenuBarLayout(Window *bar) {
    Window *p = bar->parent;
    if (!p)
        return 0;
    MoveWindowTo(0, 0, p->right - p->left + 1, bar->bottom - bar->top + 1, 1, bar);
    PostEvent(kEventRedraw, 0, bar);
    return 0;
}

// The menu's cell position inside its frame: the pixel position in the parent converted, plus
// the cell origins of the parent and its ancestors up to the framed one (and the width of each
// pull-down among them, so that a sub-menu opens beside its menu), pushed back inside the frame.
void PlaceInFrame(int position, Window *parent, DialogItem *menu) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    int x = PixelsToCells(PositionX(position), d->cellWidth);
    int y = PixelsToCells(PositionY(position), d->cellHeight);
    if (parent->flags == kSubMenuButton)
        x = -1;
    Window *p = parent;
    for (; p && !(p->flags & kWindowFramed); p = p->parent) {
        x += p->cellLeft;
        y += p->cellTop;
        if (p->flags == kWindowPullDown)
            x += p->cellRight - p->cellLeft + 1;
    }
    if (p) {
        int frameWidth = p->cellRight - p->cellLeft + 1;
        int frameHeight = p->cellBottom - p->cellTop + 1;
        int rows = gMenu.count; // a pull-down is about one row per item and one more
        if (x + menu->width > frameWidth)
            x = frameWidth - menu->width;
        if (y + rows > frameHeight)
            y = frameHeight - rows;
    }
    menu->x = x < 0 ? 0 : x;
    menu->y = y < 0 ? 0 : y;
}

} // namespace

int AddMenuItem(const DialogItem *item) {
    if (!item)
        return 1;
    if (gMenu.count >= kMenuRecordsMax) {
        ReportError("AddMenuItem:", "Too many items");
        return 1;
    }
    gMenu.records[gMenu.count++] = *item;
    return 0;
}

int AddMenuItems(const DialogItem *items) {
    if (!items)
        return 1;
    for (const DialogItem *i = items; i->flags; i++)
        if (AddMenuItem(i))
            return 1;
    return 0;
}

void ClearMenu(void) { gMenu.count = 0; }

Window *PopUpMenu(int position, Window *parent) {
    if (gMenu.count == 0 || !GetToolkitDefaults())
        return nullptr;
    SetMenuCloser(CloseMenus);
    gMenu.records[gMenu.count] = DialogItem{}; // the terminator
    DialogItem *menu = &gMenu.records[0];
    DialogItem saved = *menu;
    if (parent && !WindowIsLive(parent))
        parent = nullptr;
    if (parent) {
        menu->flags &= ~kWindowFramed;
        PlaceInFrame(position, parent, menu);
    } else {
        menu->x = PositionX(position);
        menu->y = PositionY(position);
        menu->flags |= kWindowFramed;
    }
    Window *w = CreateDialog(gMenu.records, parent);
    *menu = saved; // the description can pop up again
    if (!w)
        return nullptr;
    if ((w->flags & kWindowTypeMask) == kWindowMenuBar) {
        if (w->parent)
            w->onLayout = MenuBarLayout;
        ShowWindowTree(w);
    } else {
        ShowDialog(w);
    }
    return WindowIsLive(w) ? w : nullptr;
}

void CloseMenus(void) {
    // Each close may run callbacks that close or open windows: look again after every one.
    while (Window *menu = OpenPullDown()) {
        Window *parent = menu->parent;
        WindowRef parentRef = WindowRefOf(parent);
        if (parent)
            CloseChild(menu, parent);
        else if (menu->onClose)
            menu->onClose(menu);
        else
            CloseWindow(menu);
        if (WindowIsLive(menu) && menu->flags == kWindowPullDown)
            CloseWindow(menu); // it would not go: never loop on it
        if (!FocusWindow() && WindowRefLive(parentRef))
            SetFocusWindow(parent);
    }
    ClearMenu();
}
