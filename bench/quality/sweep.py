#!/usr/bin/python3
"""Sweeps the luma settings over the training clips with thresholds in
proportion to the noise: W3DYL = A x sigma and W3DYH = B x sigma (effective
track values; above 30 they are reached through --strength), for each
temporal radius and fit. Prints the PSNR-Y gain of every setting on every
clip and variant and, per variant, the setting with the best mean gain.

    sweep.py --clips DIR --select GLOB --variants g1,g5 --radius 4 --fit full
             --a 4,8,12 --b 4,8,12 [--json OUT]
"""
import argparse
import concurrent.futures
import fnmatch
import itertools
import json
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from runs import VARIANTS, mean, score  # noqa: E402


def settings_args(radius, fit, a, b, extra=""):
    """quietloom options for effective W3DYL a and W3DYH b (may exceed 30)."""
    k = max(1.0, max(a, b) / 30.0)
    t1, t2 = max(0, min(30, round(a / k))), max(0, min(30, round(b / k)))
    args = "--frame %d %s --w3dyl %d --w3dyh %d" % (
        radius, "--anime" if fit == "full" else "--no-anime", t1, t2)
    if k > 1:
        args += " --strength %.4f" % k
    return (args + " " + extra).strip()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--clips", required=True)
    ap.add_argument("--quietloom", default="build/release/cli/quietloom")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--select", default="*")
    ap.add_argument("--variants", default="g1,g2,g5,g10")
    ap.add_argument("--radius", default="4")
    ap.add_argument("--fit", default="full")
    ap.add_argument("--a", default="8")
    ap.add_argument("--b", default="8")
    ap.add_argument("--diagonal", action="store_true", help="only A = B")
    ap.add_argument("--extra", default="", help="more quietloom options for every run")
    ap.add_argument("--json")
    o = ap.parse_args()
    with open(os.path.join(o.clips, "clips.json")) as f:
        clips = json.load(f)
    names = sorted(n for n in clips if any(fnmatch.fnmatch(n, s) for s in o.select.split(",")))
    variants = o.variants.split(",")
    grid = list(itertools.product([int(r) for r in o.radius.split(",")], o.fit.split(","),
                                  [float(a) for a in o.a.split(",")],
                                  [float(b) for b in o.b.split(",")]))
    if o.diagonal:
        grid = [g for g in grid if g[2] == g[3]]
    cache = os.path.join(o.clips, "degraded")
    jobs = {}
    with concurrent.futures.ThreadPoolExecutor(o.jobs) as pool:
        for v in variants:
            sigma = max(VARIANTS[v][0], 0.5)
            for (r, fit, a, b) in grid:
                args = settings_args(r, fit, a * sigma, b * sigma, o.extra)
                for n in names:
                    jobs[(v, r, fit, a, b, n)] = pool.submit(
                        score, "ql " + args, os.path.join(o.clips, n + ".y4m"), v, cache,
                        o.quietloom, None, False)
    res = {k: f.result()[0] for k, f in jobs.items()}
    for v in variants:
        print("== %s" % v)
        print("%-22s" % "setting (R fit A B)" + "".join("%10s" % n[:9] for n in names) + "      mean")
        rows = []
        for (r, fit, a, b) in grid:
            g = [res[(v, r, fit, a, b, n)] for n in names]
            rows.append((mean(g), (r, fit, a, b), g))
            print("%-22s" % ("%d %s %g %g" % (r, fit, a, b)) + "".join("%10.2f" % x for x in g) +
                  "%10.2f" % mean(g))
        best = max(rows)
        print("best: %s mean %+.2f" % (best[1], best[0]))
        per_clip = ["%s:%s" % (n[:12], max(grid, key=lambda s: res[(v,) + s + (n,)])[2:])
                    for n in names]
        print("best per clip:", " ".join(per_clip))
    if o.json:
        with open(o.json, "w") as f:
            json.dump({"|".join(str(x) for x in k): v for k, v in res.items()}, f)


if __name__ == "__main__":
    main()
