// One operation timed the way its peers (bc, Python's decimal) can be timed beside it:
//
//     bench_arith N mul|div|add|sqr K [digits] [karatsuba=W]   two lines of N decimal digits
//     bench_arith N hex K                                   one line of N decimal digits
//
// mul, div and add read each line as the floating value 0.<digits> (length N, radix 10) and
// run K operations (sqr squares the first), each in the calculator's per-operation frame: working
// copies of the operands on the temporaries chain, a new result, the operation, and the release of
// all of it. hex reads an N-digit decimal integer (integer format) and converts it to hexadecimal
// in the same frame. K empty frames are timed too. It prints
//
//     ns_op=<nanoseconds per operation, the empty frame subtracted>
//     op_s=<seconds of the K operation frames>
//
// `digits` does the digit work one digit at a time (the reference), karatsuba=W moves the
// Karatsuba threshold to W words. scripts/bench_arith_peers.py runs this against bc and
// Python's decimal in one go.
#include "number.h"
#include "numctx.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

enum Op { kMul, kDiv, kAdd, kSquare, kHex };

// A Number of `length` digits from a line of decimal digits: 0.<digits>, or the integer.
Number *readOperand(int length, int format) {
    std::string line;
    if (!std::getline(std::cin, line) || static_cast<int>(line.size()) < length)
        return nullptr;
    Number *n = numCreate(length, 10, format);
    for (int i = 0; i < length; i++) {
        if (line[i] < '0' || line[i] > '9') {
            numFree(n);
            return nullptr;
        }
        n->digits[i] = static_cast<unsigned char>(line[i] - '0');
    }
    if (format == kNumFloating)
        justify(n);
    return n;
}

// One frame; the operation itself only when `op` is true. 0, or the operation's status.
int frame(Op op, bool work, const Number *a, const Number *b, NumContext *calc) {
    const int length = a->length;
    Number *x = numCreateTemp(length, 10, a->format, &calc->temporaries);
    Number *y = b ? numCreateTemp(length, 10, b->format, &calc->temporaries) : nullptr;
    Number *result = numCreate(length, op == kHex ? 16 : 10, a->format);
    numCopy(a, x);
    if (b)
        numCopy(b, y);
    int status = 0;
    if (work) {
        switch (op) {
        case kMul:
            status = numMul(x, y, result, calc);
            break;
        case kDiv:
            status = numDiv(x, y, result, calc);
            break;
        case kAdd:
            status = numAdd(x, y, result, calc);
            break;
        case kSquare:
            status = numSquare(x, result, calc);
            break;
        case kHex:
            status = radixConv(x, result, calc);
            break;
        }
    }
    numFreeTemps(&calc->temporaries);
    numFree(result);
    return status;
}

// Seconds for `count` frames.
double timeFrames(Op op, bool work, long count, const Number *a, const Number *b, NumContext *calc,
                  int *status) {
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; i++)
        *status |= frame(op, work, a, b, calc);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int usage() {
    fprintf(stderr, "usage: bench_arith N mul|div|add|sqr|hex K [digits] [karatsuba=W]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4)
        return usage();
    const int length = atoi(argv[1]);
    const long count = atol(argv[3]);
    Op op;
    if (!strcmp(argv[2], "mul"))
        op = kMul;
    else if (!strcmp(argv[2], "div"))
        op = kDiv;
    else if (!strcmp(argv[2], "add"))
        op = kAdd;
    else if (!strcmp(argv[2], "sqr"))
        op = kSquare;
    else if (!strcmp(argv[2], "hex"))
        op = kHex;
    else
        return usage();
    if (length < 2 || count < 1)
        return usage();
    int method = kDigitWorkWords, karatsuba = 0;
    for (int i = 4; i < argc; i++) {
        if (!strcmp(argv[i], "digits"))
            method = kDigitWorkDigits;
        else if (!strncmp(argv[i], "karatsuba=", 10))
            karatsuba = atoi(argv[i] + 10);
        else
            return usage();
    }
    numSetDigitWork(method, karatsuba);

    const int format = op == kHex ? kNumInteger : kNumFloating;
    Number *a = readOperand(length, format);
    Number *b = op == kHex ? nullptr : readOperand(length, format);
    if (!a || (op != kHex && !b)) {
        numFree(a);
        fprintf(stderr, "bench_arith: expected %d decimal digits per line\n", length);
        return 2;
    }
    NumContext calc;
    int status = 0;
    long warm = count / 10 + 1;
    timeFrames(op, true, warm, a, b, &calc, &status);
    timeFrames(op, false, warm, a, b, &calc, &status);
    double empty = timeFrames(op, false, count, a, b, &calc, &status);
    double work = timeFrames(op, true, count, a, b, &calc, &status);
    if (status) {
        fprintf(stderr, "bench_arith: the operation failed\n");
        return 1;
    }
    printf("ns_op=%.1f\nop_s=%.6f\n", (work - empty) * 1e9 / static_cast<double>(count), work);
    numFree(a);
    numFree(b);
    return 0;
}
