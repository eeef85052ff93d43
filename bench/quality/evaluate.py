#!/usr/bin/python3
"""Scores denoisers on the training clips: PSNR-Y gain over the degraded
input (dB) and SSIM-Y of the output, against the clean clip.

    evaluate.py --clips DIR [--quietloom PATH] [--jobs N]
                [--select GLOB] [--variants g1,g2] METHOD...

METHOD is 'ql OPTIONS' (quietloom) or 'ff FILTERGRAPH' (ffmpeg), e.g.
    'ql --preset none'  'ql --frame 4 --anime --w3dyl 20'  'ff hqdn3d'
"""
import argparse
import concurrent.futures
import fnmatch
import json
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from runs import mean, score  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--clips", required=True)
    ap.add_argument("--quietloom", default="build/release/cli/quietloom")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--select", default="*")
    ap.add_argument("--variants", default="g1,g2,g5,g10")
    ap.add_argument("--json", help="write every score to this file")
    ap.add_argument("--no-ssim", action="store_true", help="PSNR only (faster)")
    ap.add_argument("methods", nargs="+")
    a = ap.parse_args()
    with open(os.path.join(a.clips, "clips.json")) as f:
        clips = json.load(f)
    names = sorted(n for n in clips if any(fnmatch.fnmatch(n, s) for s in a.select.split(",")))
    variants = a.variants.split(",")
    cache = os.path.join(a.clips, "degraded")
    jobs = {}
    with concurrent.futures.ThreadPoolExecutor(a.jobs) as pool:
        for m in a.methods:
            for n in names:
                for v in variants:
                    jobs[(m, n, v)] = pool.submit(score, m, os.path.join(a.clips, n + ".y4m"), v,
                                                  cache, a.quietloom, None, not a.no_ssim)
    results = {k: f.result() for k, f in jobs.items()}
    print("%-24s %-8s" % ("clip", "variant") + "".join("%16s" % ("M%d" % i) for i in range(len(a.methods))))
    for n in names:
        for v in variants:
            print("%-24s %-8s" % (n, v) +
                  "".join("%9.2f %6.4f" % results[(m, n, v)][:2] for m in a.methods))
    print()
    kinds = sorted({clips[n]["kind"] for n in names})
    for i, m in enumerate(a.methods):
        print("M%d = %s" % (i, m))
        for v in variants:
            row = ["%s %+.2f" % (k, mean([results[(m, n, v)][0] for n in names
                                           if clips[n]["kind"] == k])) for k in kinds]
            print("   %-8s %s" % (v, "  ".join(row)))
    if a.json:
        with open(a.json, "w") as f:
            json.dump({"|".join(k): v for k, v in results.items()}, f, indent=0)


if __name__ == "__main__":
    main()
