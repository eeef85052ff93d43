"""Shared helpers of the quality scripts: YUV4MPEG2 reading and writing,
degradations (Gaussian noise, blurred grain, MPEG-2 round trips) and the
PSNR / SSIM measures the tables report. Frames are lists of numpy planes
(Y, Cb, Cr) of 8-bit samples held as uint8."""
import os
import subprocess
import tempfile

import numpy as np

CHROMA_SHIFT = {"420": (1, 1), "420jpeg": (1, 1), "420mpeg2": (1, 1), "420paldv": (1, 1),
                "422": (1, 0), "444": (0, 0)}


class Clip:
    """An 8-bit clip: frames of three planes, plus the header fields."""

    def __init__(self, frames, chroma="422", rate=(25, 1), interlace="p"):
        self.frames = frames
        self.chroma = chroma
        self.rate = rate
        self.interlace = interlace

    @property
    def width(self):
        return self.frames[0][0].shape[1]

    @property
    def height(self):
        return self.frames[0][0].shape[0]


def write_y4m(path, clip):
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(("YUV4MPEG2 W%d H%d F%d:%d I%s A1:1 C%s\n" %
                 (clip.width, clip.height, clip.rate[0], clip.rate[1], clip.interlace,
                  clip.chroma)).encode())
        for planes in clip.frames:
            f.write(b"FRAME\n")
            for p in planes:
                f.write(np.ascontiguousarray(p, dtype=np.uint8).tobytes())
    os.replace(tmp, path)


def read_y4m(path):
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"\n")
    fields = data[:end].decode().split()[1:]
    params = {t[0]: t[1:] for t in fields}
    w, h = int(params["W"]), int(params["H"])
    chroma = params.get("C", "420")
    if chroma not in CHROMA_SHIFT:
        raise ValueError("%s: unsupported chroma %s" % (path, chroma))
    sx, sy = CHROMA_SHIFT[chroma]
    cw, ch = (w + sx) >> sx, (h + sy) >> sy
    rate = tuple(int(v) for v in params.get("F", "25:1").split(":"))
    frames = []
    pos = end + 1
    while pos < len(data):
        pos = data.index(b"\n", pos) + 1
        planes = []
        for pw, ph in ((w, h), (cw, ch), (cw, ch)):
            n = pw * ph
            planes.append(np.frombuffer(data, np.uint8, n, pos).reshape(ph, pw))
            pos += n
        frames.append(planes)
    return Clip(frames, chroma, rate, params.get("I", "p"))


def add_noise(clip, sigma, seed, grain_blur=0.0):
    """Adds Gaussian noise of standard deviation sigma (8-bit codes) to every
    plane. With grain_blur > 0 the noise is first blurred by a Gaussian of
    that radius and scaled back to sigma: spatially correlated grain."""
    from scipy.ndimage import gaussian_filter
    rng = np.random.default_rng(seed)
    frames = []
    for planes in clip.frames:
        out = []
        for p in planes:
            n = rng.standard_normal(p.shape)
            if grain_blur > 0:
                n = gaussian_filter(n, grain_blur, mode="wrap")
                n /= n.std()
            out.append(np.clip(np.rint(p + sigma * n), 0, 255).astype(np.uint8))
        frames.append(out)
    return Clip(frames, clip.chroma, clip.rate, clip.interlace)


def mpeg2_round_trip(clip, bitrate):
    """Encodes the clip as MPEG-2 at the given bit rate and decodes it again."""
    pix = {"420": "yuv420p", "422": "yuv422p"}[clip.chroma[:3]]
    with tempfile.TemporaryDirectory() as d:
        src, enc, dec = (os.path.join(d, n) for n in ("in.y4m", "c.mpg", "out.y4m"))
        write_y4m(src, clip)
        inter = [] if clip.interlace == "p" else ["-flags", "+ilme+ildct",
                                                 "-top", "1" if clip.interlace == "t" else "0"]
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-i", src, "-c:v", "mpeg2video",
                        "-b:v", bitrate, "-maxrate", bitrate, "-bufsize", "1835k",
                        "-g", "12", "-bf", "2", "-pix_fmt", pix] + inter + [enc], check=True)
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-i", enc, "-f", "yuv4mpegpipe",
                        "-pix_fmt", pix, dec], check=True)
        out = read_y4m(dec)
    out.interlace = clip.interlace
    return out


def mse(a, b):
    d = a.astype(np.float64) - b.astype(np.float64)
    return float(np.mean(d * d))


def psnr_y(clip, ref):
    """PSNR of the luma planes pooled over all frames, peak 255."""
    m = np.mean([mse(f[0], r[0]) for f, r in zip(clip.frames, ref.frames)])
    return 99.0 if m == 0 else 10 * np.log10(255.0 ** 2 / m)


def ssim_y(clip, ref):
    """Mean SSIM of the luma planes, Gaussian window of 1.5 (the usual form)."""
    from scipy.ndimage import gaussian_filter
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    vals = []
    for f, r in zip(clip.frames, ref.frames):
        x, y = f[0].astype(np.float64), r[0].astype(np.float64)
        mx, my = gaussian_filter(x, 1.5), gaussian_filter(y, 1.5)
        sxx = gaussian_filter(x * x, 1.5) - mx * mx
        syy = gaussian_filter(y * y, 1.5) - my * my
        sxy = gaussian_filter(x * y, 1.5) - mx * my
        s = ((2 * mx * my + c1) * (2 * sxy + c2)) / ((mx * mx + my * my + c1) * (sxx + syy + c2))
        vals.append(float(s[5:-5, 5:-5].mean()))
    return float(np.mean(vals))
