// Undo and redo of the calculator's keys. Before a key the whole state is copied; when the key
// has changed anything, the copy becomes an undo step (else it is dropped, so a refused key is
// never a step). Undo puts a step back whole and keeps the state it replaced for redo. The
// registers are too many to copy before every key: calcStore hands over the one it is about to
// change, and a step carries only the registers its key touched.
//
// Start reading at calcUndoBegin, then calcUndo.
#include "calc.h"

#include "display.h"
#include "number.h"

#include <cstring>
#include <deque>
#include <new>
#include <vector>

namespace {

struct UndoRegister {
    int index;
    Number *value; // the register's value then; null: it was empty
};

// The calculator between two keys.
struct UndoState {
    int digits, exponentDigits, format, displayFormat, radix, fixedPlaces;
    int carry, overflow, parenDepth, state;
    Number *operands;            // copies, X first, linked by next
    std::vector<int> operations; // the operation stack's codes, top first
    std::vector<UndoRegister> registers;
    DisplaySnapshot display;
    long bytes; // counted against kUndoBytes
};

} // namespace

struct CalcUndo {
    std::deque<UndoState *> undo, redo; // oldest first
    UndoState *pending = nullptr;       // the state before the key (or program run) in progress
    int depth = 0;                      // entry points in progress
    long bytes = 0;                     // held by undo and redo
};

namespace {

Number *copyNumber(const Number *n) {
    Number *copy = n ? numCreate(n->length, n->radix, n->format) : nullptr;
    if (copy)
        numCopy(n, copy); // the same length: no rounding, cannot fail
    return copy;
}

long numberBytes(const Number *n) { return n ? static_cast<long>(sizeof(Number)) + n->length : 0; }

bool sameNumber(const Number *a, const Number *b) {
    if (!a || !b)
        return a == b;
    return a->length == b->length && a->exponent == b->exponent && a->negative == b->negative &&
           a->radix == b->radix && a->format == b->format &&
           memcmp(a->digits, b->digits, static_cast<size_t>(a->length)) == 0;
}

void freeState(UndoState *s) {
    if (!s)
        return;
    numFreeChain(s->operands);
    for (UndoRegister &r : s->registers)
        numFree(r.value);
    delete s;
}

Number *registerValue(int index, const Calculator *calc) {
    return index >= 0 && index < calc->registerCount ? calc->registers[index] : nullptr;
}

// A copy of the calculator's state, with the registers that `touched` names (may be null); null
// when memory runs out.
UndoState *saveState(const UndoState *touched, const Calculator *calc) {
    UndoState *s = new (std::nothrow) UndoState{};
    if (!s)
        return nullptr;
    s->digits = calc->digits;
    s->exponentDigits = calc->exponentDigits;
    s->format = calc->format;
    s->displayFormat = calc->displayFormat;
    s->radix = calc->radix;
    s->fixedPlaces = calc->fixedPlaces;
    s->carry = calc->carry;
    s->overflow = calc->overflow;
    s->parenDepth = calc->parenDepth;
    s->state = calc->state;
    s->bytes = sizeof(UndoState);
    Number **tail = &s->operands;
    for (const Number *n = calc->operands; n; n = n->next) {
        Number *copy = copyNumber(n);
        if (!copy) {
            freeState(s);
            return nullptr;
        }
        *tail = copy;
        tail = &copy->next;
        s->bytes += numberBytes(copy);
    }
    for (const OpEntry *e = calc->operations; e; e = e->next)
        s->operations.push_back(e->code);
    if (touched) {
        for (const UndoRegister &r : touched->registers) {
            const Number *value = registerValue(r.index, calc);
            Number *copy = copyNumber(value);
            if (value && !copy) {
                freeState(s);
                return nullptr;
            }
            s->registers.push_back({r.index, copy});
            s->bytes += static_cast<long>(sizeof(UndoRegister)) + numberBytes(copy);
        }
    }
    displaySave(&s->display);
    s->bytes += static_cast<long>(s->operations.size() * sizeof(int) + s->display.mantissa.size() +
                                  s->display.exponent.size() + s->display.shown.size());
    return s;
}

bool sameState(const UndoState *s, const Calculator *calc) {
    if (s->digits != calc->digits || s->exponentDigits != calc->exponentDigits ||
        s->format != calc->format || s->displayFormat != calc->displayFormat ||
        s->radix != calc->radix || s->fixedPlaces != calc->fixedPlaces || s->carry != calc->carry ||
        s->overflow != calc->overflow || s->parenDepth != calc->parenDepth ||
        s->state != calc->state)
        return false;
    const Number *a = s->operands, *b = calc->operands;
    for (; a && b; a = a->next, b = b->next)
        if (!sameNumber(a, b))
            return false;
    if (a || b)
        return false;
    size_t i = 0;
    for (const OpEntry *e = calc->operations; e; e = e->next, i++)
        if (i >= s->operations.size() || s->operations[i] != e->code)
            return false;
    if (i != s->operations.size())
        return false;
    for (const UndoRegister &r : s->registers)
        if (!sameNumber(r.value, registerValue(r.index, calc)))
            return false;
    return displaySame(&s->display);
}

// Moves the saved state into the calculator; the state is left empty.
void putBack(UndoState *s, Calculator *calc) {
    calcEmptyStacks(calc);
    calc->operands = s->operands;
    s->operands = nullptr;
    for (size_t i = s->operations.size(); i-- > 0;) {
        OpEntry *e = static_cast<OpEntry *>(numAllocate(sizeof(OpEntry)));
        if (!e)
            break; // memory ran out: the lower entries stay, the step is not half a crash
        e->code = s->operations[i];
        e->next = calc->operations;
        calc->operations = e;
    }
    for (UndoRegister &r : s->registers) {
        if (r.index < 0 || r.index >= calc->registerCount)
            continue;
        numFree(calc->registers[r.index]);
        calc->registers[r.index] = r.value;
        r.value = nullptr;
    }
    calc->format = s->format;
    calc->radix = s->radix;
    calc->parenDepth = s->parenDepth;
    calc->state = s->state;
    calc->carry = s->carry;
    calc->overflow = s->overflow;
    displayRestore(&s->display, calc);
    if (calc->hooks.indicatorsChanged)
        calc->hooks.indicatorsChanged(calc);
    if (calc->hooks.restored)
        calc->hooks.restored(calc);
}

void dropOldest(CalcUndo *u) {
    while (!u->undo.empty() &&
           (static_cast<int>(u->undo.size()) > kUndoSteps || u->bytes > kUndoBytes)) {
        u->bytes -= u->undo.front()->bytes;
        freeState(u->undo.front());
        u->undo.pop_front();
    }
}

void clearRedo(CalcUndo *u) {
    for (UndoState *s : u->redo) {
        u->bytes -= s->bytes;
        freeState(s);
    }
    u->redo.clear();
}

// The key in progress is over: the state before it becomes a step when the key changed
// anything.
void settle(Calculator *calc) {
    CalcUndo *u = calc->undo;
    UndoState *before = u ? u->pending : nullptr;
    if (!before)
        return;
    u->pending = nullptr;
    if (sameState(before, calc)) {
        freeState(before);
        return;
    }
    clearRedo(u);
    u->undo.push_back(before);
    u->bytes += before->bytes;
    dropOldest(u);
}

} // namespace

void calcUndoBegin(Calculator *calc) {
    if (!calc->undo)
        calc->undo = new (std::nothrow) CalcUndo;
    CalcUndo *u = calc->undo;
    if (!u || u->depth++ > 0)
        return;
    // A program run is one step: the state before its first key stays pending to its end.
    if (u->pending && calc->recorderMode < 0)
        return;
    settle(calc);
    u->pending = saveState(nullptr, calc);
}

void calcUndoEnd(Calculator *calc) {
    CalcUndo *u = calc->undo;
    if (!u || u->depth == 0 || --u->depth > 0)
        return;
    if (calc->recorderMode >= 0)
        settle(calc);
}

void calcUndoNoteRegister(int index, Calculator *calc) {
    UndoState *s = calc->undo ? calc->undo->pending : nullptr;
    if (!s)
        return;
    for (const UndoRegister &r : s->registers)
        if (r.index == index)
            return;
    const Number *value = registerValue(index, calc);
    Number *copy = copyNumber(value);
    if (value && !copy)
        return; // no memory: the step will not carry this register back
    s->registers.push_back({index, copy});
    s->bytes += static_cast<long>(sizeof(UndoRegister)) + numberBytes(copy);
}

const char *calcUndo(int redo, Calculator *calc) {
    if (calc->recorderMode < 0)
        return "no undo while a program runs";
    if (calc->recorderMode > 0)
        return "no undo while a program is recorded";
    CalcUndo *u = calc->undo;
    if (u && u->depth > 0)
        return "no undo inside a key";
    settle(calc);
    std::deque<UndoState *> *from = u ? (redo ? &u->redo : &u->undo) : nullptr;
    if (!from || from->empty())
        return redo ? "nothing to redo" : "nothing to undo";
    UndoState *s = from->back();
    // The precision dialog's choices are settings, not keys: a step from before them would
    // show its numbers in a shape the panel no longer has.
    if (s->digits != calc->digits || s->exponentDigits != calc->exponentDigits ||
        s->displayFormat != calc->displayFormat || s->fixedPlaces != calc->fixedPlaces)
        return "the display precision has changed since";
    UndoState *now = saveState(s, calc);
    if (!now)
        return "no memory to keep the present state";
    from->pop_back();
    u->bytes -= s->bytes;
    putBack(s, calc);
    freeState(s);
    (redo ? u->undo : u->redo).push_back(now);
    u->bytes += now->bytes;
    dropOldest(u);
    // The paper cannot be erased: the step taken back is a line of its own, with the number the
    // display shows again.
    if (calc->hooks.tapeWrite) {
        if (calc->tapeOpen)
            calcTapeWrite("\n", calc);
        calcTapeField(redo ? "redo      " : "undo      ", calc);
        calcTapeNumberLine(calc);
    }
    return nullptr;
}

int calcUndoCount(int redo, Calculator *calc) {
    if (calc->undo && calc->undo->depth == 0)
        settle(calc);
    if (!calc->undo)
        return 0;
    return static_cast<int>(redo ? calc->undo->redo.size() : calc->undo->undo.size());
}

long calcUndoBytes(const Calculator *calc) { return calc->undo ? calc->undo->bytes : 0; }

void calcUndoForget(Calculator *calc) {
    CalcUndo *u = calc->undo;
    if (!u)
        return;
    clearRedo(u);
    for (UndoState *s : u->undo)
        freeState(s);
    freeState(u->pending);
    delete u;
    calc->undo = nullptr;
}
