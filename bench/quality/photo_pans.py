#!/usr/bin/python3
"""A quick check of the default settings on pictures that the training clips
do not use (ukui-wallpapers: calla, city, desert, goldfish; smooth colour
gradients rather than photos): 40 frames of
720x480 4:2:2 each, Gaussian noise 2, 5 and 10, PSNR-Y gain of quietloom's
output over the noisy input (dB), per photo and noise.

    photo_pans.py pan|still|objects [QUIETLOOM OPTION...]

pan: the camera moves 1.3 x 0.4 samples a frame (bicubic, so the motion
stays sharp); still: it does not move; objects: the pan, with an ellipse cut
from the next photo moving across it at (-3, +1) samples a frame.
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.ndimage import map_coordinates

sys.path.insert(0, os.path.dirname(__file__))
from clipkit import Clip, add_noise, psnr_y, read_y4m, write_y4m  # noqa: E402

W, H, FRAMES = 720, 480, 40
PHOTOS = ["calla.png", "city.png", "desert.png", "goldfish.png"]
TOOL = os.environ.get("QUIETLOOM", "build/release/cli/quietloom")


def load(name):
    width = W + 200
    raw = subprocess.run(["ffmpeg", "-loglevel", "error", "-i", "/usr/share/backgrounds/" + name,
                          "-vf", "scale=%d:-2:flags=lanczos,format=yuv444p" % width,
                          "-f", "rawvideo", "-"], capture_output=True, check=True).stdout
    return np.frombuffer(raw, np.uint8).reshape(3, -1, width).astype(np.float32)


def render(planes, velocity, obj=None):
    gy, gx = np.mgrid[0:H, 0:W].astype(np.float32)
    oy, ox = np.mgrid[0:180, 0:240]
    mask = np.clip((1 - ((ox - 120) / 120) ** 2 - ((oy - 90) / 90) ** 2) * 12, 0, 1)
    half = lambda p: np.clip(np.rint((p[:, 0::2] + p[:, 1::2]) / 2), 0, 255).astype(np.uint8)  # noqa: E731
    frames = []
    for t in range(FRAMES):
        f = [map_coordinates(p, [gy + 10 + velocity[1] * t, gx + 10 + velocity[0] * t], order=3,
                             mode="reflect") for p in planes]
        if obj is not None:
            x, y = 400 - 3 * t, 150 + t
            for p, o in zip(f, obj):
                p[y:y + 180, x:x + 240] = p[y:y + 180, x:x + 240] * (1 - mask) + o[:180, :240] * mask
        f = [np.clip(np.rint(p), 0, 255) for p in f]
        frames.append([f[0].astype(np.uint8), half(f[1]), half(f[2])])
    return Clip(frames, "422")


def main():
    mode, options = sys.argv[1], sys.argv[2:]
    velocity = (0.0, 0.0) if mode == "still" else (1.3, 0.4)
    with tempfile.TemporaryDirectory() as work:
        for i, name in enumerate(PHOTOS):
            obj = load(PHOTOS[(i + 1) % len(PHOTOS)])[:, 100:280, 300:540] if mode == "objects" else None
            clean = render(load(name), velocity, obj)
            gains = []
            for sigma in (2, 5, 10):
                noisy = add_noise(clean, sigma, 7)
                src, out = os.path.join(work, "in.y4m"), os.path.join(work, "out.y4m")
                write_y4m(src, noisy)
                subprocess.run([TOOL, "--quiet"] + options + [src, out], check=True)
                gains.append(psnr_y(read_y4m(out), clean) - psnr_y(noisy, clean))
            print("%-14s %s" % (name, " ".join("%+.2f" % g for g in gains)), flush=True)


if __name__ == "__main__":
    main()
