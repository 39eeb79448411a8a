// The x11 backend's clipboard: the CLIPBOARD selection (never PRIMARY), owned by the hidden
// clip window that lives with the connection. Requests for it are answered wherever the program
// waits: the core's pump, the message box's loop and a paste's own wait, so another program's
// paste never hangs on us. Texts are Latin-1 here and UTF-8 or Latin-1 (STRING) on the wire; a
// text too large for one request goes in pieces (INCR), both ways.
#include "x11priv.h"

#include <algorithm>
#include <cstdint>
#include <poll.h>

namespace x11host {
namespace {

constexpr size_t kPasteMax = 16383;   // bytes a paste gives at most
constexpr int kPasteWaitMs = 1000;    // for the owner's answer, and for each piece of an INCR
constexpr int kIncrIdleMs = 5000;     // an INCR transfer unread this long is given up
constexpr size_t kRequestHeader = 32; // bytes of a ChangeProperty request besides its data

Bool ForClipboard(Display *, XEvent *e, XPointer) { return IsClipboardEvent(e) ? True : False; }

// A later X time than `than`, across the 32-bit wrap.
bool Later(Time time, Time than) { return (int32_t)(uint32_t)(time - than) > 0; }

std::string Utf8FromLatin1(const std::string &text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += (char)c;
        } else {
            utf8 += (char)(0xC0 | (c >> 6));
            utf8 += (char)(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

// The largest property data one request carries without BIG-REQUESTS; more goes as INCR.
size_t MaxPiece(void) { return (size_t)XMaxRequestSize(gX.dpy) * 4 - kRequestHeader; }

// A server time of now, for a clipboard call that no input event triggered: an empty append to
// a property of ours comes back as a PropertyNotify stamped by the server.
Bool IsTimeStamp(Display *, XEvent *e, XPointer) {
    return e->type == PropertyNotify && e->xproperty.window == gX.clipWindow &&
                   e->xproperty.atom == gX.timeProperty
               ? True
               : False;
}

Time ServerTime(void) {
    unsigned char nothing = 0;
    XChangeProperty(gX.dpy, gX.clipWindow, gX.timeProperty, XA_STRING, 8, PropModeAppend, &nothing,
                    0);
    XEvent e;
    XIfEvent(gX.dpy, &e, IsTimeStamp, nullptr);
    return e.xproperty.time;
}

// The time of the event the call answers (ICCCM: never CurrentTime, so requests that cross
// keep their order).
Time TriggerTime(void) {
    Time time = HostCoreInputTime();
    return time ? time : ServerTime();
}

void Notify(const XSelectionRequestEvent *r, Atom property) {
    XEvent e = {};
    e.xselection.type = SelectionNotify;
    e.xselection.display = gX.dpy;
    e.xselection.requestor = r->requestor;
    e.xselection.selection = r->selection;
    e.xselection.target = r->target;
    e.xselection.property = property;
    e.xselection.time = r->time;
    XSendEvent(gX.dpy, r->requestor, False, NoEventMask, &e);
}

// Offers TARGETS, UTF8_STRING and STRING; any other target, or a request for a selection we do
// not hold, is refused with property None.
void ServeRequest(const XSelectionRequestEvent *r) {
    // Requestors older than ICCCM name no property: the target serves as one.
    Atom property = r->property == None ? r->target : r->property;
    if (r->selection != gX.clipboard || r->owner != gX.clipWindow || !gX.clipOwned) {
        Notify(r, None);
        return;
    }
    if (r->target == gX.targets) {
        Atom offered[] = {gX.targets, gX.utf8String, XA_STRING};
        XChangeProperty(gX.dpy, r->requestor, property, XA_ATOM, 32, PropModeReplace,
                        (const unsigned char *)offered, 3);
        Notify(r, property);
        return;
    }
    std::string data;
    if (r->target == gX.utf8String)
        data = Utf8FromLatin1(gX.clipText);
    else if (r->target == XA_STRING)
        data = gX.clipText;
    else {
        Notify(r, None);
        return;
    }
    if (data.size() <= MaxPiece()) {
        XChangeProperty(gX.dpy, r->requestor, property, r->target, 8, PropModeReplace,
                        (const unsigned char *)data.data(), (int)data.size());
        Notify(r, property);
        return;
    }
    // A requestor asking again into the same property has given up on the older transfer.
    for (size_t i = gX.transfers.size(); i-- > 0;)
        if (gX.transfers[i].requestor == r->requestor && gX.transfers[i].property == property)
            gX.transfers.erase(gX.transfers.begin() + (long)i);
    // Selected before the INCR property is written, so its deletion cannot be missed.
    XSelectInput(gX.dpy, r->requestor, PropertyChangeMask);
    long size = (long)data.size();
    XChangeProperty(gX.dpy, r->requestor, property, gX.incr, 32, PropModeReplace,
                    (const unsigned char *)&size, 1);
    gX.transfers.push_back({r->requestor, property, r->target, std::move(data), 0, NowMs()});
    Notify(r, property);
}

// Ends a transfer; the requestor's property changes are no longer ours to hear unless another
// transfer to it is under way.
void EndTransfer(size_t i) {
    Window requestor = gX.transfers[i].requestor;
    gX.transfers.erase(gX.transfers.begin() + (long)i);
    for (const Transfer &t : gX.transfers)
        if (t.requestor == requestor)
            return;
    XSelectInput(gX.dpy, requestor, NoEventMask);
}

// The requestor deleted the property: it has read the last piece and wants the next.
void ContinueTransfer(const XPropertyEvent *e) {
    int64_t now = NowMs();
    for (size_t i = gX.transfers.size(); i-- > 0;)
        if (now - gX.transfers[i].last > kIncrIdleMs) // the requestor went away
            EndTransfer(i);
    if (e->state != PropertyDelete)
        return;
    for (size_t i = 0; i < gX.transfers.size(); i++) {
        Transfer &t = gX.transfers[i];
        if (t.requestor != e->window || t.property != e->atom)
            continue;
        size_t n = std::min(MaxPiece(), t.data.size() - t.sent);
        XChangeProperty(gX.dpy, t.requestor, t.property, t.type, 8, PropModeReplace,
                        (const unsigned char *)t.data.data() + t.sent, (int)n);
        t.sent += n;
        t.last = now;
        if (n == 0)
            EndTransfer(i);
        return;
    }
}

Bool IsAnswer(Display *, XEvent *e, XPointer) {
    const XSelectionEvent &s = e->xselection;
    return e->type == SelectionNotify && s.requestor == gX.clipWindow &&
                   s.selection == gX.clipboard && s.target == gX.pasteTarget
               ? True
               : False;
}

Bool IsPiece(Display *, XEvent *e, XPointer) {
    const XPropertyEvent &p = e->xproperty;
    return e->type == PropertyNotify && p.window == gX.clipWindow && p.atom == gX.pasteProperty &&
                   p.state == PropertyNewValue
               ? True
               : False;
}

// Waits until `deadline` for the event `wanted` picks, answering clipboard requests meanwhile;
// every other event stays queued, in order, for the program.
bool Await(XEvent *out, Bool (*wanted)(Display *, XEvent *, XPointer), int64_t deadline) {
    for (;;) {
        XEvent e;
        while (XCheckIfEvent(gX.dpy, &e, ForClipboard, nullptr)) {
            if (wanted(gX.dpy, &e, nullptr)) {
                *out = e;
                return true;
            }
            OnClipboardEvent(&e);
        }
        int64_t left = deadline - NowMs();
        if (left <= 0)
            return false;
        XFlush(gX.dpy);
        pollfd fd = {ConnectionNumber(gX.dpy), POLLIN, 0};
        poll(&fd, 1, (int)left);
    }
}

// Takes the paste property (deleting it, which asks an INCR owner for the next piece) and
// appends up to `max` bytes of it. 0, or 1 when there is none or it is no text.
int TakeProperty(std::string *out, Atom *type, size_t max) {
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    // Asked whole, so the property is deleted however long it is.
    if (XGetWindowProperty(gX.dpy, gX.clipWindow, gX.pasteProperty, 0, 0x1FFFFFFF, True,
                           AnyPropertyType, &actualType, &format, &items, &after, &data) != Success)
        return 1;
    int result = 1;
    if (actualType == gX.incr && format == 32) {
        result = 0;
    } else if (actualType != None && format == 8) {
        out->append((const char *)data, std::min((size_t)items, max - out->size()));
        result = 0;
    }
    *type = actualType;
    if (data)
        XFree(data);
    return result;
}

// Asks the owner for CLIPBOARD as `target`: 0 with up to `max` bytes in `out`, 1 when the owner
// refused, 2 when it did not answer in time. An INCR transfer is read to its end (an owner
// left half way might wait for us), keeping only the first `max` bytes.
int Convert(Atom target, Time time, std::string *out, size_t max) {
    gX.pasteTarget = target;
    XDeleteProperty(gX.dpy, gX.clipWindow, gX.pasteProperty);
    XConvertSelection(gX.dpy, gX.clipboard, target, gX.pasteProperty, gX.clipWindow, time);
    XEvent e;
    if (!Await(&e, IsAnswer, NowMs() + kPasteWaitMs))
        return 2;
    Atom type = None;
    if (e.xselection.property == None || TakeProperty(out, &type, max) != 0)
        return 1;
    if (type != gX.incr)
        return 0;
    for (;;) {
        if (!Await(&e, IsPiece, NowMs() + kPasteWaitMs))
            return out->size() >= max ? 0 : 2;
        size_t before = out->size();
        std::string piece;
        if (TakeProperty(&piece, &type, max) != 0)
            return 1;
        out->append(piece, 0, max - before);
        if (piece.empty())
            return 0;
    }
}

} // namespace

bool IsClipboardEvent(const XEvent *e) {
    return e->type == SelectionRequest || e->type == SelectionClear || e->type == SelectionNotify ||
           e->type == PropertyNotify;
}

void OnClipboardEvent(XEvent *e) {
    switch (e->type) {
    case SelectionRequest:
        ServeRequest(&e->xselectionrequest);
        break;
    case SelectionClear:
        // A clear from before we took the selection again is old news.
        if (e->xselectionclear.selection == gX.clipboard &&
            !Later(gX.clipSince, e->xselectionclear.time)) {
            gX.clipOwned = false;
            gX.clipText.clear();
        }
        break;
    case PropertyNotify:
        if (e->xproperty.window != gX.clipWindow)
            ContinueTransfer(&e->xproperty);
        break;
    default: // a paste's answer that came too late, or our own property changes
        break;
    }
}

// Answers what waits for the clipboard in the X queue, leaving every other event in its place.
void ServeClipboard(void) {
    XEvent e;
    while (XCheckIfEvent(gX.dpy, &e, ForClipboard, nullptr))
        OnClipboardEvent(&e);
}

int ClipboardPut(XWin *, const char *text, size_t length) {
    if (!gX.dpy || (!text && length))
        return 1;
    Time time = TriggerTime();
    XSetSelectionOwner(gX.dpy, gX.clipboard, gX.clipWindow, time);
    if (XGetSelectionOwner(gX.dpy, gX.clipboard) != gX.clipWindow) {
        gX.clipOwned = false;
        gX.clipText.clear();
        return 1;
    }
    // The server keeps the later of the two times when we held the selection already.
    if (!gX.clipOwned || Later(time, gX.clipSince))
        gX.clipSince = time;
    gX.clipOwned = true;
    gX.clipText.assign(text ? text : "", length);
    return 0;
}

const char *ClipboardGet(size_t *length) {
    if (!gX.dpy)
        return nullptr;
    Window owner = XGetSelectionOwner(gX.dpy, gX.clipboard);
    if (owner != gX.clipWindow) { // lost, whether or not its SelectionClear arrived yet
        gX.clipOwned = false;
        gX.clipText.clear();
    }
    gX.pasted.clear();
    if (owner == None) {
        return nullptr;
    } else if (owner == gX.clipWindow) { // asking ourselves would wait for our own answer
        if (!gX.clipOwned)
            return nullptr;
        gX.pasted.assign(gX.clipText, 0, std::min(gX.clipText.size(), kPasteMax));
    } else {
        // UTF-8 takes at most four bytes for a character, and a bad byte gives one '?'.
        Time time = TriggerTime();
        std::string raw;
        int result = Convert(gX.utf8String, time, &raw, 4 * kPasteMax);
        if (result == 0) {
            gX.pasted = HostLatin1FromUtf8(raw, kPasteMax);
        } else if (result == 1) {
            raw.clear();
            if (Convert(XA_STRING, time, &raw, kPasteMax) != 0)
                return nullptr;
            gX.pasted = raw;
        } else {
            return nullptr;
        }
    }
    if (length)
        *length = gX.pasted.size();
    return gX.pasted.c_str();
}

} // namespace x11host
