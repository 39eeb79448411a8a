// The number engine: numbers held as strings of digits in radix 2, 8, 10 or 16, one digit value
// per byte, in a floating format (normalised fraction times a power of the radix) or a
// fixed-width integer format (negative values in radix complement). Start reading at `Number`.
//
// Result codes: 0 is success throughout; each operation lists its failure codes. Scratch
// numbers made inside an operation go on the calculator's temporaries chain and are released by
// the calculator after the operation, never by the operation itself.
#pragma once

#include <cstddef>
#include <cstdint>

struct NumContext;

// One value. Every operand of one operation has the same length, radix and format.
struct Number {
    unsigned char *digits; // `length` digit values (0..radix-1, not characters), most significant
                           // first
    int32_t length;        // number of digits, fixed at creation: the precision
    int32_t exponent;      // floating: value is 0.d1 d2 ... dL * radix^exponent; integer: always 0
    int32_t negative;      // 1 when negative (floating); 0 in every stored integer value
    int32_t radix;         // 2, 8, 10 or 16 (a value <= 0 only before AtoNumber picks one)
    int32_t format;        // 0 floating, 1 integer
    Number *next;          // link of the temporaries chain and the calculator's operand stack
};

// Floating values are normalised: the first digit is non-zero, or every digit is 0 with
// exponent 0 (and negative 0 after any arithmetic). Integer values read the digits as one
// unsigned integer; a first digit at or above the half threshold means negative, magnitude in
// the radix complement.

constexpr int kNumFloating = 0;
constexpr int kNumInteger = 1;

// The digit spelling used wherever a Number becomes text.
extern const char kDigitTable[17]; // "0123456789ABCDEF"

// (radix + 1) / 2: the round-half-up threshold of a dropped digit and the integer sign test.
inline int numHalf(int radix) { return (radix + 1) / 2; }

// ---- allocation -------------------------------------------------------------------------

typedef void *(*NumAllocFn)(size_t size);
typedef void (*NumReleaseFn)(void *memory);

// Installs the allocator pair every record and digit buffer comes from; the text buffers kept
// between calls are released to the old pair first. 1 (nothing changed) when either callback is
// missing. Until it is called, malloc and free serve.
int numSetAllocator(NumAllocFn allocate, NumReleaseFn release);

// Memory from the installed pair, for the engine's own buffers (texts shared between calls).
void *numAllocate(size_t size);
void numRelease(void *memory); // null is ignored

// A zeroed Number, or null when length <= 0 or memory runs out.
Number *numCreate(int length, int radix, int format);
void numFree(Number *n); // null is ignored
// As numCreate, and links the new Number at the head of *chain.
Number *numCreateTemp(int length, int radix, int format, Number **chain);
void numFreeChain(Number *first);  // releases every Number along `next`
void numFreeTemps(Number **chain); // frees the chain and empties the head

// ---- primitives -------------------------------------------------------------------------

// Copies sign, exponent, radix, format and digits; a longer source rounds half up into the
// destination. 1 when that rounding fails (carry out of an integer, exponent overflow).
int numCopy(const Number *source, Number *destination);
// Magnitude comparison: exponents first, then digits as unsigned values. -1, 0 or 1.
int numCompare(const Number *a, const Number *b);
// 1 when length <= 0 or every digit is 0.
int numIsZero(const Number *n);
// Makes n zero: every digit 0, exponent 0, negative 0.
void numSetZero(Number *n);
// Exponent + 1 and the digits one place toward the end (last digit dropped); no rounding.
// 1 on exponent overflow (the exponent is wrapped and the digits are left alone).
int digitShiftRight(Number *n);
// Exponent - 1 and the digits one place toward the front (first digit dropped). 1 on overflow.
int digitShiftLeft(Number *n);
// digitShiftRight, then numIncrement when the dropped digit was at or above the half
// threshold. 0; 1 the shift failed; 2 the increment failed.
int numRoundShiftRight(Number *n);
// One unit in the last place. A carry out of a floating Number renormalises to
// 0.1 * radix^(exponent + 1); out of an integer it is an overflow (1, digits wrapped to zero).
int numIncrement(Number *n);
// *result = a + b (wrapped); 1 when the exact sum leaves the signed 32-bit range.
int expAdd(int32_t *result, int32_t a, int32_t b);
int expIncrement(int32_t *e); // ++*e; 1 from 2147483647
int expDecrement(int32_t *e); // --*e; 1 from -2147483648
// Radix complement (negation) of an integer-format value into destination, or in place when
// destination is null. -1 (nothing changed) when the source is not an integer with exponent 0
// or the destination's length differs; 1 when the final increment overflows. The complement
// of zero is zero.
int numComplement(const Number *source, Number *destination);
// Converts source into the destination's format (the destination's `format` names the
// target). 0; 1 copy or complement failed; 2 digit shift failed; 3 exponent overflow or rounding
// failed; 4 complement failed; -2 the value is too large for the integer format. Only the
// magnitude is checked: a magnitude reaching the half threshold in its first digit comes out
// with the opposite sign.
int numConvertFormat(const Number *source, Number *destination);
// Reads a value as a signed 32-bit integer into *result (result may be null). Integer-format
// values are read as their unsigned digit pattern; a floating one is rounded to an integer
// digit pattern in place and must be treated as consumed. 0; 1 when the value is outside the
// signed 32-bit range; 2, 3 or -2 as for numConvertFormat.
int numToInt(Number *n, int32_t *result);
// The raw text the register list shows ("+0.31415 X 10 ** 1", "00FF HEX") in a buffer shared
// by all calls (valid until the next one); "mem error" when the buffer cannot be grown.
const char *numRawText(const Number *n);
// Writes "Error: <message>" to standard error and to the calculator's tape. Returns 1.
int numError(const char *message, NumContext *ctx);

// ---- text forms -------------------------------------------------------------------------

// Where the text forms' diagnostics go ("AtoNumber: ...", "radix 16 chars not allowed"). The
// default writes each text to standard error as it stands, without a line end; a program that
// shows them elsewhere, or wants one message per line (torva-cli), installs its own.
typedef void (*NumDiagnosticFn)(const char *text);
void numSetDiagnostic(NumDiagnosticFn write); // null restores the default

// Parses text into n, whose length and format the caller chose; a radix <= 0 lets the text
// decide (default 10, letters or an 'x' prefix make it 16). Returns n, or null after writing a
// diagnostic to standard error (n is then partly filled; the caller releases it). A negative
// integer-format value comes back as its magnitude with negative = 1.
Number *AtoNumber(Number *n, const char *text);

// Lays n out for the display. The mantissa text holds one character per cell with the radix
// point riding on a character as its high bit (0x80), or as 0xB0 ('0' with the point) when it
// stands before every written digit; leading zeros are never written. The exponent text is the
// shown exponent's magnitude in n's radix (empty for 0); the signs come back separately.
//   mantissa   output, at least width + 1 bytes
//   exponent   output, at least exponentWidth + 1 bytes
//   fixedPlaces  digits after a fixed radix point, or -1
//   notation   1 decimal, 2 scientific, 3 engineering
//   zeroLimit  most zeros between the point and the first significant digit in decimal notation
// n is not changed. 0; 1 no memory; 2 copy failed; 3 exponent wider than exponentWidth;
// 4 unknown notation; 5 exponent overflow; 6 digit shift failed; 7 or 9 an exponent
// adjustment overflowed; 8 rounding failed.
int numToText(char *mantissa, char *exponent, int width, int exponentWidth, char *sign,
              char *exponentSign, int fixedPlaces, int notation, int zeroLimit, const Number *n);

constexpr unsigned char kPointBit = 0x80;   // a radix point follows this cell's character
constexpr unsigned char kPointFirst = 0xB0; // '0' carrying the point: "0."

// ---- the four operations ----------------------------------------------------------------
//
// Operands share one length, radix and format (an internal fault otherwise, see the assertion
// report below). Operations take their operands, a result created by the caller (distinct
// from the operands) and the calculator, whose temporaries chain receives their scratch
// Numbers. They may change their operands' signs, exponents and (integer format) digits: the
// calculator passes operands it releases afterwards. 0 is success; any other result follows
// a message through numError or an assertion report.

// Floating only: shifts out leading zero digits; an all-zero value becomes zero with exponent
// 0 and negative 0. 0, or 1 on exponent overflow.
int justify(Number *n);
// Aligns two floating operands in place: the one with the smaller exponent is shifted right
// with rounding, one place at a time, up to the other's exponent (a zero operand just takes
// the other's exponent). 0 or 1 after reporting.
int normalize(Number *a, Number *b, NumContext *ctx);
// result = a + b. Integer format: radix complement sum wrapped at the length; a carry out of
// the first digit sets the carry indicator, a signed overflow sets the overflow indicator.
// Neither indicator is ever cleared here.
int numAdd(Number *a, Number *b, Number *result, NumContext *ctx);
// result = |a| - |b| with its sign; both operands must be non-negative. A difference that
// cannot be re-normalised (exponent underflow) fails with 1 and no message of its own.
int magnitudeSub(Number *a, Number *b, Number *result, NumContext *ctx);
// result = a - b. Integer format: carry set when no borrow occurs (a >= b as unsigned
// patterns), overflow set when the signed difference leaves the range.
int numSub(Number *a, Number *b, Number *result, NumContext *ctx);
// result = -x (the radix complement in the integer format).
int numNegate(Number *x, Number *result, NumContext *ctx);
// result = a * b, the double-length product rounded once half up. Integer format: signed; the
// carry indicator is cleared, a product outside the range keeps its last `length` digits and
// sets the overflow indicator.
int numMul(Number *a, Number *b, Number *result, NumContext *ctx);
// result = x * x.
int numSquare(Number *x, Number *result, NumContext *ctx);
// result = a / b, `length` quotient digits rounded half up on the next one. Integer format:
// the digit patterns divided as unsigned numbers, the quotient truncated.
int numDiv(Number *a, Number *b, Number *result, NumContext *ctx);
// result = 1 / x.
int reciproc(Number *x, Number *result, NumContext *ctx);

// ---- digit work on machine words ------------------------------------------------------------
//
// The four operations do their digit work on machine words where the radix allows (products
// and quotients on words of radix^k, digit sums and differences eight digits per word), or one
// digit at a time, the reference the tests hold the words to. Both give the same exact sums,
// products and truncated quotients, so every result, indicator and message is the same. The
// word routines belong to domath; they are declared here only so that it can call them.

enum { kDigitWorkWords = 0, kDigitWorkDigits = 1 };
// Chooses the digit work for every later operation, and the operand size in words from which
// products use Karatsuba's method (<= 0 restores the measured default; clamped to 2 .. 200).
void numSetDigitWork(int method, int karatsubaWords);
// 1 when the operations in this radix go through the words.
int numWordsServe(int radix);
// Bytes of scratch numWordMul needs for operands of `length` digits.
size_t numWordMulScratch(int length, int radix);
// The exact product of the integers written by a's and b's `length` digits (b may be a), as
// its last 2 * length digits into product[0 .. 2 length).
void numWordMul(const unsigned char *a, const unsigned char *b, int length, int radix,
                unsigned char *product, uint64_t *scratch);
// Bytes of the two scratch blocks numWordDiv needs.
void numWordDivScratch(int length, int shift, int radix, size_t *working, size_t *divisor);
// Q = floor(a * radix^(length + shift) / b) for the integers written by a's and b's `length`
// digits, b's first digit not 0 and Q of exactly length + 1 digits: its first `length` digits
// into quotient[0 .. length), its last digit returned.
int numWordDiv(const unsigned char *a, int shift, const unsigned char *b, int length, int radix,
               unsigned char *quotient, uint64_t *working, uint64_t *divisor);

// ---- assertion report -------------------------------------------------------------------

// Internal faults (missing or mismatched operands and the like) are reported with the source
// file as the system names it ("calclib\src\domath") and the line. The default report writes
// "ASSERT Failed: <file> Line <line>" to standard error; the toolkit installs a message box.
typedef void (*AssertReportFn)(const char *file, int line);
void numSetAssertReport(AssertReportFn report); // null restores the default report
void numAssertReport(const char *file, int line);

// The internal-fault check of every number engine file: reports the line it stands on under the
// file's own `kSourceName` and yields false when the condition does not hold; the operation
// then fails (the calculator shows its error state).
#define NUM_CHECK(condition) ((condition) ? true : (numAssertReport(kSourceName, __LINE__), false))

// ---- radix conversion ---------------------------------------------------------------------

// Rewrites source in the destination's radix (2, 8, 10, 16) with the same length, keeping the
// source's format. Binary regroups into octal and hexadecimal and expands back ("radix conv -
// digit loss" when bits do not fit); every pair with 10, and octal with hexadecimal, goes
// through radixGen. Negative integers keep their value in the new radix's complement. The
// source is scratch: callers treat it as consumed. 0, or non-zero after reporting.
int radixConv(Number *source, Number *destination, NumContext *ctx);
// Evaluates source's digits in target's radix with the engine's arithmetic; target has the
// source's length and is zero. 0; 1 after its own message; 4, 5, 11, 12 after an inner
// operation reported.
int radixGen(Number *source, Number *target, NumContext *ctx);

// ---- integer and logical operations -------------------------------------------------------

// Digit-wise '&', '|', '^' of a and b, or '~' of a (b null). Decimal integers go through
// hexadecimal; floating operands are rounded to integers first. `name` is the key's name.
int logicop(Number *a, Number *b, Number *result, int operation, const char *name, NumContext *ctx);
// y * 2^x and y / 2^x by repeated doubling or halving (integer right shifts are logical).
int shiftLeft(Number *y, Number *x, Number *result, NumContext *ctx);
int shiftRight(Number *y, Number *x, Number *result, NumContext *ctx);
int shiftLeftOne(Number *y, Number *result, NumContext *ctx);
int shiftRightOne(Number *y, Number *result, NumContext *ctx);
// Integer part towards zero (x is changed), fraction x - trunc(x), and a mod b: floating the
// exact remainder a - b * trunc(a / b), with a's sign ("div - divide by zero" for b = 0);
// integer the remainder of the unsigned division, indicators untouched.
int numTrunc(Number *x, Number *result, NumContext *ctx);
int numFrac(Number *x, Number *result, NumContext *ctx);
int numMod(Number *a, Number *b, Number *result, NumContext *ctx);
// 2 * 3 * ... * n for the largest whole n <= |x|; 0! and 1! are 1. An integer product that
// overflows fails with "factorial - overflow"; a floating argument past the repetition budget
// fails with "factorial - argument too large".
int factorial(Number *x, Number *result, NumContext *ctx);

// Loops that repeat an operation once per unit of a count are bounded in digit operations;
// 1 when `repeats` steps of the kind at `length` digits are within the budget.
enum { kRepeatMul, kRepeatDiv, kRepeatFactorial };
int numRepeatsAllowed(int64_t repeats, int length, int kind);
// One step of such a loop: op(a, b, result) with its scratch released as soon as it returns,
// so thousands of steps inside one calculator operation do not pile up temporaries.
typedef int (*NumBinaryOp)(Number *a, Number *b, Number *result, NumContext *ctx);
int numScratchStep(NumBinaryOp op, Number *a, Number *b, Number *result, NumContext *ctx);

// ---- the floating bridge ------------------------------------------------------------------

// x as a double through its decimal text "-0.31415E1". An integer x is made floating in place;
// a non-decimal x goes through radix 10 (and is consumed). 0, or 1 after reporting (also when
// the value is beyond the double's range). value may be null.
int floatValue(Number *x, double *value, NumContext *ctx);
// Releases the text buffer the bridge keeps between calls (numSetAllocator does, so a buffer
// goes back to the allocator that made it).
void floatReleaseBuffer();
// d into destination (its length and radix), printed with "%<L>.<L>e" and scanned back: the
// first L digits are kept, the next is dropped without rounding. The destination becomes
// floating. 0, or 1 after reporting ("floatConv - range error" for infinities and NaN).
int floatConv(double d, Number *destination, NumContext *ctx);
// A floating Number on the temporaries chain with the value of a decimal text, or null after
// reporting. Read or copy it before the calculator releases its temporaries.
Number *floatConst(const char *text, int length, int radix, NumContext *ctx);
// Function 1 to 10 (sin, cos, tan, asin, acos, atan, ln, log, b to the power a, e to the a)
// of a in the calculator's angle mode, into result. 0; 1 the argument failed to convert; 2 the
// base failed or the function is unknown; 3 a domain error or the result failed to convert.
int floatFunc(Number *a, Number *b, Number *result, int function, NumContext *ctx);
// The calculator's entries computed through the double: 's', 'o', 't', 'S', 'O', 'T', 'l',
// 'g', 'e' of x, 'n' (10 to the x) and 'p' (y to the x), with the arc sine and cosine domain
// check. The result is created in the calculator's format: an integer result is the floating
// answer rounded half up. 0, or non-zero after reporting.
int floatEntry(int code, Number *x, Number *y, Number *result, NumContext *ctx);
// -1 <= x <= 1 for the arc sine and cosine, with x compared as the signed number it is (an
// integer x through its floating value, complement sign included). 0, or 1 after reporting
// `message`.
int floatUnitDomain(Number *x, const char *message, NumContext *ctx);
// A function's floating result brought into the calculator's format: in the integer format it
// is rounded half up to a whole number. 0, or 1 after reporting.
int floatResultFormat(int format, Number *result, NumContext *ctx);

// ---- exact functions ------------------------------------------------------------------------
//
// The same entries as the bridge, each giving the true value of the function of X's digits as
// held, correctly rounded half up to X's length in X's radix (MPFR inside, with a Ziv loop).
// Degrees are converted with pi / 180 exactly: sin 30 is 0.5, tan 45 is 1, asin 0.5 is 30.
// The same domain errors as the bridge; a result whose exponent leaves the Number's range fails
// with "floatConv - range error"; memory running out fails with "<function> - out of memory",
// nothing held. 0, or non-zero after reporting.
int exactEntry(int code, Number *x, Number *y, Number *result, NumContext *ctx);
// pi correctly rounded to the length in the radix, on the temporaries chain; null after
// reporting.
Number *exactPi(int length, int radix, NumContext *ctx);
// A decimal text ("6.02E23") with every digit, correctly rounded to the length in the radix,
// on the temporaries chain; a text that is not decimal is read as floatConst reads it. Null
// after reporting.
Number *exactConst(const char *text, int length, int radix, NumContext *ctx);
