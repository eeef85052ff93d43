#!/usr/bin/python3
"""Two ways to denoise beyond the tracks' largest thresholds, side by side:
(a) thresholds scaled by k inside the module (--strength k), and (b) the
samples handed to the module scaled down by k around black and neutral
chroma, and the output scaled back up (here through a 10-bit clip, so that
the scaled samples keep their precision). Prints the PSNR-Y gain of both.

    scale_vs_threshold.py --clips DIR [--quietloom PATH]
"""
import argparse
import os
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
from clipkit import psnr_y, read_y4m  # noqa: E402
from runs import variant_path  # noqa: E402

SETTINGS = ["--preset", "none", "--frame", "4", "--anime", "--w3dyl", "30", "--w3dyh", "30",
            "--w3dcl", "30", "--w3dch", "30"]


def write_y4m_10(path, clip, planes):
    with open(path, "wb") as f:
        f.write(("YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C422p10 XYSCSS=422P10\n" % (clip.width, clip.height)).encode())
        for fr in planes:
            f.write(b"FRAME\n")
            for p in fr:
                f.write(np.ascontiguousarray(p, dtype="<u2").tobytes())


def read_y4m_10(path, w, h):
    data = open(path, "rb").read()
    pos = data.index(b"\n") + 1
    frames = []
    sizes = [(h, w), (h, w // 2), (h, w // 2)]
    while pos < len(data):
        pos = data.index(b"\n", pos) + 1
        fr = []
        for (ph, pw) in sizes:
            n = ph * pw * 2
            fr.append(np.frombuffer(data, "<u2", ph * pw, pos).reshape(ph, pw).astype(np.float64))
            pos += n
        frames.append(fr)
    return frames


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--clips", required=True)
    ap.add_argument("--quietloom", default="build/release/cli/quietloom")
    o = ap.parse_args()
    cache = os.path.join(o.clips, "degraded")
    print("%-18s %-5s %3s %10s %10s" % ("clip", "noise", "k", "thresholds", "samples"))
    for clip in ["static_garden", "people_garden", "pan_garden", "pan_dune"]:
        clean = read_y4m(os.path.join(o.clips, clip + ".y4m"))
        for v, k in [("g5", 2.0), ("g10", 2.0), ("g10", 4.0)]:
            src = variant_path(cache, os.path.join(o.clips, clip + ".y4m"), v)
            noisy = read_y4m(src)
            base = psnr_y(noisy, clean)
            with tempfile.TemporaryDirectory() as d:
                a = os.path.join(d, "a.y4m")
                subprocess.run([o.quietloom, "-q"] + SETTINGS + ["--strength", str(k), src, a], check=True)
                gain_a = psnr_y(read_y4m(a), clean) - base
                # Scaled samples, 10-bit: black 64 and neutral 512 stay put.
                scaled = [[np.clip(np.rint(64 + (f[0] * 4.0 - 64) / k), 0, 1023),
                           np.clip(np.rint(512 + (f[1] * 4.0 - 512) / k), 0, 1023),
                           np.clip(np.rint(512 + (f[2] * 4.0 - 512) / k), 0, 1023)] for f in noisy.frames]
                s_in, s_out = os.path.join(d, "s.y4m"), os.path.join(d, "so.y4m")
                write_y4m_10(s_in, noisy, scaled)
                subprocess.run([o.quietloom, "-q"] + SETTINGS + [s_in, s_out], check=True)
                back = read_y4m_10(s_out, noisy.width, noisy.height)
                out = noisy.__class__([[np.clip(np.rint(16 + (f[0] - 64) * k / 4.0), 0, 255).astype(np.uint8),
                                        np.clip(np.rint(128 + (f[1] - 512) * k / 4.0), 0, 255).astype(np.uint8),
                                        np.clip(np.rint(128 + (f[2] - 512) * k / 4.0), 0, 255).astype(np.uint8)]
                                       for f in back])
                gain_b = psnr_y(out, clean) - base
            print("%-18s %-5s %3g %+10.2f %+10.2f" % (clip, v, k, gain_a, gain_b), flush=True)


if __name__ == "__main__":
    main()
