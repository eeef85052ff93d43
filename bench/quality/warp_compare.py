#!/usr/bin/python3
"""The two ways of moving a frame by a fraction of a sample, side by side:
an FFT phase shift (the whole plane's spectrum turned by the shift) and the
windowed sinc the tool uses (Lanczos, four lobes per side, eight taps,
separable, the weights normalised to sum 1, edges clamped).

    warp_compare.py [--photos GLOB] [--size WxH]

Accuracy: a photo is reduced by 8 (mean of 8x8 blocks) once as it is and
once moved by m samples of the large picture, which is the reduced picture
moved by exactly m/8; each method moves the first onto the second, and the
PSNR (8-bit units) is taken away from the borders (24 samples), where the
FFT wraps and the sinc clamps. Noise: white noise moved by 0.25 and 0.5 in
both directions, the share of its variance kept. Speed: both in numpy on one
plane of the size given, best of five (the tool's own warp is C++; its time
is in bench/bench_motion).
"""
import argparse
import glob
import subprocess
import time

import numpy as np

TAPS = 4


def lanczos_weights(fraction):
    k = np.arange(1 - TAPS, TAPS + 1)
    x = k - fraction
    w = np.sinc(x) * np.sinc(x / TAPS)
    return k, w / w.sum()


def lanczos_shift_1d(plane, shift, axis):
    """out(i) = plane(i - shift) along axis, edges clamped."""
    source = -shift
    whole = int(np.floor(source))
    fraction = source - whole
    n = plane.shape[axis]
    if fraction < 1e-9:
        idx = np.clip(np.arange(n) + whole, 0, n - 1)
        return np.take(plane, idx, axis=axis)
    k, w = lanczos_weights(fraction)
    out = np.zeros_like(plane)
    for kk, ww in zip(k, w):
        idx = np.clip(np.arange(n) + whole + kk, 0, n - 1)
        out += ww * np.take(plane, idx, axis=axis)
    return out


def lanczos_shift(plane, sx, sy):
    return lanczos_shift_1d(lanczos_shift_1d(plane, sx, 1), sy, 0)


def fft_shift(plane, sx, sy):
    h, w = plane.shape
    fy = np.fft.fftfreq(h)[:, None]
    fx = np.fft.rfftfreq(w)[None, :]
    spectrum = np.fft.rfft2(plane) * np.exp(-2j * np.pi * (fx * sx + fy * sy))
    return np.fft.irfft2(spectrum, s=plane.shape)


def reduce8(plane):
    h, w = (plane.shape[0] // 8) * 8, (plane.shape[1] // 8) * 8
    return plane[:h, :w].reshape(h // 8, 8, w // 8, 8).mean(axis=(1, 3))


def luma_of(path):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vf", "scale=2880:-2", "-pix_fmt", "gray",
                          "-f", "rawvideo", "-"], check=True, capture_output=True).stdout
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=width,height", "-of", "csv=p=0", path], check=True,
                           capture_output=True, text=True).stdout.split(",")
    w0, h0 = int(probe[0]), int(probe[1])
    w = 2880
    h = int(round(h0 * w / w0 / 2)) * 2
    return np.frombuffer(raw, np.uint8).reshape(h, w).astype(np.float64)


def psnr(a, b, border=24):
    d = (a - b)[border:-border, border:-border]
    return 10 * np.log10(255.0 ** 2 / np.mean(d * d))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--photos", default="/usr/share/backgrounds/mate/nature/*.jpg")
    ap.add_argument("--size", default="720x480")
    a = ap.parse_args()
    photos = sorted(glob.glob(a.photos))[:4]
    moves = [(3, 0), (4, 0), (2, 5), (7, 3)]  # in samples of the large picture
    print("accuracy, PSNR (dB) of the moved reduced photo against the photo moved before reducing:")
    print(f"{'photo':<28} {'shift':<12} {'FFT':>7} {'sinc':>7}")
    totals = {"fft": [], "sinc": []}
    for path in photos:
        big = luma_of(path)
        base = reduce8(big)
        for mx, my in moves:
            moved_big = np.roll(big, (my, mx), axis=(0, 1))
            target = reduce8(moved_big)
            sx, sy = mx / 8, my / 8
            f = psnr(fft_shift(base, sx, sy), target)
            s = psnr(lanczos_shift(base, sx, sy), target)
            totals["fft"].append(f)
            totals["sinc"].append(s)
            print(f"{path.split('/')[-1]:<28} {sx:.3f},{sy:.3f}  {f:7.2f} {s:7.2f}")
    print(f"{'mean':<41} {np.mean(totals['fft']):7.2f} {np.mean(totals['sinc']):7.2f}")
    rng = np.random.default_rng(1)
    noise = rng.normal(0, 1, (480, 720))
    print("\nshare of white noise's variance kept (FFT, sinc):")
    for frac in (0.25, 0.5):
        f = np.var(fft_shift(noise, frac, frac)[24:-24, 24:-24])
        s = np.var(lanczos_shift(noise, frac, frac)[24:-24, 24:-24])
        print(f"  shift {frac} both ways: {f:.3f}  {s:.3f}")
    w, h = (int(v) for v in a.size.split("x"))
    plane = rng.normal(128, 20, (h, w))

    def best(fn):
        times = []
        for _ in range(5):
            t = time.perf_counter()
            fn()
            times.append(time.perf_counter() - t)
        return min(times)
    tf = best(lambda: fft_shift(plane, 0.37, 0.61))
    ts = best(lambda: lanczos_shift(plane, 0.37, 0.61))
    print(f"\nspeed, one {w}x{h} plane in numpy: FFT {tf * 1000:.1f} ms, sinc {ts * 1000:.1f} ms "
          f"(FFT / sinc x{tf / ts:.2f})")


if __name__ == "__main__":
    main()
