#!/usr/bin/env python3
"""Times the number engine's multiplication, division and addition at 10, 100 and 1000 digits
against GNU bc and Python's decimal module (libmpdec) in one run, and the conversion of a
1000-digit decimal integer to hexadecimal against bc. Prints a table of medians in ns per
operation; every figure is the operation's loop minus an empty loop of the same length:

    torva    build/bench/bench_arith N op K         (empty frames subtracted by the program)
    bc       scale=N; a loop of c=a*b minus a loop of c=a
    decimal  prec=N, ROUND_HALF_UP; timeit of c=a*b minus timeit of c=a
    hex      bench_arith N hex K against bc's obase=16 printing minus a loop of c=a

    scripts/bench_arith_peers.py [--rounds 3] [--bench build/bench/bench_arith]

The operands are fixed pseudo-random digit strings (seeded), the same for every peer.
"""
import argparse
import decimal
import os
import random
import statistics
import subprocess
import time
import timeit

SIZES = (10, 100, 1000)
OPS = ("mul", "div", "add")
SYMBOL = {"mul": "*", "div": "/", "add": "+"}
# Repetitions per run, chosen so that a run takes a good part of a second on this machine.
TORVA_K = {10: 2000000, 100: 200000, 1000: 5000}
BC_K = {10: 200000, 100: 20000, 1000: 200}
DECIMAL_K = {10: 1000000, 100: 200000, 1000: 5000}
HEX_K = {"torva": 300, "bc": 30}


def operands(n, rng):
    a = str(rng.randint(1, 9)) + "".join(rng.choice("0123456789") for _ in range(n - 1))
    b = str(rng.randint(1, 9)) + "".join(rng.choice("0123456789") for _ in range(n - 1))
    return a, b


def torva(bench, n, op, k, lines):
    out = subprocess.run([bench, str(n), op, str(k)], input="\n".join(lines) + "\n",
                         capture_output=True, text=True, check=True).stdout
    fields = dict(line.split("=", 1) for line in out.split())
    return float(fields["ns_op"])


def bc_seconds(program):
    env = dict(os.environ, BC_LINE_LENGTH="0")
    start = time.perf_counter()
    subprocess.run(["bc", "-q"], input=program, stdout=subprocess.DEVNULL, env=env, check=True,
                   text=True)
    return time.perf_counter() - start


def bc(n, op, k, a, b):
    head = f"scale={n}\na=0.{a}\nb=0.{b}\n"
    work = bc_seconds(head + f"for(i=0;i<{k};i++) c=a{SYMBOL[op]}b\nquit\n")
    empty = bc_seconds(head + f"for(i=0;i<{k};i++) c=a\nquit\n")
    return (work - empty) * 1e9 / k


def libmpdec(n, op, k, a, b):
    context = decimal.Context(prec=n, rounding=decimal.ROUND_HALF_UP)
    names = {"a": decimal.Decimal("0." + a), "b": decimal.Decimal("0." + b)}
    decimal.setcontext(context)
    work = timeit.timeit(f"c = a {SYMBOL[op]} b", globals=names, number=k)
    empty = timeit.timeit("c = a", globals=names, number=k)
    return (work - empty) * 1e9 / k


def bc_hex(value, k):
    work = bc_seconds(f"obase=16\na={value}\nfor(i=0;i<{k};i++) a\nquit\n")
    empty = bc_seconds(f"obase=16\na={value}\nfor(i=0;i<{k};i++) c=a\nquit\n")
    return (work - empty) * 1e9 / k


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--bench", default="build/bench/bench_arith")
    args = parser.parse_args()
    rng = random.Random(20261210)
    data = {n: operands(n, rng) for n in SIZES}
    hex_value = "4" + "".join(rng.choice("0123456789") for _ in range(999))

    samples = {}
    for _ in range(args.rounds):
        for n in SIZES:
            a, b = data[n]
            for op in OPS:
                row = samples.setdefault((op, n), {"torva": [], "bc": [], "libmpdec": []})
                row["torva"].append(torva(args.bench, n, op, TORVA_K[n], [a, b]))
                row["bc"].append(bc(n, op, BC_K[n], a, b))
                row["libmpdec"].append(libmpdec(n, op, DECIMAL_K[n], a, b))
        row = samples.setdefault(("hex", 1000), {"torva": [], "bc": []})
        row["torva"].append(torva(args.bench, 1000, "hex", HEX_K["torva"], [hex_value]))
        row["bc"].append(bc_hex(hex_value, HEX_K["bc"]))

    print(f"medians of {args.rounds} rounds, ns per operation")
    print("| operation | torva | bc | libmpdec | torva/bc | torva/libmpdec | spread torva |")
    print("|---|---|---|---|---|---|---|")
    for (op, n), row in samples.items():
        t = statistics.median(row["torva"])
        c = statistics.median(row["bc"])
        m = statistics.median(row["libmpdec"]) if "libmpdec" in row else None
        spread = (max(row["torva"]) - min(row["torva"])) / t if t else 0
        label = f"{op}, {n} digits" if op != "hex" else "decimal to hex, 1000-digit integer"
        mtext = f"{m:,.0f}" if m is not None else "-"
        ratio = f"{t / m:.2f}" if m else "-"
        print(f"| {label} | {t:,.0f} | {c:,.0f} | {mtext} | {t / c:.3f} | {ratio} | "
              f"{spread:.0%} |")


if __name__ == "__main__":
    main()
