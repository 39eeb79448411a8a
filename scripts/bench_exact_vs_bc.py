#!/usr/bin/env python3
"""Times torva-cli's exact functions against GNU bc -l as whole processes, side by side: ln 2,
sin 1 (radians) and e^1 at 1000 digits (bc at scale=1000), each run `--runs` times, the two
programs interleaved so that both see the same load. Prints the median wall time and the median
CPU time (user + system) of each with their ratios, and checks that both agree on the digits
they share (bc truncates, torva rounds, so the comparison leaves out the last two digits).

    scripts/bench_exact_vs_bc.py [--cli build/app/torva-cli] [--runs 9] [--digits 1000]
"""
import argparse
import os
import resource
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
    """Wall and CPU seconds of one run, and its output."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    out = subprocess.run(argv, input=stdin, capture_output=True, text=True, env=env, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, out.stdout


def digits_of(text):
    return "".join(c for c in text if c.isdigit()).lstrip("0")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default="build/app/torva-cli")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--digits", type=int, default=1000)
    args = parser.parse_args()
    env = dict(os.environ, BC_LINE_LENGTH="0")
    print(f"{'function':<8} {'torva-cli wall ms':>17} {'bc -l wall ms':>13} {'ratio':>6}"
          f" {'torva-cli CPU ms':>16} {'bc -l CPU ms':>12} {'ratio':>6}")
    for name, extra, expression in CASES:
        cli = [args.cli, "--exact-functions", "--digits", str(args.digits)] + extra
        program = f"scale={args.digits}\n{expression}\nquit\n"
        torva, bc = [], []
        for _ in range(args.runs):
            wall, cpu, torva_out = timed(cli)
            torva.append((wall, cpu))
            wall, cpu, bc_out = timed(["bc", "-l", "-q"], program, env)
            bc.append((wall, cpu))
        shared = min(len(digits_of(torva_out)), len(digits_of(bc_out))) - 2
        agree = digits_of(torva_out)[:shared] == digits_of(bc_out)[:shared]
        tw, tc = (statistics.median(t[i] for t in torva) * 1000 for i in (0, 1))
        bw, bcpu = (statistics.median(t[i] for t in bc) * 1000 for i in (0, 1))
        print(f"{name:<8} {tw:>17.2f} {bw:>13.1f} {bw / tw:>5.0f}x {tc:>16.2f} {bcpu:>12.1f}"
              f" {bcpu / tc:>5.0f}x{'' if agree else '  DIGITS DIFFER'}")


if __name__ == "__main__":
    main()
