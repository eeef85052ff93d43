#!/usr/bin/python3
"""The quality table of the README: quietloom's automatic settings (with the
window following the camera, and without) against its `none` preset and ffmpeg's denoisers at their defaults, on the training
clips (make_clips.py), as the mean PSNR-Y gain over the degraded input (dB)
and the mean SSIM-Y of the output, per kind of clip and noise.

    table.py --clips DIR [--quietloom PATH] [--jobs N] [--only NAME]

--only runs one column (say --only auto, after a change to the tool).
"""
import argparse
import concurrent.futures
import json
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from runs import mean, score  # noqa: E402

STILL = ["static_garden", "static_dune", "static_elephants", "static_storm", "camera_dune",
         "camera_yellowflower", "people_garden", "people_wood", "people_storm_camera", "object_wood",
         "drawn_static0", "drawn_people", "wave_greenmeadow"]
MOVING = ["pan_garden", "pan_dune", "pan_ladybird", "pan_elephants", "pan_greenmeadow", "pan_storm",
          "people_pan_dune", "drawn_pan0", "zoom_aqua", "ipan_dune", "ipan_garden"]
ROWS = [("still camera, noise 1-2", STILL, ["g1", "g2"]),
        ("still camera, noise 5-10", STILL, ["g5", "g10"]),
        ("still camera, blurred grain 2", STILL, ["grain2"]),
        ("moving camera, noise 1-2", MOVING, ["g1", "g2"]),
        ("moving camera, noise 5-10", MOVING, ["g5", "g10"]),
        ("MPEG-2 of the clean clip", STILL + MOVING, ["mpeg2"]),
        ("noise 3, then MPEG-2", STILL + MOVING, ["g3mpeg2"])]
METHODS = [("auto", "ql"), ("auto, --motion off", "ql --motion off"), ("none", "ql --preset none"), ("hqdn3d", "ff hqdn3d"),
           ("atadenoise", "ff atadenoise"), ("vaguedenoiser", "ff vaguedenoiser")]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--clips", required=True)
    ap.add_argument("--quietloom", default="build/release/cli/quietloom")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--json", help="write every score to this file")
    ap.add_argument("--only", help="the one column to run, by its name in the table")
    o = ap.parse_args()
    methods = [(n, m) for n, m in METHODS if o.only in (None, n)]
    if not methods:
        ap.error("--only: no column is named %r" % o.only)
    cache = os.path.join(o.clips, "degraded")
    jobs = {}
    with concurrent.futures.ThreadPoolExecutor(o.jobs) as pool:
        for _, clips, variants in ROWS:
            for c in clips:
                for v in variants:
                    for name, m in methods:
                        key = (name, c, v)
                        if key not in jobs:
                            jobs[key] = pool.submit(score, m, os.path.join(o.clips, c + ".y4m"), v, cache,
                                                    o.quietloom)
        for c in STILL + MOVING if any(n == "auto" for n, _ in methods) else []:
            jobs[("auto", c, "clean")] = pool.submit(score, "ql", os.path.join(o.clips, c + ".y4m"), "clean",
                                                     cache, o.quietloom)
    res = {k: f.result() for k, f in jobs.items()}
    print("| clips | " + " | ".join(n for n, _ in methods) + " |")
    print("|---|" + "---|" * len(methods))
    for title, clips, variants in ROWS:
        cells = []
        for name, _ in methods:
            g = mean([res[(name, c, v)][0] for c in clips for v in variants])
            s = mean([res[(name, c, v)][1] for c in clips for v in variants])
            cells.append("%+.2f / %.3f" % (g, s))
        print("| %s (%d clips) | %s |" % (title, len(clips), " | ".join(cells)))
    if ("auto", STILL[0], "clean") in res:
        worst = min(res[("auto", c, "clean")][2] for c in STILL + MOVING)
        print("\nclean input, auto: lowest PSNR-Y of the output against its input %.1f dB" % worst)
    if o.json:
        with open(o.json, "w") as f:
            json.dump({"|".join(k): v for k, v in res.items()}, f)


if __name__ == "__main__":
    main()
