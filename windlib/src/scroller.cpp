// Scrollers (controls.h): a trough window beside a text window with a thumb child "<>". The
// trough is the scroller: its extension is the Scroller record, freed however the window
// closes. A press on the trough jumps to the value under the pointer; a press on the thumb's ends
// steps by one, repeating while held (the loop's auto-repeat calls the press again); a press on
// its middle drags it. Every change goes through the scroller's action, which for a text window
// moves the buffer's cursor or the sideways offset. Start reading at NewScroller.
//
// Geometry along the trough: L its length, t the thumb's, span = L - t. A trough that leaves the
// thumb no room (span <= 0) is filled by the thumb and ignores presses, so nothing divides by it.
#include "controls.h"
#include "fonts.h"
#include "gdi.h"
#include "textwind.h"
#include "windmsg.h"

#include "buffer.h"

namespace {

constexpr char kSourceFile[] = "windlib\\src\\scroller";
constexpr int kThickCells = 2;      // a trough is this many cell widths thick
constexpr int kThumbCells = 3;      // a thumb is this many cells long
constexpr int kThumbInset = 3;      // a thumb is thinner than its trough by this
constexpr int kThumbMargin = 2;     // the thumb stays this far from the trough's ends
constexpr int kHorizontalMax = 256; // the sideways range, in widths of 'm', at least
constexpr int kInitialMax = 100;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

bool IsVertical(const Scroller *s) {
    return (s->placement & (kScrollerRight | kScrollerLeft)) != 0;
}

// The placement bits reduced to one: left over right, above over below; 0 for none.
int NormalPlacement(int placement) {
    if (placement & kScrollerLeft)
        return kScrollerLeft;
    if (placement & kScrollerRight)
        return kScrollerRight;
    if (placement & kScrollerAbove)
        return kScrollerAbove;
    if (placement & kScrollerBelow)
        return kScrollerBelow;
    return 0;
}

int Along(int position, const Scroller *s) {
    return IsVertical(s) ? PositionY(position) : PositionX(position);
}

int Width(const Window *w) { return w->right - w->left + 1; }
int Height(const Window *w) { return w->bottom - w->top + 1; }

// The trough's length and the thumb's length along it.
struct Track {
    int length, thumb;
    int Span() const { return length - thumb; }
};

Track TrackOf(const Window *trough, const Scroller *s) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    bool vertical = IsVertical(s);
    int length = vertical ? Height(trough) : Width(trough);
    int thumb = CellsToPixels(kThumbCells, vertical ? d->cellHeight : d->cellWidth);
    length = length > 1 ? length : 1;
    thumb = Clamp(thumb, 1, length);
    return {length, thumb};
}

// The trough's rectangle beside the target, in the pixels of the target's parent.
void TroughRect(int placement, const Window *target, int *left, int *top, int *right, int *bottom) {
    int thick = CellsToPixels(kThickCells, GetToolkitDefaults()->cellWidth);
    thick = thick > 1 ? thick : 1;
    *left = target->left;
    *top = target->top;
    *right = target->right;
    *bottom = target->bottom;
    switch (placement) {
    case kScrollerRight:
        *left = target->right + 1;
        *right = *left + thick - 1;
        break;
    case kScrollerLeft:
        *right = target->left - 1;
        *left = *right - thick + 1;
        break;
    case kScrollerBelow:
        *top = target->bottom + 1;
        *bottom = *top + thick - 1;
        break;
    default: // above
        *bottom = target->top - 1;
        *top = *bottom - thick + 1;
        break;
    }
}

// Moves the window only when it is not there yet: every move repaints it and its parent.
void MoveIfNeeded(int x, int y, int width, int height, Window *w) {
    if (w->left != x || w->top != y || Width(w) != width || Height(w) != height)
        MoveWindowTo(x, y, width, height, 1, w);
}

void PlaceThumb(Window *trough, Scroller *s) {
    Window *thumb = s->thumb;
    if (!WindowIsLive(thumb))
        return;
    Track k = TrackOf(trough, s);
    int along = 0, length = k.length;
    if (k.Span() > 0) {
        along = ScrollerThumbOffset(s->minimum, s->maximum, s->value, k.length, k.thumb);
        length = k.thumb;
    }
    int thick = (IsVertical(s) ? Width(trough) : Height(trough)) - kThumbInset;
    thick = thick > 1 ? thick : 1;
    if (IsVertical(s))
        MoveIfNeeded(1, along, thick, length, thumb);
    else
        MoveIfNeeded(along, 1, length, thick, thumb);
}

// The window's target, or null when it is gone.
Window *LiveTarget(const Scroller *s) { return WindowRefGet({s->target, s->targetGeneration}); }

// The record and the live target of a scroller, or null after the assertion report.
Scroller *CheckedScroller(Window *w, Window **target, int line) {
    Scroller *s = ScrollerOf(w);
    *target = s ? LiveTarget(s) : nullptr;
    if (!*target) {
        AssertReport(kSourceFile, line);
        return nullptr;
    }
    return s;
}

// The target's text record, or null after the assertion report.
TextDesc *CheckedText(Window *target, int line) {
    TextDesc *d = TextDescOf(target);
    if (!d || !d->buffer || d->buffer->magic != kBufferMagic) {
        AssertReport(kSourceFile, line);
        return nullptr;
    }
    return d;
}

int WidthOfM(const Window *target) {
    int m = CharWidth('m', target->font >= 0 ? target->font : 0, nullptr);
    return m > 0 ? m : 1;
}

// Lines with text: a final empty node is where appended text goes, not a line to scroll to.
int TextLineCount(const Buffer *b) {
    int n = b->lineCount;
    if (n > 1 && b->lastLine && (b->lastLine->lengthFlags & kNodeLengthMask) == 0)
        n--;
    return n > 1 ? n : 1;
}

void DamageAll(Window *w) {
    w->damageLeft = w->damageTop = 0;
    w->damageRight = Width(w) - 1;
    w->damageBottom = Height(w) - 1;
}

int DefaultAction(int value, int mode, Window *w) {
    Scroller *s = ScrollerOf(w);
    if (!s) {
        AssertReport(kSourceFile, __LINE__);
        return 0;
    }
    s->value = Clamp(mode == kScrollerAbsolute ? value : s->value + value, s->minimum, s->maximum);
    PlaceThumb(w, s);
    if (Window *target = LiveTarget(s))
        PostEvent(kEventRedraw, 0, target);
    return 0;
}

int TextAction(int value, int mode, Window *w) {
    Window *target;
    Scroller *s = CheckedScroller(w, &target, __LINE__);
    TextDesc *d = s ? CheckedText(target, __LINE__) : nullptr;
    if (!d)
        return 0;
    Buffer *b = d->buffer;
    int v = Clamp(mode == kScrollerAbsolute ? value : s->value + value, s->minimum, s->maximum);
    if (IsVertical(s)) {
        if (v == s->value && b->currentLine == v)
            return 0;
        // A step of one line leaves the view to the paint, which scrolls by a line when the
        // cursor leaves it by one; anything else recentres.
        bool oneLine = mode == kScrollerRelative && (value == 1 || value == -1);
        BufferGoto(v, 1, b);
        s->value = b->currentLine >= 1 ? b->currentLine : v;
        if (!oneLine) {
            d->topLine = -1;
            DamageAll(target);
        }
    } else {
        if (v == s->value)
            return 0;
        s->value = v;
        d->leftOffset = WidthOfM(target) * (v - 1);
        d->scrollLock = kScrollLockValue;
        DamageAll(target);
    }
    WindowRef ref = WindowRefOf(target);
    PlaceThumb(w, s);
    RepaintWindow(target);
    if (WindowRefLive(ref))
        d->scrollLock = 0;
    return 0;
}

// Calls the scroller's action. False when the scroller closed meanwhile.
bool Act(int value, int mode, Window *trough, Scroller *s) {
    WindowRef ref = WindowRefOf(trough);
    s->action(value, mode, trough);
    return WindowRefLive(ref);
}

// The value a thumb centred at `along` (pixels along the trough) shows.
int ValueAt(int along, Window *trough, const Scroller *s) {
    Track k = TrackOf(trough, s);
    return ScrollerJumpValue(along, s->minimum, s->maximum, k.length, k.thumb);
}

// Gives the action the value under `along` when it differs.
bool JumpTo(int along, Window *trough, Scroller *s) {
    int v = ValueAt(along, trough, s);
    return v == s->value || Act(v, kScrollerAbsolute, trough, s);
}

// ---- the trough ---------------------------------------------------------------------------------

// Fills the window with its background and gives it a sunken or raised edge.
int PaintBox(Window *w, bool sunken) {
    GC *gc = GetWindowGC(w);
    if (!gc)
        return 0;
    SetUnits(kUnitsPixels, gc);
    SetForeground(w->background, gc);
    FillBox(0, 0, Width(w) - 1, Height(w) - 1, gc);
    DrawBevelBox(0, 0, Width(w) - 1, Height(w) - 1, sunken ? kBevelWell : kBevelRaised, gc);
    ReleaseGC(gc);
    return 0;
}

int TroughPaint(Window *w) { return PaintBox(w, true); }

int TroughPress(int position, Window *w) {
    Scroller *s = ScrollerOf(w);
    if (!s || TrackOf(w, s).Span() <= 0)
        return 0;
    if (!s->repeating) { // a fresh press, not the auto-repeat: the pointer may move on
        s->repeating = 1;
        StartAutoRepeat(w);
    }
    JumpTo(Along(position, s), w, s);
    return 0;
}

int TroughRelease(int, Window *w) {
    if (Scroller *s = ScrollerOf(w))
        s->repeating = 0;
    return 0;
}

// Beside the target again, wherever it went.
int TroughLayout(Window *w) {
    Scroller *s = ScrollerOf(w);
    Window *target = s ? LiveTarget(s) : nullptr;
    if (!target)
        return 0;
    int left, top, right, bottom;
    TroughRect(s->placement, target, &left, &top, &right, &bottom);
    WindowRef ref = WindowRefOf(w);
    MoveIfNeeded(left, top, right - left + 1, bottom - top + 1, w);
    if (WindowRefLive(ref))
        PlaceThumb(w, s);
    return 0;
}

int ReleaseScroller(Window *w) {
    if (Scroller *s = (Scroller *)w->extension) {
        s->magic = 0;
        WindowRelease(s);
    }
    w->extension = nullptr;
    return 0;
}

// ---- the thumb ----------------------------------------------------------------------------------

int ThumbPaint(Window *w) { return PaintBox(w, w->state != 0); }

int ThumbOffset(const Window *thumb, const Scroller *s) {
    return IsVertical(s) ? thumb->top : thumb->left;
}

// Before the centre band a press steps back, after it forward; inside it starts a drag.
int ThumbPress(int position, Window *w) {
    Window *trough = w->parent;
    Scroller *s = ScrollerOf(trough);
    if (!s)
        return 0;
    Track k = TrackOf(trough, s);
    if (k.Span() <= 0)
        return 0;
    int a = Along(position, s), centre = k.thumb / 2, band = k.thumb / 8;
    int step = a < centre - band ? -1 : a > centre + band ? 1 : 0;
    if (s->repeating) { // the auto-repeat of a step: it never turns into a drag
        if (step)
            Act(step, kScrollerRelative, trough, s);
        return 0;
    }
    if (step == 0) {
        s->dragging = 1;
        s->pressOffset = a;
        w->state = 1;
        PostEvent(kEventRedraw, 0, w);
        return 0;
    }
    s->repeating = 1;
    StartAutoRepeat(w);
    Act(step, kScrollerRelative, trough, s);
    return 0;
}

// Where the thumb's centre would be with the pointer held where the thumb was grabbed.
int DraggedCentre(int position, Window *thumb, const Scroller *s, Track k) {
    return ThumbOffset(thumb, s) + Along(position, s) - s->pressOffset + k.thumb / 2;
}

int ThumbDrag(int position, Window *w) {
    Window *trough = w->parent;
    Scroller *s = ScrollerOf(trough);
    if (!s || !s->dragging)
        return 0;
    JumpTo(DraggedCentre(position, w, s, TrackOf(trough, s)), trough, s);
    return 0;
}

int ThumbRelease(int, Window *w) {
    Window *trough = w->parent;
    Scroller *s = ScrollerOf(trough);
    if (!s)
        return 0;
    s->repeating = 0;
    if (!s->dragging)
        return 0;
    s->dragging = 0;
    w->state = 0;
    WindowRef ref = WindowRefOf(w);
    // The thumb snaps to the value its centre shows now.
    int v = ValueAt(ThumbOffset(w, s) + TrackOf(trough, s).thumb / 2, trough, s);
    if (Act(v, kScrollerAbsolute, trough, s) && WindowRefLive(ref))
        PostEvent(kEventRedraw, 0, w);
    return 0;
}

} // namespace

// ---- the interface ------------------------------------------------------------------------------

int ScrollerThumbOffset(int minimum, int maximum, int value, int length, int thumb) {
    int span = length - thumb;
    if (span <= 0)
        return 0;
    int64_t offset = kThumbMargin;
    if (maximum > minimum)
        offset = (int64_t)(value - (int64_t)minimum) * span / ((int64_t)maximum - minimum);
    int lo = kThumbMargin, hi = span - kThumbMargin;
    if (hi < lo)
        return span / 2;
    return (int)(offset < lo ? lo : offset > hi ? hi : offset);
}

int ScrollerJumpValue(int position, int minimum, int maximum, int length, int thumb) {
    int span = length - thumb;
    if (span <= 0 || maximum <= minimum)
        return minimum;
    int half = thumb / 2;
    int64_t p = Clamp(position, half, length - half) - half;
    int64_t v = minimum + p * ((int64_t)maximum - minimum + 1) / span;
    return (int)(v < minimum ? minimum : v > maximum ? maximum : v);
}

Scroller *ScrollerOf(Window *w) {
    if (!WindowIsLive(w) || WindowKind(w) != kWindowKindScroller || !w->extension)
        return nullptr;
    Scroller *s = (Scroller *)w->extension;
    return s->magic == kScrollerMagic ? s : nullptr;
}

Window *NewScroller(int placement, ScrollerAction action, Window *target) {
    if (!WindowIsLive(target) || !target->parent) {
        AssertReport(kSourceFile, __LINE__);
        return nullptr;
    }
    placement = NormalPlacement(placement);
    if (!placement) {
        ReportError("New Scroller:", "bad placement");
        return nullptr;
    }
    Scroller *s = (Scroller *)WindowAllocate(sizeof(Scroller));
    if (!s) {
        ReportMemoryError("New Scroller");
        return nullptr;
    }
    *s = Scroller{};
    s->magic = kScrollerMagic;
    s->target = target;
    s->targetGeneration = target->generation;
    s->placement = placement;
    s->minimum = 1;
    s->maximum = kInitialMax;
    s->value = 1;
    s->action = action ? action : DefaultAction;

    const ToolkitDefaults *d = GetToolkitDefaults();
    int left, top, right, bottom;
    TroughRect(placement, target, &left, &top, &right, &bottom);
    Window *w = OpenWindowPixels(left, top, right, bottom, d->dialogForeground, d->dialogBackground,
                                 "scroller", kWindowKindScroller, target->parent);
    if (!w) {
        WindowRelease(s);
        ReportMemoryError("New Scroller");
        return nullptr;
    }
    w->extension = s;
    w->releaseExtension = ReleaseScroller;
    w->onPaint = TroughPaint;
    w->onLeftDown = TroughPress;
    w->onLeftUp = TroughRelease;
    w->onLayout = TroughLayout;

    // Its extension stays empty: the record is the trough's.
    Window *thumb = OpenWindowPixels(0, 0, 0, 0, d->dialogForeground, d->dialogBackground, "<>",
                                     kWindowKindScroller, w);
    if (!thumb) {
        CloseWindow(w);
        ReportMemoryError("New Scroller");
        return nullptr;
    }
    thumb->onPaint = ThumbPaint;
    thumb->onLeftDown = ThumbPress;
    thumb->onDrag = ThumbDrag;
    thumb->onLeftUp = ThumbRelease;
    s->thumb = thumb;
    SetTextScrollerUpdate(UpdateScrollers);
    PlaceThumb(w, s);
    ShowWindowTree(w);
    return w;
}

void UpdateScroller(Window *w) {
    Window *target;
    Scroller *s = CheckedScroller(w, &target, __LINE__);
    TextDesc *d = s ? CheckedText(target, __LINE__) : nullptr;
    if (!d)
        return;
    s->minimum = 1;
    if (IsVertical(s)) {
        s->maximum = TextLineCount(d->buffer);
        s->value = Clamp(d->buffer->currentLine, s->minimum, s->maximum);
    } else {
        s->value = (d->leftOffset > 0 ? d->leftOffset : 0) / WidthOfM(target) + 1;
        s->maximum = s->value > kHorizontalMax ? s->value : kHorizontalMax;
    }
    if (s->action == DefaultAction)
        s->action = TextAction;
    PlaceThumb(w, s);
}

void UpdateScrollers(Window *textWindow) {
    if (!WindowIsLive(textWindow) || !textWindow->parent)
        return;
    Window *top = textWindow;
    while (top->parent)
        top = top->parent;
    for (Window *w = top; w; w = w->chain) {
        Scroller *s = w->parent == textWindow->parent ? ScrollerOf(w) : nullptr;
        if (s && LiveTarget(s) == textWindow)
            UpdateScroller(w);
    }
}

int SetScrollerFunction(ScrollerAction action, Window *w) {
    Scroller *s = ScrollerOf(w);
    if (!s)
        return 1;
    s->action = action ? action : DefaultAction;
    return 0;
}

Window *ScrollerTarget(Window *w) {
    Window *target;
    CheckedScroller(w, &target, __LINE__);
    return target;
}
