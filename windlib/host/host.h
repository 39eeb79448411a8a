// The host layer: the one seam between the window toolkit and the window system. Everything
// the toolkit asks of the outside world (windows, messages, timers, focus, capture, painting,
// fonts, drawing, images, caret, clipboard, printing, message boxes) goes through the table of
// operations `HostOps`, filled by one backend: x11 (the real screen) or headless (a virtual
// screen for tests and for running without a display). Start reading at `HostOps`.
//
// Vocabulary. A window handle is an opaque `HostWindow`; rectangles are pixels with the right
// and bottom edges exclusive; host messages carry a code from the table below and host
// virtual-key numbers; colours are 0x00BBGGRR values or palette indices (index | 0x1000000).
// Calls that can fail return 0 for success and 1 (or null) for failure unless said otherwise.
// Nothing here includes a window-system header: X11 stays inside the x11 backend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A window of the host. Each backend derives its own record from this empty base (so the
// records of two backends linked into one program never share a name) and downcasts handles
// it gets back; the toolkit only holds the pointer.
struct HostWindow {};
struct HostDevice;  // a drawing device: a window's paint or drawing device, or a printer
struct HostFont;    // a font made for one resolution
struct HostPalette; // a colour palette of a palette-mode screen

typedef uint32_t HostColor; // red | green << 8 | blue << 16, or palette index | 0x1000000

constexpr HostColor kHostPaletteIndex = 0x1000000; // marks a palette index in a HostColor

struct HostRect {
    int left, top;     // first pixel inside
    int right, bottom; // first pixel outside
};

// ---- host messages ------------------------------------------------------------------------

enum HostMessageCode {
    kHostMsgNone = 0,
    kHostMsgDestroy,     // the window is being destroyed (sent from inside destroyWindow)
    kHostMsgMove,        // the client area moved: x, y its new origin in the parent's client
    kHostMsgSize,        // the client area changed size: x, y the new width and height
    kHostMsgSetFocus,    // the window received the keyboard focus
    kHostMsgKillFocus,   // the window lost the keyboard focus
    kHostMsgPaint,       // part of the window needs painting (getUpdateRect tells which)
    kHostMsgClose,       // the user asked to close the window (window manager, close box)
    kHostMsgKeyDown,     // value: host virtual key
    kHostMsgKeyUp,       // value: host virtual key
    kHostMsgChar,        // value: Latin-1 character 1..127, or 256 + character for 128..255
    kHostMsgSysKeyDown,  // key down with Alt held, or the Alt key itself; value: virtual key
    kHostMsgSysKeyUp,    // value: virtual key
    kHostMsgSysChar,     // character typed with Alt held; value: as for kHostMsgChar
    kHostMsgLeftDown,    // buttons: x, y in the window's client pixels (may be outside it
    kHostMsgLeftUp,      // while the window holds the capture)
    kHostMsgMiddleDown,  //
    kHostMsgMiddleUp,    //
    kHostMsgRightDown,   //
    kHostMsgRightUp,     //
    kHostMsgPointerMove, // x, y in the window's client pixels
    kHostMsgTimer,       // value: timer identifier
    kHostMsgCommand,     // value: the posted identifier (the toolkit's wake-up is 0x1234)
    kHostMsgWheel,       // value: wheel steps, positive towards the user (scroll down), negative
                         // away; x, y as for buttons. A wheel is never a button press
    kHostMsgQuit,        // the process was asked to end (a termination signal): every loop
                         // should end and the program close down as after its last window.
                         // value: the signal number. To any live top window of the program
    kHostMsgCodeCount
};

// Modifier keys held when an input event happened (HostMessage::modifiers).
constexpr unsigned kHostModShift = 0x1;
constexpr unsigned kHostModControl = 0x2;
constexpr unsigned kHostModAlt = 0x4;

struct HostMessage {
    HostWindow *window; // target window; null for a message to the thread
    int code;           // HostMessageCode
    int value;          // virtual key, character, timer or command identifier
    int x, y;           // pointer position, new origin or new size, as the code says
    unsigned modifiers; // kHostMod... held when the event happened (input messages)
    uint32_t time;      // the window system's time of the event in ms, 0 when it has none
};

// The class procedure: takes every message dispatched to a window of its class; returns the
// message's result. Messages it does not handle go to HostOps::defaultProc.
typedef long (*HostWindowProc)(const HostMessage *message);

// ---- host virtual keys ----------------------------------------------------------------------
// The numbering of the keys module's host key table. Letters are 65..90 ('A'..'Z'), digits on
// the main keyboard 48..57 ('0'..'9').

enum HostVirtualKey {
    kHostKeyBackspace = 8,
    kHostKeyTab = 9,
    kHostKeyClear = 12,
    kHostKeyReturn = 13,
    kHostKeyShift = 16,
    kHostKeyControl = 17,
    kHostKeyAlt = 18,
    kHostKeyPause = 19,
    kHostKeyCapsLock = 20,
    kHostKeyEscape = 27,
    kHostKeySpace = 32,
    kHostKeyPageUp = 33,
    kHostKeyPageDown = 34,
    kHostKeyEnd = 35,
    kHostKeyHome = 36,
    kHostKeyLeft = 37,
    kHostKeyUp = 38,
    kHostKeyRight = 39,
    kHostKeyDown = 40,
    kHostKeySelect = 41,
    kHostKeyPrint = 42,
    kHostKeyExecute = 43,
    kHostKeyPrintScreen = 44,
    kHostKeyInsert = 45,
    kHostKeyDelete = 46,
    kHostKeyHelp = 47,
    kHostKeyDigit0 = 48,
    kHostKeyLetterA = 65,
    kHostKeyMenu = 93,
    kHostKeyPad0 = 96, // keypad digits 96..105 (NumLock on)
    kHostKeyPadMultiply = 106,
    kHostKeyPadAdd = 107,
    kHostKeyPadSeparator = 108,
    kHostKeyPadSubtract = 109,
    kHostKeyPadDecimal = 110,
    kHostKeyPadDivide = 111,
    kHostKeyF1 = 112, // F1..F24 are 112..135
    kHostKeyF24 = 135,
    kHostKeyNumLock = 144,
    kHostKeyScrollLock = 145,
};

constexpr int kHostKeyHeld = 0x8000; // getKeyState: the key is held

// ---- classes, styles, metrics ---------------------------------------------------------------

// Window styles. A style is framed (caption, sizing frame, system menu, minimise and maximise
// boxes), a clipping child of its parent, or a pop-up (owned, unframed, never managed).
constexpr uint32_t kHostStyleFramed = 0x02CF0000;
constexpr uint32_t kHostStyleChild = 0x42000000;
constexpr uint32_t kHostStylePopup = 0x80000000;
constexpr uint32_t kHostStyleChildBit = 0x40000000;   // the window lives inside its parent
constexpr uint32_t kHostStyleCaptionBit = 0x00C00000; // the host draws frame and caption
// A pop-up that floats above every window and holds the pointer and keyboard while it is shown
// (pull-down menus). Other pop-ups are owned dialogs that the window manager handles.
constexpr uint32_t kHostStyleFloatBit = 0x00000001;

constexpr int kHostNoBackground = -1; // HostClass::background: the window paints everything

struct HostClass {
    const char *name;           // class name, kept by pointer: must outlive the host
    HostWindowProc proc;        // the window procedure of every window of the class
    int64_t background;         // HostColor painted under each paint, or kHostNoBackground
    int icon;                   // program icon resource number, 0 for none
    const uint32_t *iconPixels; // the icon as ARGB (alpha 0 transparent), rows from the top;
    int iconWidth, iconHeight;  // null for none. Kept by pointer: must outlive the host
};

enum HostMetric {
    kHostMetricFrameWidth,   // width of a sizing frame at each side
    kHostMetricFrameHeight,  // height of a sizing frame at top and bottom
    kHostMetricCaptionHeight // height of the caption, above the top frame edge
};

enum HostCap {
    kHostCapDpiX,         // dots per inch
    kHostCapDpiY,         //
    kHostCapBitsPerPixel, // colour depth
    kHostCapPaletteSize,  // entries of the hardware palette, 0 without one
    kHostCapWidth,        // device area in pixels
    kHostCapHeight,       //
    kHostCapScale,        // screen: the integer HiDPI scale s (cells are 8s by 13s pixels)
};

// System colour indices (the toolkit uses 1, 2, 4, 5, 8, 9).
enum HostSysColor {
    kHostColorDesktop = 1,
    kHostColorActiveCaption = 2,
    kHostColorMenu = 4,
    kHostColorWindow = 5,
    kHostColorWindowText = 8,
    kHostColorCaptionText = 9,
};

// Message box flags and answers.
constexpr unsigned kHostBoxOk = 0x0;         // one OK button
constexpr unsigned kHostBoxIconError = 0x10; // the error icon
constexpr unsigned kHostBoxYesNo = 0x4;      // Yes and No buttons
constexpr unsigned kHostBoxIconQuestion = 0x20;
constexpr int kHostAnswerOk = 1;
// A backend that draws only an OK button answers kHostAnswerOk to a Yes/No box as well.
constexpr int kHostAnswerYes = 6;
constexpr int kHostAnswerNo = 7;

// ---- fonts, drawing, images -------------------------------------------------------------------

enum HostFontFamily { kHostFamilyDontCare = 0, kHostFamilyRoman = 1, kHostFamilySwiss = 2 };

struct HostFontRequest {
    int height;       // pixels, 0 for the host's default height
    int weight;       // 400 normal, 700 bold
    int italic;       // non-zero for italic
    int family;       // HostFontFamily
    const char *face; // face name, or null for the family's default face
};

struct HostTextMetrics {
    int height;          // ascent + descent
    int ascent;          //
    int descent;         //
    int externalLeading; // extra space the font asks for between lines
};

// A device-independent bitmap, bottom-up, rows padded to 32 bits.
struct HostBitmap {
    int width, height;       // pixels
    int bitsPerPixel;        // 1, 8, 24 or 32
    const uint8_t *pixels;   // the rows, last image row first
    const uint16_t *indices; // palette images: colour number -> palette index, else null
    const uint8_t *colors;   // direct-colour images with a colour table: B, G, R, 0 each
    int colorCount;          // entries of `indices` or `colors`
};

// ---- printing ---------------------------------------------------------------------------------

enum HostPictureKind {
    kHostPicturePng = 1, // the pixels
    kHostPictureSvg = 2, // vector, the device's pixels scaled to points
};

struct HostPrinterRequest {
    const char *name; // the output's name ("out.ps"): ".pdf" at its end makes a PDF, else
                      // PostScript; messages name it
    int resolutionX;  // dots per inch
    int resolutionY;  //
    int bitsPerPixel; // 1 (black and white) or 24
    int paper;        // 0..3
    int fd;           // the descriptor the document is written to; it stays the caller's
};

// ---- the table --------------------------------------------------------------------------------
// Entries a backend does not provide return failure (1, null, 0 widths); none is ever null.

struct HostOps {
    const char *name; // "x11" or "headless"

    // start and end
    int (*open)(const char *programName); // 0, or 1 when the window system cannot be reached
    void (*close)(void);                  // destroys what is left and disconnects

    // classes and windows
    int (*registerClass)(const HostClass *cls);
    // x, y: in the parent's client area for a child, on the screen otherwise. parent: the
    // parent of a child, the owner of anything else (may be null).
    HostWindow *(*createWindow)(const char *className, const char *title, uint32_t style, int x,
                                int y, int width, int height, HostWindow *parent);
    void (*destroyWindow)(HostWindow *window); // also its children; sends kHostMsgDestroy
    void (*showWindow)(HostWindow *window, int show);
    void (*showOwnedPopups)(HostWindow *owner, int show);
    int (*moveWindow)(HostWindow *window, int x, int y, int width, int height, int repaint);
    // A window of fixed size: the user cannot resize it (its size stays as the program sets
    // it). Top windows only; 0, or 1 for a dead or child window.
    int (*setFixedSize)(HostWindow *window, int fixed);
    int (*getWindowRect)(HostWindow *window, HostRect *screen); // outer rectangle, screen
    int (*getClientRect)(HostWindow *window, HostRect *client); // origin 0, 0
    int (*setWindowText)(HostWindow *window, const char *text);
    int (*getSystemMetric)(int metric);       // HostMetric
    void (*getDesktopRect)(HostRect *screen); //
    int (*getScreenCap)(int cap);             // HostCap of the screen
    long (*defaultProc)(const HostMessage *message);

    // messages and timers
    int (*peekMessage)(HostMessage *message, int remove); // 1 when one is waiting; never blocks
    int (*getMessage)(HostMessage *message);              // blocks until one arrives
    int (*waitMessage)(int timeoutMs); // 1 when a message is waiting, 0 after the timeout
    void (*dispatchMessage)(const HostMessage *message);
    int (*postMessage)(HostWindow *window, int code, int value); // wakes a blocked wait
    void (*postQuit)(int code);
    int (*setTimer)(HostWindow *window, int id, int periodMs); // kHostMsgTimer every period
    int (*killTimer)(HostWindow *window, int id);
    void (*sleep)(int ms); // 0 gives up the rest of the time slice
    int64_t (*now)(void);  // milliseconds of a monotonic clock

    // input
    void (*setFocus)(HostWindow *window); // sends kill-focus and set-focus; null: nobody
    HostWindow *(*getFocus)(void);
    void (*setCapture)(HostWindow *window); // every pointer message goes to the window
    void (*releaseCapture)(void);
    void (*getCursorPos)(int *x, int *y); // screen pixels
    void (*setCursorPos)(int x, int y);
    void (*setModal)(HostWindow *window, int modal); // the window blocks its owner's input
    // kHostKeyHeld while held, as of the message taken last (not as the keyboard is now)
    int (*getKeyState)(int virtualKey);

    // painting (a paint device exists between beginPaint and endPaint; update is client)
    HostDevice *(*beginPaint)(HostWindow *window, HostRect *update);
    void (*endPaint)(HostWindow *window, HostDevice *device);
    int (*getUpdateRect)(HostWindow *window, HostRect *update);       // 1 when there is an area
    void (*validateRect)(HostWindow *window, const HostRect *rect);   // null: all
    void (*invalidateRect)(HostWindow *window, const HostRect *rect); // null: all
    // Moves the pixels of `area` (client) by dx, dy; uncovered pixels are left to the caller.
    int (*scrollWindow)(HostWindow *window, int dx, int dy, const HostRect *area);
    HostDevice *(*getDevice)(HostWindow *window); // a drawing device outside paint
    void (*releaseDevice)(HostWindow *window, HostDevice *device);
    // A device in memory (pixels nobody sees) at a resolution: for measuring text without a
    // window. Null without memory.
    HostDevice *(*createMemoryDevice)(int width, int height, int dpi);
    void (*deleteMemoryDevice)(HostDevice *device);
    HostColor (*sysColor)(int index); // HostSysColor

    // drawing on a device (a device keeps text colour, background colour, current position,
    // font and palette, like the toolkit's GC expects)
    int (*deviceCap)(HostDevice *device, int cap);
    HostColor (*setTextColor)(HostDevice *device, HostColor color); // the previous one
    HostColor (*setBackColor)(HostDevice *device, HostColor color);
    void (*moveTo)(HostDevice *device, int x, int y);
    void (*getCurrentPos)(HostDevice *device, int *x, int *y);
    // A solid line of `width` from the current position up to, not including, (x, y).
    void (*lineTo)(HostDevice *device, int x, int y, int width, HostColor color);
    void (*setPixel)(HostDevice *device, int x, int y, int width, HostColor color);
    // `count` lines in one path, each from (x0, y0) to (x1, y1) of its four numbers and drawn
    // as lineTo draws it: the pixels of a long plot in one go.
    void (*segments)(HostDevice *device, const int *xyxy, int count, int width, HostColor color);
    // An anti-aliased line of `width` pixels through `count` points (x, y pairs, pixels), with
    // round joins and ends, in one stroke.
    void (*smoothPath)(HostDevice *device, const double *xy, int count, double width,
                       HostColor color);
    void (*fillRect)(HostDevice *device, const HostRect *rect, HostColor color);
    // Text in the text colour on the background colour; with updatePos the text starts at the
    // current position, which moves past it.
    void (*textOut)(HostDevice *device, int x, int y, const char *text, int length, int updatePos);
    int (*putBitmap)(HostDevice *device, int x, int y, int width, int height, int sourceX,
                     int sourceY, const HostBitmap *bitmap);

    // fonts
    HostFont *(*createFont)(const HostFontRequest *request, int dpiY);
    void (*deleteFont)(HostFont *font);
    HostFont *(*selectFont)(HostDevice *device, HostFont *font); // the previous one
    int (*getTextMetrics)(HostDevice *device, HostTextMetrics *metrics);
    int (*getCharWidths)(HostDevice *device, int first, int last, int *widths);
    // Whether a face that is shown with another installed family says so, once, on standard
    // error (off until asked for). A face for which nothing at all is installed is always said.
    void (*setFontNotes)(int on);

    // palette (palette-mode screens only)
    HostPalette *(*createPalette)(int entries);
    int (*setPaletteEntry)(HostPalette *palette, int index, int red, int green, int blue);
    int (*selectPalette)(HostDevice *device, HostPalette *palette); // and realise it
    void (*deletePalette)(HostPalette *palette);

    // caret: one for the process, shown in the focus window
    int (*createCaret)(HostWindow *window, int width, int height);
    int (*setCaretPos)(int x, int y);
    int (*showCaret)(HostWindow *window);
    int (*hideCaret)(HostWindow *window);
    int (*destroyCaret)(void);

    // clipboard: plain text
    int (*clipboardPut)(HostWindow *owner, const char *text, size_t length);
    // The text, valid until the next clipboard call, or null when there is none.
    const char *(*clipboardGet)(size_t *length);

    // printing
    HostDevice *(*createPrinter)(const HostPrinterRequest *request);
    void (*deletePrinter)(HostDevice *printer);
    int (*startDoc)(HostDevice *printer, const char *documentName);
    int (*startPage)(HostDevice *printer);
    int (*endPage)(HostDevice *printer);
    int (*endDoc)(HostDevice *printer);  // 0; 1 when the document could not be finished
    const char *(*printerFailure)(void); // why the last printer call failed
    // A picture of width x height pixels drawn at `dpi`, written to `file` when finished: a PNG
    // of the pixels or an SVG at the size in points (kHostPicture...). One at a time; null
    // after a failure (printerFailure says why).
    HostDevice *(*createPicture)(const char *file, int kind, int width, int height, int dpi);
    int (*finishPicture)(HostDevice *picture); // writes the file, deletes the device: 0 or 1

    // boxes for the user: modal, outside the toolkit; the text also goes to standard error
    int (*messageBox)(const char *text, const char *caption, unsigned flags);
    // the bell: input the program refuses is heard
    void (*bell)(void);

    // called when the process must end at once (lost display): removes temporary files
    void (*setExitHook)(void (*hook)(void));
};

extern const HostOps kHeadlessHost;
extern const HostOps kX11Host;

// The backend of that name ("x11" or "headless"); null for any other name and for null. Which
// one a program runs on is its own explicit choice: nothing here looks at the environment, and
// the headless backend is never taken in place of a display that cannot be had.
const HostOps *HostChoose(const char *name);

// Frame and caption geometry shared by the toolkit and the backends: the offset of a window's
// client area inside its outer rectangle.
inline bool HostStyleFramed(uint32_t style) {
    return (style & kHostStyleCaptionBit) == kHostStyleCaptionBit;
}

// ---- text ---------------------------------------------------------------------------------------
// The toolkit's texts are Latin-1; the world around it (the clipboard, the print spooler's names)
// speaks UTF-8. At most `max` Latin-1 bytes of a UTF-8 text: a character Latin-1 cannot hold, or
// a byte that begins no well-formed sequence, becomes one '?' (the thin spaces that group digits
// become the no-break space).
std::string HostLatin1FromUtf8(const std::string &utf8, size_t max);
