// The x11 backend's private header: the records and state its files share (x11.cpp: windows,
// events, keys and painting; x11clip.cpp: the clipboard; x11box.cpp: message boxes). Included by
// those files only: it brings in Xlib, whose Window, None, Bool, Status, True and False must
// never meet the toolkit's names, so no toolkit header is ever included beside it.
#pragma once

#include "hostcore.h"
#include "hostdraw.h"

#include <cairo-xlib.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace x11host {

struct XWin : HostCoreWindow {
    Window xid;                   // the X window
    bool fixedSize;               // setFixedSize: size hints hold it at its size
    XWin *parent;                 // a child's parent, else null
    XWin *owner;                  // owner of a top-level window, or null
    int x, y, width, height;      // as last set or configured: a child in its parent,
                                  // a top-level on the screen (unclamped)
    bool mapped;                  // MapNotify seen, no UnmapNotify since
    bool reparented;              // a window manager put a frame around it
    bool hiddenWithOwner;         // hidden by showOwnedPopups(owner, 0)
    cairo_surface_t *surface;     // the X window's own, made on first showing
    cairo_surface_t *back;        // its back buffer (client image), made on first drawing
    std::vector<XWin *> children; //
};

// A text too large for one request, handed to a requestor in pieces: each time the requestor
// deletes the property, the next piece is written, and an empty piece ends it (ICCCM INCR).
struct Transfer {
    Window requestor; //
    Atom property;    //
    Atom type;        // UTF8_STRING or STRING
    std::string data; // the whole converted text
    size_t sent;      // bytes written so far
    int64_t last;     // ms, when the requestor last took a piece
};

struct OpenDevice {
    HostDevice *device; //
    HostRect area;      // the part of the back buffer it may draw on, shown when released
};

struct X11 {
    Display *dpy;     //
    int screen;       //
    Window root;      //
    Visual *visual;   //
    int depth;        //
    int dpi;          // 96 times the scale
    int scale;        // HiDPI scale, 1 on an ordinary screen
    int wake[2];      // self-pipe: read end, write end
    bool wakePending; // a byte is in the pipe
    Atom wmProtocols, wmDelete, netWmName, utf8String, netWmPid, netWmWindowType,
        netWmWindowTypeDialog, netWmIcon, clipboard, targets, incr, pasteProperty, timeProperty,
        motifWmHints, netWmState, netWmStateModal, netWorkarea; // interned once at open
    Window clipWindow;               // hidden: owns CLIPBOARD and receives pastes
    bool clipOwned;                  // CLIPBOARD is ours and clipText its contents
    Time clipSince;                  // the time we took it
    std::string clipText;            // our copy, Latin-1
    std::string pasted;              // what the last ClipboardGet returned
    Atom pasteTarget;                // the target of the conversion under way
    std::vector<Transfer> transfers; // INCR transfers under way
    XWin *caretOwner;                // the caret: drawn on the window, never in its
    HostRect caret;                  // back buffer, so showing the back buffer erases it
    bool caretShown;                 //
    std::string program;             // WM_CLASS instance part
    std::string machine;             // WM_CLIENT_MACHINE: this host's name
    std::unordered_map<Window, XWin *> byId;
    std::vector<OpenDevice> devices; // drawing devices not yet released
    XWin *focus;                     // the window the toolkit gave the focus
    XWin *focusTop;                  // our top-level window that holds the X focus, or null
    XWin *announced;                 // the window last sent set-focus without kill-focus since
    XWin *capture;                   //
    XWin *menu;                      // the floating pop-up that holds the pointer and keyboard
    GC putGc;                        // for XPutImage of back buffers
    unsigned altMask;                // the ModN masks that hold Alt or Meta (never AltGr's)
    unsigned numLockMask;            // the ModN mask that holds Num_Lock, 0 without one
    int boxDepth;                    // message boxes up
    void (*exitHook)(void);
    bool quitPosted; // the signal noted has been handed to the toolkit
};

extern X11 gX;
extern volatile sig_atomic_t gQuitSignal; // the last quit signal caught, 0 for none

// ---- x11.cpp ------------------------------------------------------------------------------------

// Never reads the record: a handle may outlive its window.
inline bool Alive(XWin *w) { return HostCoreAlive(w); }
int64_t NowMs(void);                   // a monotonic clock
unsigned long PixelOf(HostColor c);    // the screen's pixel value of a colour
void SetProgramProperties(Window xid); // WM_CLASS, WM_CLIENT_MACHINE, _NET_WM_PID
void DrainWakePipe(void);              // empties the self-pipe that ends a wait

// ---- x11clip.cpp --------------------------------------------------------------------------------

bool IsClipboardEvent(const XEvent *e); // a selection or property event
void OnClipboardEvent(XEvent *e);       // answers a request, a clear or an INCR step
void ServeClipboard(void);              // answers what waits for the clipboard in the X queue
int ClipboardPut(XWin *owner, const char *text, size_t length);
const char *ClipboardGet(size_t *length);

// ---- x11box.cpp ---------------------------------------------------------------------------------

int MessageBox(const char *text, const char *caption, unsigned flags);

} // namespace x11host
