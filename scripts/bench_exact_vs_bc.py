#!/usr/bin/env python3
"""Times torva-cli's exact functions against GNU bc -l as whole processes, side by side: ln 2,
sin 1 (radians) and e^1 at 1000 digits (bc at scale=1000), each run `--runs` times, the two
programs interleaved so that both see the same load. Prints the median wall time of each and
the ratio, and checks that both agree on the digits they share (bc truncates, torva rounds, so
the comparison leaves out the last two digits).

    scripts/bench_exact_vs_bc.py [--cli build/app/torva-cli] [--runs 9] [--digits 1000]
"""
import argparse
import os
import statistics
import subprocess
import time

CASES = (
    # name, torva-cli arguments after the common ones, bc expression
    ("ln 2", ["-k", "2l"], "l(2)"),
    ("sin 1", ["--radians", "-k", "1s"], "s(1)"),
    ("e^1", ["-k", "1", "-p", "e"], "e(1)"),
)


def timed(argv, stdin=None, env=None):
    start = time.perf_counter()
    out = subprocess.run(argv, input=stdin, capture_output=True, text=True, env=env, check=True)
    return time.perf_counter() - start, out.stdout


def digits_of(text):
    return "".join(c for c in text if c.isdigit()).lstrip("0")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default="build/app/torva-cli")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--digits", type=int, default=1000)
    args = parser.parse_args()
    env = dict(os.environ, BC_LINE_LENGTH="0")
    print(f"{'function':<8} {'torva-cli ms':>12} {'bc -l ms':>10} {'bc / torva':>11}")
    for name, extra, expression in CASES:
        cli = [args.cli, "--exact-functions", "--digits", str(args.digits)] + extra
        program = f"scale={args.digits}\n{expression}\nquit\n"
        torva_times, bc_times = [], []
        for _ in range(args.runs):
            t, torva_out = timed(cli)
            torva_times.append(t)
            t, bc_out = timed(["bc", "-l", "-q"], program, env)
            bc_times.append(t)
        shared = min(len(digits_of(torva_out)), len(digits_of(bc_out))) - 2
        agree = digits_of(torva_out)[:shared] == digits_of(bc_out)[:shared]
        torva_ms = statistics.median(torva_times) * 1000
        bc_ms = statistics.median(bc_times) * 1000
        print(f"{name:<8} {torva_ms:>12.2f} {bc_ms:>10.1f} {bc_ms / torva_ms:>10.0f}x"
              f"{'' if agree else '  DIGITS DIFFER'}")


if __name__ == "__main__":
    main()
