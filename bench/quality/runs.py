"""Degraded versions of the training clips, and the denoisers the quality
scripts compare: quietloom with options, or an ffmpeg filter."""
import hashlib
import os
import shlex
import subprocess
import tempfile

import numpy as np

from clipkit import add_noise, mpeg2_round_trip, psnr_y, read_y4m, ssim_y, write_y4m

# name -> (sigma, grain blur, MPEG-2 bit rate or None)
VARIANTS = {
    "clean": (0, 0, None),
    "g1": (1, 0, None), "g2": (2, 0, None), "g3": (3, 0, None), "g5": (5, 0, None),
    "g8": (8, 0, None), "g10": (10, 0, None),
    "grain2": (2, 0.8, None), "grain5": (5, 0.8, None),
    "mpeg2": (0, 0, "2500k"),       # a clean capture compressed hard
    "g3mpeg2": (3, 0, "4000k"),     # a noisy capture compressed
}


def variant_path(cache, clip_path, variant):
    """The clip with the degradation applied, made once and kept in `cache`."""
    name = os.path.splitext(os.path.basename(clip_path))[0]
    path = os.path.join(cache, "%s__%s.y4m" % (name, variant))
    if variant == "clean":
        return clip_path
    if not os.path.exists(path):
        os.makedirs(cache, exist_ok=True)
        sigma, blur, rate = VARIANTS[variant]
        clip = read_y4m(clip_path)
        seed = int(hashlib.sha1(path.encode()).hexdigest()[:8], 16)
        if sigma:
            clip = add_noise(clip, sigma, seed, blur)
        if rate:
            clip = mpeg2_round_trip(clip, rate)
        write_y4m(path, clip)
    return path


def denoise(method, src, dst, quietloom):
    """method: 'ql ARGS' runs quietloom with ARGS, 'ff FILTERGRAPH' ffmpeg."""
    kind, _, args = method.partition(" ")
    if kind == "ql":
        cmd = [quietloom, "-q", "--threads", "1"] + shlex.split(args) + [src, dst]
    elif kind == "ff":
        cmd = ["ffmpeg", "-loglevel", "error", "-y", "-threads", "1", "-i", src, "-vf", args,
               "-f", "yuv4mpegpipe", "-pix_fmt", "yuv422p", dst]
    else:
        raise ValueError(method)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def score(method, clip_path, variant, cache, quietloom, keep=None, with_ssim=True):
    """(PSNR-Y gain, SSIM-Y, PSNR-Y of the output) of a method on a variant
    against the clean clip; the gain is over the degraded input."""
    clean = read_y4m(clip_path)
    src = variant_path(cache, clip_path, variant)
    degraded = read_y4m(src)
    with tempfile.TemporaryDirectory() as d:
        dst = keep or os.path.join(d, "out.y4m")
        denoise(method, src, dst, quietloom)
        out = read_y4m(dst)
    p_in = psnr_y(degraded, clean)
    p_out = psnr_y(out, clean)
    return p_out - p_in, ssim_y(out, clean) if with_ssim else float("nan"), p_out


def mean(values):
    return float(np.mean(values)) if values else float("nan")
