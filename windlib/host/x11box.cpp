// The x11 backend's message box: a small window of the backend's own with a private loop over
// its own events, because the toolkit reports through boxes from places where its own dialogs
// cannot run (inside a close, with a full queue, without memory). Events of other windows wait
// in the X queue meanwhile; clipboard requests are answered.
#include "x11priv.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace x11host {
namespace {

constexpr int kBoxMinWidth = 260;     // message box geometry, pixels
constexpr int kBoxPadding = 16;       //
constexpr int kBoxLineHeight = 18;    //
constexpr int kBoxButtonWidth = 72;   //
constexpr int kBoxButtonHeight = 26;  //
constexpr double kBoxFontSize = 13.0; //

struct Box {
    Window xid;
    int width, height;
    std::vector<std::string> lines;
    const char *caption;
    int buttons;          // 1 (OK) or 2 (Yes and No)
    HostRect button[2];   // box pixels
    const char *label[2]; //
    int answer[2];        // what each button answers
};

void SetRgb(cairo_t *cr, HostColor c) {
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                         ((c >> 16) & 0xFF) / 255.0);
}

// Drawn on an image and shown in one copy, like every window of the backend.
void DrawBox(Box *box, cairo_surface_t *surface) {
    cairo_surface_t *image =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, box->width, box->height);
    cairo_t *cr = cairo_create(image);
    SetRgb(cr, HostClassicSysColor(kHostColorMenu));
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kBoxFontSize);
    SetRgb(cr, HostClassicSysColor(kHostColorWindowText));
    for (size_t i = 0; i < box->lines.size(); i++) {
        cairo_move_to(cr, kBoxPadding, kBoxPadding + kBoxLineHeight * (i + 1) - 4);
        cairo_show_text(cr, box->lines[i].c_str());
    }
    for (int i = 0; i < box->buttons; i++) {
        const HostRect &b = box->button[i];
        cairo_rectangle(cr, b.left + 0.5, b.top + 0.5, b.right - b.left - 1, b.bottom - b.top - 1);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_text_extents_t ext;
        cairo_text_extents(cr, box->label[i], &ext);
        cairo_move_to(cr, (b.left + b.right - ext.width) / 2 - ext.x_bearing,
                      (b.top + b.bottom - ext.height) / 2 - ext.y_bearing);
        cairo_show_text(cr, box->label[i]);
    }
    cairo_destroy(cr);
    cr = cairo_create(surface);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(image);
    cairo_surface_flush(surface);
}

// The box's own events, and the clipboard's: another program may paste from us meanwhile.
Bool ForBox(Display *, XEvent *e, XPointer arg) {
    return e->xany.window == *(Window *)arg || IsClipboardEvent(e) ? True : False;
}

} // namespace

int MessageBox(const char *text, const char *caption, unsigned flags) {
    if (!text)
        text = "";
    if (!caption)
        caption = "";
    fprintf(stderr, "%s: %s\n", caption, text);
    if (!gX.dpy || gX.boxDepth > 0 || gQuitSignal) // nobody can answer: a question is declined
        return flags & kHostBoxYesNo ? kHostAnswerNo : kHostAnswerOk;
    gX.boxDepth++;
    // A pointer grab of ours would take the box's clicks: a box may come from a button press.
    // An open menu's keyboard grab would take its keys.
    gX.capture = nullptr;
    gX.menu = nullptr;
    XUngrabPointer(gX.dpy, CurrentTime);
    XUngrabKeyboard(gX.dpy, CurrentTime);
    Box box = {};
    box.caption = caption;
    for (const char *p = text;;) {
        const char *end = strchr(p, '\n');
        box.lines.push_back(std::string(p, end ? (size_t)(end - p) : strlen(p)));
        if (!end || !end[1])
            break;
        p = end + 1;
    }
    // Measure the text on a scratch surface.
    cairo_surface_t *scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t *cr = cairo_create(scratch);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kBoxFontSize);
    double widest = 0;
    for (const std::string &line : box.lines) {
        cairo_text_extents_t ext;
        cairo_text_extents(cr, line.c_str(), &ext);
        widest = std::max(widest, ext.x_advance);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    box.width = std::max(kBoxMinWidth, (int)widest + 2 * kBoxPadding);
    int textHeight = kBoxLineHeight * (int)box.lines.size();
    box.height = kBoxPadding * 3 + textHeight + kBoxButtonHeight;
    int buttonTop = 2 * kBoxPadding + textHeight, buttonBottom = buttonTop + kBoxButtonHeight;
    if (flags & kHostBoxYesNo) {
        box.buttons = 2;
        box.label[0] = "Yes";
        box.label[1] = "No";
        box.answer[0] = kHostAnswerYes;
        box.answer[1] = kHostAnswerNo;
        int gap = kBoxPadding, left = (box.width - 2 * kBoxButtonWidth - gap) / 2;
        box.button[0] = {left, buttonTop, left + kBoxButtonWidth, buttonBottom};
        box.button[1] = {left + kBoxButtonWidth + gap, buttonTop, left + 2 * kBoxButtonWidth + gap,
                         buttonBottom};
    } else {
        box.buttons = 1;
        box.label[0] = "OK";
        box.answer[0] = kHostAnswerOk;
        box.button[0] = {(box.width - kBoxButtonWidth) / 2, buttonTop,
                         (box.width + kBoxButtonWidth) / 2, buttonBottom};
    }
    // Escape and the close box answer the last button: No for a question, else OK.
    int answer = box.answer[box.buttons - 1];
    int x = (DisplayWidth(gX.dpy, gX.screen) - box.width) / 2;
    int y = (DisplayHeight(gX.dpy, gX.screen) - box.height) / 3;

    XSetWindowAttributes a = {};
    a.background_pixel = PixelOf(HostClassicSysColor(kHostColorMenu));
    a.event_mask =
        ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    box.xid =
        XCreateWindow(gX.dpy, gX.root, x, y, (unsigned)box.width, (unsigned)box.height, 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &a);
    XStoreName(gX.dpy, box.xid, caption);
    XSetWMProtocols(gX.dpy, box.xid, &gX.wmDelete, 1);
    XChangeProperty(gX.dpy, box.xid, gX.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    (unsigned char *)&gX.netWmWindowTypeDialog, 1);
    SetProgramProperties(box.xid);
    if (Alive(gX.focusTop))
        XSetTransientForHint(gX.dpy, box.xid, gX.focusTop->xid);
    XMapRaised(gX.dpy, box.xid);
    cairo_surface_t *surface =
        cairo_xlib_surface_create(gX.dpy, box.xid, gX.visual, box.width, box.height);
    for (bool done = false; !done;) {
        XEvent e;
        if (!XCheckIfEvent(gX.dpy, &e, ForBox, (XPointer)&box.xid)) {
            // The program is ending: nobody will answer, and the last button's answer stands.
            if (gQuitSignal) {
                done = true;
                continue;
            }
            XFlush(gX.dpy);
            pollfd fds[2] = {{ConnectionNumber(gX.dpy), POLLIN, 0}, {gX.wake[0], POLLIN, 0}};
            if (poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN))
                DrainWakePipe();
            continue;
        }
        if (IsClipboardEvent(&e)) {
            OnClipboardEvent(&e);
            continue;
        }
        switch (e.type) {
        case Expose:
            if (e.xexpose.count == 0)
                DrawBox(&box, surface);
            break;
        case MapNotify:
            XSetInputFocus(gX.dpy, box.xid, RevertToParent, CurrentTime);
            break;
        case KeyPress: {
            KeySym sym = XLookupKeysym(&e.xkey, 0);
            if (sym == XK_Return || sym == XK_KP_Enter || sym == XK_space ||
                (box.buttons == 2 && sym == XK_y)) {
                answer = box.answer[0];
                done = true;
            } else if (sym == XK_Escape || (box.buttons == 2 && sym == XK_n)) {
                answer = box.answer[box.buttons - 1];
                done = true;
            }
            break;
        }
        case ButtonRelease:
            for (int i = 0; i < box.buttons && e.xbutton.button == Button1; i++) {
                const HostRect &b = box.button[i];
                if (e.xbutton.x >= b.left && e.xbutton.x < b.right && e.xbutton.y >= b.top &&
                    e.xbutton.y < b.bottom) {
                    answer = box.answer[i];
                    done = true;
                }
            }
            break;
        case ClientMessage:
            done = (Atom)e.xclient.data.l[0] == gX.wmDelete;
            break;
        default:
            break;
        }
    }
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    XDestroyWindow(gX.dpy, box.xid);
    XFlush(gX.dpy);
    gX.boxDepth--;
    return answer;
}

} // namespace x11host
