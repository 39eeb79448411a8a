// Exact functions: the function keys, pi and the constants correctly rounded half up to the
// Number's length in its own radix, at any length. The functions come from MPFR; what is ours
// is getting a Number's digits into MPFR and the digits of a result back out without a single
// rounding we cannot bound, and deciding the last digit.
//
// The method (Ziv's): at a working precision p, compute an interval [lo, hi] that surely holds
// the true value: the argument itself becomes an interval when its radix is 10 (a decimal
// fraction is no binary one), every MPFR call rounds outward, and a function that is not
// monotone on the interval is widened by what it can move there. When both ends round to the
// same L digits, those digits are the answer. Otherwise p doubles, up to a bound. Results that
// are exact rationals (an integer power, sin 30 degrees, log 1000) are found before the loop,
// because an interval around a rounding midpoint never shrinks to one side. Past the bound the
// upper end of the magnitude decides, which is right for a midpoint, the only undecidable case
// left.
//
// Start reading at exactEntry.
#include "number.h"
#include "numctx.h"

#include <gmp.h>
// mpfr.h declares its GMP-integer functions only after gmp.h.
#include <mpfr.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char kSourceName[] = "calclib\\src\\exactfn";

// ---- memory -------------------------------------------------------------------------------
//
// GMP and MPFR have no failure path: their allocator must deliver or not return. Ours takes
// memory from the engine's allocator pair, keeps every block on one list, and on failure jumps
// back to the entry point of the exact call, which releases the whole list. MPFR's caches are
// emptied after every call, so between calls the list is empty and no GMP memory is held.

struct alignas(16) GmpBlock {
    GmpBlock *previous;
    GmpBlock *next;
};

static GmpBlock gLive = {&gLive, &gLive};
static jmp_buf *gOutOfMemory; // where a failed allocation goes; null outside an exact call

static void *gmpAllocate(size_t size) {
    GmpBlock *b = static_cast<GmpBlock *>(numAllocate(sizeof(GmpBlock) + size));
    if (!b) {
        if (gOutOfMemory)
            longjmp(*gOutOfMemory, 1);
        fputs("torva: out of memory in the exact functions\n", stderr);
        abort();
    }
    b->previous = &gLive;
    b->next = gLive.next;
    gLive.next->previous = b;
    gLive.next = b;
    return b + 1;
}

static void gmpRelease(void *memory, size_t) {
    if (!memory)
        return;
    GmpBlock *b = static_cast<GmpBlock *>(memory) - 1;
    b->previous->next = b->next;
    b->next->previous = b->previous;
    numRelease(b);
}

static void *gmpReallocate(void *memory, size_t oldSize, size_t newSize) {
    void *grown = gmpAllocate(newSize);
    if (memory) {
        memcpy(grown, memory, oldSize < newSize ? oldSize : newSize);
        gmpRelease(memory, oldSize);
    }
    return grown;
}

// Empties MPFR's caches (constants and its pool of integers), then releases whatever is left.
static void gmpReleaseAll() {
    mpfr_free_cache();
    while (gLive.next != &gLive)
        gmpRelease(gLive.next + 1, 0);
}

static void exactSetUp() {
    static bool done;
    if (done)
        return;
    mp_set_memory_functions(gmpAllocate, gmpReallocate, gmpRelease);
    // A Number's exponent reaches 16^(2^31), far beyond MPFR's default range.
    mpfr_set_emax(mpfr_get_emax_max());
    mpfr_set_emin(mpfr_get_emin_min());
    done = true;
}

// ---- exact values -------------------------------------------------------------------------

// ±m × radix^scale exactly; m has no trailing zero digit in the radix, and is 0 for zero.
struct Exact {
    mpz_t m;
    int64_t scale;
    int radix;
    int negative;
};

static int bitsPerDigit(int radix) { return radix == 2 ? 1 : radix == 8 ? 3 : radix == 16 ? 4 : 0; }

// Bits that hold `digits` digits of the radix, rounded up.
static mpfr_prec_t digitBits(int64_t digits, int radix) {
    int b = bitsPerDigit(radix);
    return static_cast<mpfr_prec_t>(b ? digits * b : (digits * 3322 + 999) / 1000);
}

static void exactInit(Exact *e, int radix) {
    mpz_init(e->m);
    e->scale = 0;
    e->radix = radix;
    e->negative = 0;
}

static void exactClear(Exact *e) { mpz_clear(e->m); }

// Moves trailing zero digits of m into the scale.
static void exactStrip(Exact *e) {
    if (mpz_sgn(e->m) == 0) {
        e->scale = 0;
        return;
    }
    while (mpz_divisible_ui_p(e->m, static_cast<unsigned long>(e->radix))) {
        mpz_divexact_ui(e->m, e->m, static_cast<unsigned long>(e->radix));
        e->scale++;
    }
}

// The digits of a floating Number, read in chunks that fit a machine word.
static void exactFromNumber(Exact *e, const Number *n) {
    exactInit(e, n->radix);
    int used = n->length;
    while (used > 0 && n->digits[used - 1] == 0)
        used--;
    const int chunk = n->radix == 10 ? 15 : 60 / bitsPerDigit(n->radix);
    for (int i = 0; i < used; i += chunk) {
        unsigned long part = 0, power = 1;
        for (int j = i; j < used && j < i + chunk; j++) {
            part = part * static_cast<unsigned long>(n->radix) + n->digits[j];
            power *= static_cast<unsigned long>(n->radix);
        }
        mpz_mul_ui(e->m, e->m, power);
        mpz_add_ui(e->m, e->m, part);
    }
    e->scale = used ? static_cast<int64_t>(n->exponent) - used : 0;
    e->negative = used ? n->negative : 0;
    exactStrip(e);
}

static int exactIsZero(const Exact *e) { return mpz_sgn(e->m) == 0; }
static int exactIsInteger(const Exact *e) { return exactIsZero(e) || e->scale >= 0; }
// The exponent a Number would show: |value| < radix^exponent.
static int64_t exactExponent(const Exact *e) {
    return e->scale + static_cast<int64_t>(mpz_sizeinbase(e->m, e->radix));
}
// value == ±num / den for a small fraction in lowest terms.
static int exactEquals(const Exact *e, int negative, unsigned long num, unsigned long den) {
    if (num == 0)
        return exactIsZero(e);
    if (exactIsZero(e) || e->negative != negative)
        return 0;
    if (den == 1)
        return e->scale == 0 && mpz_cmp_ui(e->m, num) == 0;
    // Only 1/2 is asked for: m × radix^scale = 1/2 means scale -1 and m = radix / 2.
    return num == 1 && den == 2 && e->scale == -1 &&
           mpz_cmp_ui(e->m, static_cast<unsigned long>(e->radix / 2)) == 0;
}

// -[lo, hi]: both ends change sign and place.
static void negateInterval(mpfr_t lo, mpfr_t hi) {
    mpfr_neg(lo, lo, MPFR_RNDN);
    mpfr_neg(hi, hi, MPFR_RNDN);
    mpfr_swap(lo, hi);
}

// [lo, hi] holding the value of e. Both are set to at least `prec` bits; a radix that is a
// power of two gives lo == hi exactly.
static void exactToInterval(const Exact *e, mpfr_prec_t prec, mpfr_t lo, mpfr_t hi) {
    mpfr_prec_t need = static_cast<mpfr_prec_t>(mpz_sizeinbase(e->m, 2)) + 2;
    if (need > prec)
        prec = need;
    mpfr_set_prec(lo, prec);
    mpfr_set_prec(hi, prec);
    mpfr_set_z(lo, e->m, MPFR_RNDN); // exact: the precision holds m
    int b = bitsPerDigit(e->radix);
    if (b) {
        mpfr_mul_2si(lo, lo, static_cast<long>(e->scale * b), MPFR_RNDN);
        mpfr_set(hi, lo, MPFR_RNDN);
    } else {
        mpfr_set(hi, lo, MPFR_RNDN);
        if (e->scale != 0) {
            mpfr_t down, up;
            mpfr_init2(down, prec + 16);
            mpfr_init2(up, prec + 16);
            unsigned long k = static_cast<unsigned long>(e->scale < 0 ? -e->scale : e->scale);
            mpfr_ui_pow_ui(down, 10, k, MPFR_RNDD);
            mpfr_ui_pow_ui(up, 10, k, MPFR_RNDU);
            if (e->scale > 0) {
                mpfr_mul(lo, lo, down, MPFR_RNDD);
                mpfr_mul(hi, hi, up, MPFR_RNDU);
            } else {
                mpfr_div(lo, lo, up, MPFR_RNDD);
                mpfr_div(hi, hi, down, MPFR_RNDU);
            }
            mpfr_clear(down);
            mpfr_clear(up);
        }
    }
    if (e->negative)
        negateInterval(lo, hi);
}

// ---- rounding to L digits -----------------------------------------------------------------

// The target of one call: L digits of a radix, and r^(L-1) and r^L to compare with.
struct Target {
    int length;
    int radix;
    mpz_t low;  // radix^(length - 1)
    mpz_t high; // radix^length
};

static void targetInit(Target *t, int length, int radix) {
    t->length = length;
    t->radix = radix;
    mpz_init(t->low);
    mpz_init(t->high);
    mpz_ui_pow_ui(t->low, static_cast<unsigned long>(radix),
                  static_cast<unsigned long>(length - 1));
    mpz_mul_ui(t->high, t->low, static_cast<unsigned long>(radix));
}

static void targetClear(Target *t) {
    mpz_clear(t->low);
    mpz_clear(t->high);
}

enum { kRounded = 0, kUndecided = 1, kOutOfRange = 2 };

static int exponentInRange(int64_t e) { return e >= INT32_MIN && e <= INT32_MAX; }

// The L digits of N (radix^(L-1) <= N < radix^L) and the exponent into a floating Number.
static void putDigits(const mpz_t N, int64_t exponent, int negative, Number *out) {
    char *text = mpz_get_str(nullptr, out->radix, N);
    size_t size = strlen(text) + 1;
    for (int i = 0; i < out->length; i++) {
        char c = text[i];
        out->digits[i] = static_cast<unsigned char>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    gmpRelease(text, size);
    out->exponent = static_cast<int32_t>(exponent);
    out->negative = negative;
    out->format = kNumFloating;
}

// The exact value num / den × radix^scale (num, den > 0) rounded half up into out.
static int roundRational(const mpz_t num, const mpz_t den, int64_t scale, int negative,
                         const Target *t, Number *out) {
    mpz_t a, b, N;
    mpz_inits(a, b, N, nullptr);
    // num / den lies in [radix^(guess - 2), radix^(guess + 1)).
    int64_t e = static_cast<int64_t>(mpz_sizeinbase(num, t->radix)) -
                static_cast<int64_t>(mpz_sizeinbase(den, t->radix));
    for (;;) {
        int64_t s = t->length - e; // scale so that the value has L digits before the point
        mpz_set(a, num);
        mpz_set(b, den);
        if (s >= 0) {
            mpz_ui_pow_ui(N, static_cast<unsigned long>(t->radix), static_cast<unsigned long>(s));
            mpz_mul(a, a, N);
        } else {
            mpz_ui_pow_ui(N, static_cast<unsigned long>(t->radix), static_cast<unsigned long>(-s));
            mpz_mul(b, b, N);
        }
        mpz_mul(N, b, t->low);
        if (mpz_cmp(a, N) < 0) {
            e--;
            continue;
        }
        mpz_mul(N, b, t->high);
        if (mpz_cmp(a, N) >= 0) {
            e++;
            continue;
        }
        break;
    }
    // N = floor((2a + b) / 2b): half up.
    mpz_mul_2exp(a, a, 1);
    mpz_add(a, a, b);
    mpz_mul_2exp(b, b, 1);
    mpz_fdiv_q(N, a, b);
    if (mpz_cmp(N, t->high) == 0) {
        mpz_set(N, t->low);
        e++;
    }
    int64_t exponent = e + scale;
    int r = kOutOfRange;
    if (exponentInRange(exponent)) {
        putDigits(N, exponent, negative, out);
        r = kRounded;
    }
    mpz_clears(a, b, N, nullptr);
    return r;
}

static int putZero(Number *out) {
    numSetZero(out);
    out->format = kNumFloating;
    return kRounded;
}

static int roundSmall(long num, unsigned long den, const Target *t, Number *out) {
    if (num == 0)
        return putZero(out);
    mpz_t p, q;
    mpz_init_set_ui(p, static_cast<unsigned long>(num < 0 ? -num : num));
    mpz_init_set_ui(q, den);
    int r = roundRational(p, q, 0, num < 0, t, out);
    mpz_clears(p, q, nullptr);
    return r;
}

// N and E of v > 0 rounded half up to L digits, with every rounding on the way taken toward
// `up` (1) or down (0): the answer is a bound of the true rounding from that side.
static int roundBound(const mpfr_t v, int up, const Target *t, mpz_t N, int64_t *E) {
    const mpfr_rnd_t toward = up ? MPFR_RNDU : MPFR_RNDD, away = up ? MPFR_RNDD : MPFR_RNDU;
    const int b = bitsPerDigit(t->radix);
    int64_t e;
    if (b) {
        int64_t x = mpfr_get_exp(v); // v in [2^(x-1), 2^x)
        e = x >= 0 ? (x + b - 1) / b : -((-x) / b);
    } else {
        long x;
        double d = mpfr_get_d_2exp(&x, v, MPFR_RNDN);
        e = static_cast<int64_t>(std::floor(std::log10(d) + x * 0.30102999566398120)) + 1;
    }
    const mpfr_prec_t prec = mpfr_get_prec(v) + 32;
    mpfr_t w, power;
    mpfr_init2(w, prec);
    mpfr_init2(power, prec);
    int r = kUndecided;
    for (int tries = 0; tries < 4; tries++) {
        if (!exponentInRange(e)) {
            r = kOutOfRange;
            break;
        }
        int64_t s = t->length - e;
        if (b) {
            mpfr_mul_2si(w, v, static_cast<long>(s * b), MPFR_RNDN);
        } else if (s >= 0) {
            mpfr_ui_pow_ui(power, 10, static_cast<unsigned long>(s), toward);
            mpfr_mul(w, v, power, toward);
        } else {
            mpfr_ui_pow_ui(power, 10, static_cast<unsigned long>(-s), away);
            mpfr_div(w, v, power, toward);
        }
        if (mpfr_cmp_z(w, t->low) < 0) {
            e--;
            continue;
        }
        if (mpfr_cmp_z(w, t->high) >= 0) {
            e++;
            continue;
        }
        mpfr_add_d(w, w, 0.5, toward);
        mpfr_get_z(N, w, MPFR_RNDD);
        if (mpz_cmp(N, t->high) >= 0) {
            mpz_set(N, t->low);
            e++;
        }
        *E = e;
        r = exponentInRange(e) ? kRounded : kOutOfRange;
        break;
    }
    mpfr_clear(w);
    mpfr_clear(power);
    return r;
}

// Rounds the interval [lo, hi] into out when both ends give the same digits. `force` takes the
// upper end of the magnitude whatever the lower gives (a zero when the interval holds zero).
static int decide(const mpfr_t lo, const mpfr_t hi, int force, const Target *t, Number *out) {
    if (mpfr_nan_p(lo) || mpfr_nan_p(hi) || mpfr_inf_p(lo) || mpfr_inf_p(hi))
        return kOutOfRange;
    if (mpfr_sgn(lo) <= 0 && mpfr_sgn(hi) >= 0) {
        return (mpfr_zero_p(lo) && mpfr_zero_p(hi)) || force ? putZero(out) : kUndecided;
    }
    const int negative = mpfr_sgn(hi) < 0;
    mpfr_t small, large;
    mpfr_init2(small, mpfr_get_prec(negative ? hi : lo));
    mpfr_init2(large, mpfr_get_prec(negative ? lo : hi));
    mpfr_abs(small, negative ? hi : lo, MPFR_RNDN);
    mpfr_abs(large, negative ? lo : hi, MPFR_RNDN);
    mpz_t n1, n2;
    mpz_inits(n1, n2, nullptr);
    int64_t e1 = 0, e2 = 0;
    int r = roundBound(large, 1, t, n2, &e2);
    if (r == kRounded && !force) {
        int low = roundBound(small, 0, t, n1, &e1);
        if (low != kRounded || e1 != e2 || mpz_cmp(n1, n2) != 0)
            r = kUndecided;
    }
    if (r == kRounded)
        putDigits(n2, e2, negative, out);
    mpz_clears(n1, n2, nullptr);
    mpfr_clear(small);
    mpfr_clear(large);
    return r;
}

// ---- the functions on intervals ------------------------------------------------------------

struct Job {
    int code;              // the calculator's code, 'P' pi, 'K' a constant
    int degrees;           // trigonometric functions take or give degrees
    const char *name;      // for messages: "sin", "power", ...
    Exact x;               // the argument (the exponent of a power); the reduced angle in degrees
    Exact y;               // the base of a power
    int negate;            // the result changes sign (an odd function of a negative angle, or an
                           // odd power of a negative base)
    mpfr_prec_t extraBits; // what the argument's size costs in precision (trigonometry in
                           // radians, exponentials)
};

static void setBoth(mpfr_t lo, mpfr_t hi, int (*f)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t),
                    const mpfr_t xlo, const mpfr_t xhi, int increasing) {
    f(lo, increasing ? xlo : xhi, MPFR_RNDD);
    f(hi, increasing ? xhi : xlo, MPFR_RNDU);
}

// [lo, hi] scaled by the positive interval [flo, fhi].
static void scaleInterval(mpfr_t lo, mpfr_t hi, const mpfr_t flo, const mpfr_t fhi) {
    mpfr_mul(lo, lo, mpfr_sgn(lo) >= 0 ? flo : fhi, MPFR_RNDD);
    mpfr_mul(hi, hi, mpfr_sgn(hi) >= 0 ? fhi : flo, MPFR_RNDU);
}

// pi / 180 (toRadians) or 180 / pi as an interval at the precision of flo and fhi.
static void degreeFactor(int toRadians, mpfr_t flo, mpfr_t fhi) {
    mpfr_const_pi(flo, toRadians ? MPFR_RNDD : MPFR_RNDU);
    mpfr_const_pi(fhi, toRadians ? MPFR_RNDU : MPFR_RNDD);
    if (toRadians) {
        mpfr_div_ui(flo, flo, 180, MPFR_RNDD);
        mpfr_div_ui(fhi, fhi, 180, MPFR_RNDU);
    } else {
        mpfr_ui_div(flo, 180, flo, MPFR_RNDD);
        mpfr_ui_div(fhi, 180, fhi, MPFR_RNDU);
    }
}

// sin, cos or tan over [alo, ahi]: the ends' values, outward; sine and cosine move at most the
// interval's width in between, and a tangent that falls across it has passed a pole.
static int trigInterval(int code, const mpfr_t alo, const mpfr_t ahi, mpfr_t lo, mpfr_t hi) {
    int (*f)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t) = code == 's'   ? mpfr_sin
                                                  : code == 'o' ? mpfr_cos
                                                                : mpfr_tan;
    if (mpfr_equal_p(alo, ahi)) {
        f(lo, alo, MPFR_RNDD);
        f(hi, alo, MPFR_RNDU);
        return kRounded;
    }
    if (code == 't') {
        f(lo, alo, MPFR_RNDD);
        f(hi, ahi, MPFR_RNDU);
        return mpfr_cmp(lo, hi) <= 0 ? kRounded : kUndecided;
    }
    mpfr_t a, b, width;
    mpfr_init2(a, mpfr_get_prec(lo));
    mpfr_init2(b, mpfr_get_prec(lo));
    mpfr_init2(width, 64);
    f(a, alo, MPFR_RNDD);
    f(b, ahi, MPFR_RNDD);
    mpfr_min(lo, a, b, MPFR_RNDD);
    f(a, alo, MPFR_RNDU);
    f(b, ahi, MPFR_RNDU);
    mpfr_max(hi, a, b, MPFR_RNDU);
    mpfr_sub(width, ahi, alo, MPFR_RNDU);
    mpfr_sub(lo, lo, width, MPFR_RNDD);
    mpfr_add(hi, hi, width, MPFR_RNDU);
    mpfr_clears(a, b, width, nullptr);
    return kRounded;
}

// base^exponent over the box of both intervals (base > 0): the extremes are at its corners.
// Where the power is monotone in both (the exponents of one sign, the bases on one side of 1)
// the two corners are known; otherwise all four are tried.
static void powerInterval(const mpfr_t blo, const mpfr_t bhi, const mpfr_t elo, const mpfr_t ehi,
                          mpfr_t lo, mpfr_t hi) {
    const int risesWithBase = mpfr_sgn(elo) > 0, fallsWithBase = mpfr_sgn(ehi) < 0;
    const int risesWithExponent = mpfr_cmp_ui(blo, 1) > 0,
              fallsWithExponent = mpfr_cmp_ui(bhi, 1) < 0;
    if ((risesWithBase || fallsWithBase) && (risesWithExponent || fallsWithExponent)) {
        mpfr_pow(lo, risesWithBase ? blo : bhi, risesWithExponent ? elo : ehi, MPFR_RNDD);
        mpfr_pow(hi, risesWithBase ? bhi : blo, risesWithExponent ? ehi : elo, MPFR_RNDU);
        return;
    }
    mpfr_t c;
    mpfr_init2(c, mpfr_get_prec(lo));
    const mpfr_srcptr bases[2] = {blo, bhi}, exponents[2] = {elo, ehi};
    int first = 1;
    for (mpfr_srcptr base : bases)
        for (mpfr_srcptr exponent : exponents) {
            mpfr_pow(c, base, exponent, MPFR_RNDD);
            if (first || mpfr_cmp(c, lo) < 0)
                mpfr_set(lo, c, MPFR_RNDD);
            mpfr_pow(c, base, exponent, MPFR_RNDU);
            if (first || mpfr_cmp(c, hi) > 0)
                mpfr_set(hi, c, MPFR_RNDU);
            first = 0;
        }
    mpfr_clear(c);
}

// One evaluation at prec bits into [lo, hi].
static int evaluate(const Job *job, mpfr_prec_t prec, mpfr_t lo, mpfr_t hi) {
    mpfr_t xlo, xhi, ylo, yhi, flo, fhi;
    mpfr_inits2(prec + 16, xlo, xhi, ylo, yhi, flo, fhi, nullptr);
    mpfr_set_prec(lo, prec);
    mpfr_set_prec(hi, prec);
    int r = kRounded;
    if (job->code != 'P')
        exactToInterval(&job->x, prec + 16, xlo, xhi);
    switch (job->code) {
    case 'P':
        mpfr_const_pi(lo, MPFR_RNDD);
        mpfr_const_pi(hi, MPFR_RNDU);
        break;
    case 'K':
        mpfr_set(lo, xlo, MPFR_RNDD);
        mpfr_set(hi, xhi, MPFR_RNDU);
        break;
    case 's':
    case 'o':
    case 't':
        if (job->degrees) {
            degreeFactor(1, flo, fhi);
            scaleInterval(xlo, xhi, flo, fhi);
        }
        r = trigInterval(job->code, xlo, xhi, lo, hi);
        break;
    case 'S':
        setBoth(lo, hi, mpfr_asin, xlo, xhi, 1);
        break;
    case 'O':
        setBoth(lo, hi, mpfr_acos, xlo, xhi, 0);
        break;
    case 'T':
        setBoth(lo, hi, mpfr_atan, xlo, xhi, 1);
        break;
    case 'l':
        setBoth(lo, hi, mpfr_log, xlo, xhi, 1);
        break;
    case 'g':
        setBoth(lo, hi, mpfr_log10, xlo, xhi, 1);
        break;
    case 'e':
        setBoth(lo, hi, mpfr_exp, xlo, xhi, 1);
        break;
    default: // 'p' and 'n': |y|^x
        exactToInterval(&job->y, prec + 16, ylo, yhi);
        mpfr_abs(ylo, ylo, MPFR_RNDN);
        mpfr_abs(yhi, yhi, MPFR_RNDN);
        if (mpfr_cmp(ylo, yhi) > 0)
            mpfr_swap(ylo, yhi);
        powerInterval(ylo, yhi, xlo, xhi, lo, hi);
        break;
    }
    if (r == kRounded && job->degrees &&
        (job->code == 'S' || job->code == 'O' || job->code == 'T')) {
        degreeFactor(0, flo, fhi);
        scaleInterval(lo, hi, flo, fhi);
    }
    if (job->negate)
        negateInterval(lo, hi);
    mpfr_clears(xlo, xhi, ylo, yhi, flo, fhi, nullptr);
    return r;
}

// The Ziv loop: doubles the precision until the interval rounds one way.
static int zivRound(const Job *job, const Target *t, Number *out) {
    const mpfr_prec_t start = digitBits(t->length, t->radix) + 64 + job->extraBits;
    const mpfr_prec_t bound = 4 * start;
    mpfr_t lo, hi;
    mpfr_init2(lo, start);
    mpfr_init2(hi, start);
    int r = kUndecided;
    for (mpfr_prec_t prec = start;; prec *= 2) {
        const int last = prec >= bound;
        mpfr_clear_flags();
        r = evaluate(job, prec, lo, hi);
        if (mpfr_overflow_p() || mpfr_underflow_p() || mpfr_nanflag_p()) {
            r = kOutOfRange;
            break;
        }
        if (r == kRounded)
            r = decide(lo, hi, last, t, out);
        if (r != kUndecided || last)
            break;
    }
    mpfr_clear(lo);
    mpfr_clear(hi);
    return r;
}

// ---- exact results ------------------------------------------------------------------------

// Degrees: the angle made exact modulo 360 in job->x (0 <= x < 360) with the sign of an odd
// function moved to job->negate. Returns the whole number of degrees when the angle is one
// below 360, else -1.
static long reduceDegrees(Job *job) {
    Exact *x = &job->x;
    if (job->x.negative && job->code != 'o')
        job->negate ^= 1;
    x->negative = 0;
    if (exactIsZero(x))
        return 0;
    const unsigned long radix = static_cast<unsigned long>(x->radix);
    mpz_t modulus, power;
    mpz_init_set_ui(modulus, 360);
    mpz_init(power);
    if (x->scale >= 0) {
        mpz_set_ui(power, radix);
        mpz_powm_ui(power, power, static_cast<unsigned long>(x->scale), modulus);
        mpz_mul(x->m, x->m, power);
        mpz_mod(x->m, x->m, modulus);
        x->scale = 0;
    } else if (exactExponent(x) > 3) {
        // A fraction of 360 or more has fewer fraction digits than the length: radix^-scale
        // is small.
        mpz_ui_pow_ui(power, radix, static_cast<unsigned long>(-x->scale));
        mpz_mul(modulus, modulus, power);
        mpz_mod(x->m, x->m, modulus);
    }
    mpz_clears(modulus, power, nullptr);
    exactStrip(x);
    if (!exactIsInteger(x))
        return -1;
    mpz_t whole;
    mpz_init_set(whole, x->m);
    for (int64_t i = 0; i < x->scale; i++)
        mpz_mul_ui(whole, whole, radix);
    long degrees = mpz_cmp_ui(whole, 360) < 0 ? static_cast<long>(mpz_get_ui(whole)) : -1;
    mpz_clear(whole);
    return degrees;
}

// The rational values of sine, cosine and tangent at whole degrees (Niven: no others are
// rational). *num / den, or 0 when the value is irrational; 2 for a pole of the tangent.
static int rationalTrig(int code, long degrees, long *num, unsigned long *den) {
    if (code == 'o')
        degrees = (degrees + 90) % 360, code = 's';
    if (code == 's') {
        static const struct {
            long degrees, num;
            unsigned long den;
        } kSine[] = {{0, 0, 1},   {30, 1, 2},   {90, 1, 1},   {150, 1, 2},
                     {180, 0, 1}, {210, -1, 2}, {270, -1, 1}, {330, -1, 2}};
        for (const auto &s : kSine)
            if (s.degrees == degrees) {
                *num = s.num;
                *den = s.den;
                return 1;
            }
        return 0;
    }
    if (degrees % 45 != 0)
        return 0;
    static const long kTangent[] = {0, 1, 2, -1, 0, 1, 2, -1}; // 2: the pole
    long v = kTangent[degrees / 45];
    if (v == 2)
        return 2;
    *num = v;
    *den = 1;
    return 1;
}

// The inverse functions in degrees at 0, ±1/2 and ±1, the only rational arguments with a
// rational angle.
static int rationalArc(int code, const Exact *x, long *degrees) {
    static const struct {
        int negative;
        unsigned long num, den;
        long asin, acos, atan; // 999: no rational angle
    } kArcs[] = {{0, 0, 1, 0, 90, 0},
                 {0, 1, 2, 30, 60, 999},
                 {1, 1, 2, -30, 120, 999},
                 {0, 1, 1, 90, 0, 45},
                 {1, 1, 1, -90, 180, -45}};
    for (const auto &a : kArcs)
        if (exactEquals(x, a.negative, a.num, a.den)) {
            long v = code == 'S' ? a.asin : code == 'O' ? a.acos : a.atan;
            if (v == 999)
                return 0;
            *degrees = v;
            return 1;
        }
    return 0;
}

// The limit on exact powers: bits of the exact result beyond which it cannot sit on a
// rounding midpoint of L digits and the interval decides alone.
static int64_t exactPowerBits(const Target *t) {
    return 4 * digitBits(t->length + 2, t->radix) + 256;
}

// y^x for an integer x, exactly, when the result is small enough to matter. kUndecided lets
// the interval decide.
static int exactIntegerPower(const Job *job, const Target *t, Number *out) {
    const Exact *x = &job->x, *y = &job->y;
    if (!exactIsInteger(x) || exactIsZero(y) || x->radix != y->radix)
        return kUndecided;
    // |x| as a machine integer, and the bits of the result.
    if (exactExponent(x) > 18)
        return kUndecided;
    mpz_t n;
    mpz_init_set(n, x->m);
    for (int64_t i = 0; i < x->scale; i++)
        mpz_mul_ui(n, n, static_cast<unsigned long>(x->radix));
    int r = kUndecided;
    if (mpz_fits_ulong_p(n)) {
        unsigned long k = mpz_get_ui(n);
        int64_t bits = static_cast<int64_t>(mpz_sizeinbase(y->m, 2));
        if (k == 0 ||
            (bits <= exactPowerBits(t) && static_cast<int64_t>(k) <= exactPowerBits(t) / bits)) {
            mpz_t p, q;
            mpz_init(p);
            mpz_init_set_ui(q, 1);
            mpz_pow_ui(p, y->m, k);
            int64_t scale = y->scale * static_cast<int64_t>(k);
            if (x->negative)
                mpz_swap(p, q), scale = -scale;
            int negative = y->negative && (k & 1);
            r = roundRational(p, q, scale, negative, t, out);
            mpz_clears(p, q, nullptr);
        }
    }
    mpz_clear(n);
    return r;
}

// log10 of a power of ten is that power.
static int exactLog10(const Job *job, const Target *t, Number *out) {
    const Exact *x = &job->x;
    int64_t j;
    const int b = bitsPerDigit(x->radix);
    if (!b) {
        if (mpz_cmp_ui(x->m, 1) != 0)
            return kUndecided;
        j = x->scale;
    } else {
        // m × 2^(b·scale) = 2^j × 5^j: the odd part of m is 5^j.
        mpz_t odd, five;
        mpz_init(odd);
        mpz_init(five);
        mp_bitcnt_t twos = mpz_scan1(x->m, 0);
        mpz_fdiv_q_2exp(odd, x->m, twos);
        j = static_cast<int64_t>(twos) + x->scale * b;
        int match = j >= 0 && j < 100000;
        if (match) {
            mpz_ui_pow_ui(five, 5, static_cast<unsigned long>(j));
            match = mpz_cmp(odd, five) == 0;
        }
        mpz_clears(odd, five, nullptr);
        if (!match)
            return kUndecided;
    }
    if (j < -2000000000000LL || j > 2000000000000LL)
        return kUndecided;
    mpz_t p, q;
    mpz_init_set_si(p, static_cast<long>(j < 0 ? -j : j));
    mpz_init_set_ui(q, 1);
    int r = j == 0 ? roundSmall(0, 1, t, out) : roundRational(p, q, 0, j < 0, t, out);
    mpz_clears(p, q, nullptr);
    return r;
}

// A decimal constant in the target's radix: exactly, unless its exponent is so large that the
// powers of ten would be huge; then it cannot be a midpoint and the interval decides.
static int exactConstant(const Exact *x, const Target *t, Number *out) {
    if (exactIsZero(x))
        return putZero(out);
    // A power of ten is a power of no other radix: it goes into the fraction, and only while it
    // is of a size worth holding whole.
    const bool expand = t->radix != 10 && x->scale != 0;
    if (expand && (x->scale > 20000 || x->scale < -20000))
        return kUndecided;
    mpz_t p, q;
    mpz_init_set(p, x->m);
    mpz_init_set_ui(q, 1);
    if (expand) {
        mpz_t power;
        mpz_init(power);
        mpz_ui_pow_ui(power, 10, static_cast<unsigned long>(x->scale > 0 ? x->scale : -x->scale));
        mpz_mul(x->scale > 0 ? p : q, x->scale > 0 ? p : q, power);
        mpz_clear(power);
    }
    int r = roundRational(p, q, t->radix == 10 ? x->scale : 0, x->negative, t, out);
    mpz_clears(p, q, nullptr);
    return r;
}

// ---- the calls ------------------------------------------------------------------------------

static const char *functionName(int code) {
    switch (code) {
    case 's':
        return "sin";
    case 'o':
        return "cos";
    case 't':
        return "tan";
    case 'S':
        return "asin";
    case 'O':
        return "acos";
    case 'T':
        return "atan";
    case 'l':
        return "ln";
    case 'g':
        return "log";
    case 'e':
        return "exp";
    case 'P':
        return "pi";
    case 'K':
        return "constant";
    default:
        return "power";
    }
}

// Radians beyond this many bits before the point cost MPFR a pi that long to reduce.
constexpr int64_t kMaxRadianBits = 65536;

// Domain checks, exact results, then the interval. 0, or 1 after reporting.
static int computeJob(Job *job, Number *out, NumContext *ctx) {
    Target t;
    targetInit(&t, out->length, out->radix);
    int r = kUndecided;
    const char *error = nullptr;
    Exact *x = &job->x;
    const int code = job->code;
    const int trig = code == 's' || code == 'o' || code == 't';
    const int64_t xBits = exactIsZero(x) ? 0 : digitBits(exactExponent(x), x->radix);
    if ((code == 'l' || code == 'g') && (exactIsZero(x) || x->negative)) {
        error = code == 'l' ? "ln - domain error" : "log - domain error";
    } else if (code == 'p' || code == 'n') {
        const Exact *y = &job->y;
        if ((y->negative && !exactIsInteger(x)) ||
            (exactIsZero(y) && x->negative && !exactIsZero(x)))
            error = "power - domain error";
        else if (exactIsZero(y))
            r = roundSmall(exactIsZero(x) ? 1 : 0, 1, &t, out);
        else if (y->negative && exactIsInteger(x))
            // An odd power of a negative base: the parity of x, whose last digit stands at
            // radix^scale (an even radix makes every higher place even).
            job->negate = x->scale == 0 && mpz_odd_p(x->m);
        if (!error && r == kUndecided)
            r = exactIntegerPower(job, &t, out);
        job->extraBits = xBits > 0 ? xBits : 0;
    } else if (trig && job->degrees) {
        long degrees = reduceDegrees(job);
        long num;
        unsigned long den;
        int rational = degrees >= 0 ? rationalTrig(code, degrees, &num, &den) : 0;
        if (rational == 2)
            error = "tan - domain error";
        else if (rational == 1)
            r = roundSmall(job->negate ? -num : num, den, &t, out);
    } else if (trig) {
        if (xBits > kMaxRadianBits)
            error = "floatConv - range error";
        job->extraBits = xBits > 0 ? xBits : 0;
    } else if (job->degrees && (code == 'S' || code == 'O' || code == 'T')) {
        long degrees;
        if (rationalArc(code, x, &degrees))
            r = roundSmall(degrees, 1, &t, out);
    } else if (code == 'g') {
        r = exactLog10(job, &t, out);
    } else if (code == 'e') {
        job->extraBits = xBits > 0 ? xBits : 0;
    } else if (code == 'K') {
        r = exactConstant(x, &t, out);
    }
    if (!error && r == kUndecided)
        r = zivRound(job, &t, out);
    if (!error && r == kOutOfRange)
        error = "floatConv - range error";
    targetClear(&t);
    return error ? numError(error, ctx) : 0;
}

// Reads a decimal text the way the standard library's conversion to double does ("-1.5E3",
// "6.02E23", leading white space, anything after the number ignored) into x, exactly. 0, or 1
// when the text is no such decimal (a hexadecimal float, an infinity) or its exponent is beyond
// every range.
static int parseDecimal(const char *text, Exact *x) {
    const char *p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        p++;
    int negative = 0;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return 1;
    int64_t fraction = 0;
    int digits = 0, point = 0;
    for (;; p++) {
        if (*p >= '0' && *p <= '9') {
            mpz_mul_ui(x->m, x->m, 10);
            mpz_add_ui(x->m, x->m, static_cast<unsigned long>(*p - '0'));
            digits++;
            fraction += point;
        } else if (*p == '.' && !point) {
            point = 1;
        } else {
            break;
        }
    }
    if (!digits)
        return *p == 'i' || *p == 'I' || *p == 'n' || *p == 'N'; // inf, nan: not ours; else 0
    int64_t exponent = 0;
    if ((*p == 'e' || *p == 'E') &&
        ((p[1] >= '0' && p[1] <= '9') ||
         ((p[1] == '+' || p[1] == '-') && p[2] >= '0' && p[2] <= '9'))) {
        p++;
        int minus = 0;
        if (*p == '+' || *p == '-')
            minus = *p++ == '-';
        for (; *p >= '0' && *p <= '9'; p++)
            if (exponent < 100000000000LL)
                exponent = exponent * 10 + (*p - '0');
        if (minus)
            exponent = -exponent;
    }
    x->scale = exponent - fraction;
    x->negative = negative && mpz_sgn(x->m) != 0;
    exactStrip(x);
    return 0;
}

struct Call {
    const Number *x;  // the argument (exponent of a power); null for pi and constants
    const Number *y;  // the base of 'p'
    const char *text; // the constant's text
};

// Runs one job with GMP's memory taken through the engine's allocator, and everything GMP took
// released afterwards, also after a failed allocation. 0; 1 after reporting; 2 when a
// constant's text is not decimal and the double must read it.
static int runJob(Job *job, const Call *call, Number *out, NumContext *ctx) {
    exactSetUp();
    jmp_buf failed;
    jmp_buf *outer = gOutOfMemory;
    if (setjmp(failed)) {
        gOutOfMemory = outer;
        gmpReleaseAll();
        char message[64];
        snprintf(message, sizeof message, "%s - out of memory", job->name);
        return numError(message, ctx);
    }
    gOutOfMemory = &failed;
    int r = 0;
    if (call->x)
        exactFromNumber(&job->x, call->x);
    else
        exactInit(&job->x, call->text ? 10 : out->radix);
    if (call->y) {
        exactFromNumber(&job->y, call->y);
    } else {
        exactInit(&job->y, out->radix);
        mpz_set_ui(job->y.m, 10); // the base of 10^x
        exactStrip(&job->y);
    }
    if (call->text && parseDecimal(call->text, &job->x))
        r = 2;
    else
        r = computeJob(job, out, ctx);
    exactClear(&job->x);
    exactClear(&job->y);
    gOutOfMemory = outer;
    gmpReleaseAll();
    return r;
}

static Job newJob(int code, NumContext *ctx) {
    Job job = {};
    job.code = code;
    job.degrees = ctx->radians == 0 && code != 'P' && code != 'K';
    job.name = functionName(code);
    return job;
}

// A floating Number of x's value: x itself, or a temporary when x is an integer.
static Number *floatingOperand(Number *x, NumContext *ctx) {
    if (x->format == kNumFloating)
        return x;
    Number *t = numCreateTemp(x->length, x->radix, kNumFloating, &ctx->temporaries);
    if (!t) {
        numError("floatConv - temp create failed", ctx);
        return nullptr;
    }
    if (numConvertFormat(x, t)) {
        numError("floatConv - format conversion failed", ctx);
        return nullptr;
    }
    return t;
}

int exactEntry(int code, Number *x, Number *y, Number *result, NumContext *ctx) {
    const int format = result->format;
    if (!NUM_CHECK(strchr("sotSOTlgenp", code) && code && (code != 'p' || y)))
        return 1;
    if ((code == 'S' && floatUnitDomain(x, "asin - domain error", ctx)) ||
        (code == 'O' && floatUnitDomain(x, "acos - domain error", ctx)))
        return 1;
    Call call = {floatingOperand(x, ctx), nullptr, nullptr};
    if (!call.x)
        return 1;
    if (code == 'p' && !(call.y = floatingOperand(y, ctx)))
        return 1;
    Job job = newJob(code, ctx);
    if (runJob(&job, &call, result, ctx))
        return 1;
    return floatResultFormat(format, result, ctx);
}

Number *exactConst(const char *text, int length, int radix, NumContext *ctx) {
    Number *t = numCreateTemp(length, radix, kNumFloating, &ctx->temporaries);
    if (!t) {
        numError("floatConst - temp create failed", ctx);
        return nullptr;
    }
    Call call = {nullptr, nullptr, text};
    Job job = newJob('K', ctx);
    int r = runJob(&job, &call, t, ctx);
    if (r == 2) // not decimal: the double reads it, as the standard library would
        return floatConst(text, length, radix, ctx);
    return r ? nullptr : t;
}

Number *exactPi(int length, int radix, NumContext *ctx) {
    Number *t = numCreateTemp(length, radix, kNumFloating, &ctx->temporaries);
    if (!t) {
        numError("floatConst - temp create failed", ctx);
        return nullptr;
    }
    Call call = {nullptr, nullptr, nullptr};
    Job job = newJob('P', ctx);
    return runJob(&job, &call, t, ctx) ? nullptr : t;
}
