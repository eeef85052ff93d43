#!/usr/bin/python3
"""Builds the training clips of the quality scripts from photos and vector
art in Debian packages (mate-backgrounds, gnome-backgrounds,
ukui-wallpapers, openclipart-svg): 720x480 4:2:2, 8 bits, clean. Motion is
rendered from a larger picture (bilinear on a 2x2 supersampled grid, then
averaged), so sub-pixel pans and zooms stay sharp; interlaced clips weave
two fields rendered at twice the frame rate.

    make_clips.py OUTDIR        writes OUTDIR/<name>.y4m and OUTDIR/clips.json
"""
import json
import os
import subprocess
import sys

import numpy as np
from scipy.ndimage import map_coordinates

sys.path.insert(0, os.path.dirname(__file__))
from clipkit import Clip, write_y4m  # noqa: E402

W, H = 720, 480
PHOTOS = "/usr/share/backgrounds/mate/nature/"
ART = "/usr/share/openclipart/svg/"


def load_yuv444(path, width):
    """The picture scaled to `width` (Lanczos), as float Y, Cb, Cr planes."""
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                            "stream=width,height", "-of", "csv=p=0", path],
                           capture_output=True, text=True, check=True).stdout.split(",")
    sw, sh = int(probe[0]), int(probe[1])
    height = int(round(sh * width / sw / 2)) * 2
    raw = subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path, "-vf",
                          "scale=%d:%d:flags=lanczos,format=yuv444p" % (width, height),
                          "-f", "rawvideo", "-"], capture_output=True, check=True).stdout
    planes = np.frombuffer(raw, np.uint8).reshape(3, height, width).astype(np.float32)
    return [planes[0], planes[1], planes[2]]


def render_art(names, background, width, height, seed):
    """Clip art (flat colours, hard outlines) scattered over a flat background."""
    rng = np.random.default_rng(seed)
    canvas = np.empty((height, width, 3), np.float32)
    canvas[:] = background
    for i, name in enumerate(names):
        size = int(width * rng.uniform(0.2, 0.3))
        png = subprocess.run(["rsvg-convert", "-w", str(size), "-f", "png", ART + name],
                             capture_output=True, check=True).stdout
        raw = subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "png_pipe", "-i", "-",
                              "-f", "rawvideo", "-pix_fmt", "rgba", "-"], input=png,
                             capture_output=True, check=True).stdout
        h = len(raw) // (size * 4)
        rgba = np.frombuffer(raw, np.uint8).reshape(h, size, 4).astype(np.float32)
        cols = 3
        x0 = int((i % cols) * width / cols + rng.uniform(0, max(1, width / cols - size)))
        y0 = int((i // cols) * height / 2 + rng.uniform(0, max(1, height / 2 - h)))
        h = min(h, height - y0)
        a = rgba[:h, :, 3:4] / 255
        region = canvas[y0:y0 + h, x0:x0 + size]
        region[:] = region * (1 - a) + rgba[:h, :, :3] * a
    # BT.601 limited range, as ffmpeg converts the photos.
    r, g, b = canvas[..., 0], canvas[..., 1], canvas[..., 2]
    y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255
    cb = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255
    cr = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255
    return [y, cb, cr]


def sample(planes, cx, cy, scale):
    """One 4:4:4 frame of W x H: output pixel (x, y) shows the picture at
    (cx + (x - W/2) * scale, cy + (y - H/2) * scale), 2x2 supersampled."""
    ss = (np.arange(2 * W) + 0.5) / 2 - W / 2
    ts = (np.arange(2 * H) + 0.5) / 2 - H / 2
    gx, gy = np.meshgrid(cx + ss * scale - 0.5, cy + ts * scale - 0.5)
    out = []
    for p in planes:
        v = map_coordinates(p, [gy, gx], order=1, mode="reflect")
        out.append(v.reshape(H, 2, W, 2).mean(axis=(1, 3)))
    return out


def to_422(planes):
    y, cb, cr = (np.clip(np.rint(p), 0, 255) for p in planes)
    half = lambda p: np.clip(np.rint((p[:, 0::2] + p[:, 1::2]) / 2), 0, 255)  # noqa: E731
    return [y.astype(np.uint8), half(planes[1]).astype(np.uint8), half(planes[2]).astype(np.uint8)]


def paste(frame, obj, mask, x, y):
    """Pastes obj (4:4:4 planes) with a soft mask at (x, y), clipped to the frame."""
    out = [p.copy() for p in frame]
    oh, ow = mask.shape
    xi, yi = int(np.floor(x)), int(np.floor(y))
    x0, y0, x1, y1 = max(0, xi), max(0, yi), min(W, xi + ow), min(H, yi + oh)
    if x1 <= x0 or y1 <= y0:
        return out
    m = mask[y0 - yi:y1 - yi, x0 - xi:x1 - xi]
    for p, o in zip(out, obj):
        p[y0:y1, x0:x1] = p[y0:y1, x0:x1] * (1 - m) + o[y0 - yi:y1 - yi, x0 - xi:x1 - xi] * m
    return out


def motion_clip(planes, frames, start, velocity=(0, 0), zoom=1.0, scale=1.0, fields=False):
    """A camera over the picture: start (centre), velocity in output pixels
    per frame, zoom factor reached at the last frame."""
    steps = frames * 2 if fields else frames
    rendered = []
    for k in range(steps):
        t = k / 2 if fields else k
        s = scale / (1 + (zoom - 1) * t / max(1, frames - 1))
        cx = start[0] + velocity[0] * t * scale
        cy = start[1] + velocity[1] * t * scale
        rendered.append(sample(planes, cx, cy, s))
    if not fields:
        return [to_422(f) for f in rendered]
    woven = []
    for k in range(frames):
        top, bottom = rendered[2 * k], rendered[2 * k + 1]
        woven.append(to_422([np.where((np.arange(H) % 2 == 0)[:, None], a, b)
                             for a, b in zip(top, bottom)]))
    return woven


def object_clip(background, obj_planes, frames, start, velocity):
    """A static shot with a pasted object (an elliptical cut of another
    picture) moving across it."""
    bg = sample(background, background[0].shape[1] / 2, background[0].shape[0] / 2, 1.0)
    oh, ow = 180, 240
    oy, ox = np.mgrid[0:oh, 0:ow]
    r = ((ox - ow / 2) / (ow / 2)) ** 2 + ((oy - oh / 2) / (oh / 2)) ** 2
    mask = np.clip((1 - r) * 12, 0, 1).astype(np.float32)
    cy, cx = obj_planes[0].shape[0] // 2, obj_planes[0].shape[1] // 2
    obj = [p[cy - oh // 2:cy - oh // 2 + oh, cx - ow // 2:cx - ow // 2 + ow] for p in obj_planes]
    return [to_422(paste(bg, obj, mask, start[0] + velocity[0] * t, start[1] + velocity[1] * t))
            for t in range(frames)]


def sprite(name, height):
    """Clip art rendered `height` samples tall: 4:4:4 planes and an alpha mask."""
    png = subprocess.run(["rsvg-convert", "-h", str(height), "-f", "png", ART + name],
                         capture_output=True, check=True).stdout
    raw = subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "png_pipe", "-i", "-",
                          "-f", "rawvideo", "-pix_fmt", "rgba", "-"], input=png,
                         capture_output=True, check=True).stdout
    w = len(raw) // (height * 4)
    rgba = np.frombuffer(raw, np.uint8).reshape(height, w, 4).astype(np.float32)
    r, g, b = rgba[..., 0], rgba[..., 1], rgba[..., 2]
    planes = [16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255,
              128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255,
              128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255]
    return planes, rgba[..., 3] / 255


def life_clip(background, sprites, frames, velocity=(0, 0), jitter=0.0, inherent=0.0,
              seed=0, wave=0.0):
    """A shot with things moving in it: sprites (planes, mask, start, velocity
    in samples per frame) walk over the picture; the camera may pan, shake by
    `jitter` samples, or the picture sway (`wave` samples of a travelling
    sinusoidal displacement, like grass in the wind); `inherent` adds the
    camera's own noise to the clean clip."""
    rng = np.random.default_rng(seed)
    h0, w0 = background[0].shape
    out = []
    for t in range(frames):
        cx = w0 / 2 + velocity[0] * (t - frames / 2) + (rng.normal(0, jitter) if jitter else 0)
        cy = h0 / 2 + velocity[1] * (t - frames / 2) + (rng.normal(0, jitter) if jitter else 0)
        if wave:
            ss = (np.arange(2 * W) + 0.5) / 2 - W / 2
            ts = (np.arange(2 * H) + 0.5) / 2 - H / 2
            gx, gy = np.meshgrid(cx + ss - 0.5, cy + ts - 0.5)
            gx = gx + wave * np.sin(gy / 23.0 + t * 0.45) * np.sin(gx / 71.0)
            frame = [map_coordinates(p, [gy, gx], order=1, mode="reflect")
                     .reshape(H, 2, W, 2).mean(axis=(1, 3)) for p in background]
        else:
            frame = sample(background, cx, cy, 1.0)
        for planes, mask, start, v in sprites:
            frame = paste(frame, planes, mask, start[0] + v[0] * t, start[1] + v[1] * t)
        f = to_422(frame)
        if inherent:
            f = [np.clip(np.rint(p + rng.normal(0, inherent, p.shape)), 0, 255).astype(np.uint8)
                 for p in f]
        out.append(f)
    return out


def crossfade(a, b, length):
    """a's frames, then `length` frames fading from a's last to b's first, then b's."""
    fa = [p.astype(np.float32) for p in a[-1]]
    fb = [p.astype(np.float32) for p in b[0]]
    mid = []
    for k in range(1, length + 1):
        w = k / (length + 1)
        mid.append([np.clip(np.rint(x * (1 - w) + y * w), 0, 255).astype(np.uint8)
                    for x, y in zip(fa, fb)])
    return a + mid + b


def main(outdir):
    os.makedirs(outdir, exist_ok=True)
    photo = lambda name, width=1000: load_yuv444(PHOTOS + name + ".jpg", width)  # noqa: E731
    clips = {}

    def put(name, frames, kind, interlace="p"):
        write_y4m(os.path.join(outdir, name + ".y4m"), Clip(frames, "422", (25, 1), interlace))
        clips[name] = {"kind": kind, "frames": len(frames), "interlace": interlace}
        print(name, len(frames), kind, flush=True)

    n = 20
    statics = ["Garden", "Dune", "Wood", "Aqua", "TwoWings", "Storm", "GreenMeadow", "RainDrops",
               "LadyBird", "YellowFlower", "FreshFlower", "Blinds"]
    pics = {}
    for name in statics:
        pics[name] = photo(name)
        p = pics[name]
        put("static_" + name.lower(), motion_clip(p, n, (p[0].shape[1] / 2, p[0].shape[0] / 2)),
            "static")
    elephants = load_yuv444("/usr/share/backgrounds/mate/abstract/Elephants.jpg", 1000)
    put("static_elephants", motion_clip(elephants, n, (500, 280)), "static")

    pans = [("Garden", (0.6, 0.2)), ("Dune", (2.4, 0.0)), ("Wood", (-1.3, 0.7)),
            ("LadyBird", (4.1, -1.2)), ("Storm", (0.35, 0.0)), ("YellowFlower", (-2.7, -2.1)),
            ("TwoWings", (1.0, 1.6)), ("RainDrops", (-0.8, 0.0))]
    for name, v in pans:
        p = pics[name]
        start = (p[0].shape[1] / 2 - v[0] * n / 2, p[0].shape[0] / 2 - v[1] * n / 2)
        put("pan_%s" % name.lower(), motion_clip(p, n, start, v), "pan")
    for name, z in (("Aqua", 1.08), ("GreenMeadow", 0.93)):
        p = pics[name]
        put("zoom_%s" % name.lower(), motion_clip(p, n, (p[0].shape[1] / 2, p[0].shape[0] / 2),
                                                   zoom=z), "zoom")
    put("object_wood", object_clip(pics["Wood"], pics["LadyBird"], n, (40, 150), (9.5, 1.5)),
        "object")
    put("object_storm", object_clip(pics["Storm"], pics["Garden"], n, (600, 260), (-6.0, -3.0)),
        "object")
    for name, v in (("Dune", (1.5, 0.0)), ("Garden", (-0.9, 0.5)), ("FreshFlower", (3.0, 1.0))):
        p = pics[name]
        start = (p[0].shape[1] / 2 - v[0] * n / 2, p[0].shape[0] / 2 - v[1] * n / 2)
        put("ipan_%s" % name.lower(), motion_clip(p, n, start, v, fields=True), "pan", "t")
    p = pics["LadyBird"]
    put("istatic_ladybird", motion_clip(p, n, (p[0].shape[1] / 2, p[0].shape[0] / 2),
                                        fields=True), "static", "t")

    # Drawn content: clip art with flat colours and hard outlines.
    sets = [(["animals/baby-tux_alex_kuehne_01.svg", "animals/dragon_head_nicu_buculei_01.svg",
              "animals/emperor_penguin_ralf_ste_01.svg", "animals/cani_e_gatti_cat_and_do_01.svg",
              "animals/bat_orlando_karam_.svg", "animals/crawfish1_ganson.svg"], (236, 222, 190)),
            (["animals/armadillo_architetto_fra_01.svg", "animals/bison_leif_lodahl_01.svg",
              "animals/lizard_guillaume_boitel_.svg", "animals/az-lizard_benji_park_01.svg",
              "animals/lindworm_snake_jonadab_t_01.svg", "animals/2_dead_frogs_lumen_desig_01.svg"],
             (170, 205, 235))]
    for i, (names, bg) in enumerate(sets):
        art = render_art(names, bg, 1100, 720, seed=i)
        c = (550, 360)
        put("drawn_static%d" % i, motion_clip(art, n, c, scale=1.0), "static")
        v = (2.0, 0.0) if i == 0 else (-0.7, 0.4)
        put("drawn_pan%d" % i, motion_clip(art, n, (c[0] - v[0] * n / 2, c[1] - v[1] * n / 2), v),
            "pan")

    # Scene changes: a static shot cut to a pan, a pan cut to a static shot,
    # and a one-second cross-fade between two static shots.
    a = motion_clip(pics["Garden"], 12, (500, 312))
    v = (2.2, 0.4)
    b = motion_clip(pics["Storm"], 12, (500 - v[0] * 6, 320), v)
    put("cut_static_pan", a + b, "cut")
    c = motion_clip(pics["Wood"], 12, (480, 300), (1.4, -0.6))
    d = motion_clip(pics["Aqua"], 12, (500, 312))
    put("cut_pan_static", c + d, "cut")
    e = motion_clip(pics["Dune"], 10, (500, 300))
    f = motion_clip(pics["YellowFlower"], 10, (500, 312))
    put("fade_static", crossfade(e, f, 25), "fade")
    g = motion_clip(pics["Blinds"], 45, (300, 312), (1.2, 0.0))
    put("long_pan_blinds", g, "pan")

    # Static cameras with life in them, and camera noise in the clean clip.
    people = [sprite("people/" + n, hgt) for n, hgt in
              (("a_happy_boy_01.svg", 200), ("backpacker_ganson.svg", 230),
               ("adult_astrid_graeber_01.svg", 210), ("a_youngster_01.svg", 180),
               ("bussiness_woman_donna_i_01.svg", 220))]
    walk = lambda i, x, y, vx, vy=0.0: (people[i][0], people[i][1], (x, y), (vx, vy))  # noqa
    put("people_garden", life_clip(pics["Garden"], [walk(0, 60, 250, 1.2), walk(1, 520, 200, -2.0),
                                                    walk(2, 300, 260, 0.6)], n), "object")
    put("people_wood", life_clip(pics["Wood"], [walk(3, 100, 280, 2.5), walk(4, 600, 220, -1.0)], n),
        "object")
    put("people_storm_camera", life_clip(pics["Storm"], [walk(1, 80, 240, 1.6), walk(2, 450, 250,
                                                                                    -0.8)],
                                         n, inherent=0.7, seed=3), "object")
    put("camera_dune", life_clip(pics["Dune"], [], n, jitter=0.15, inherent=0.7, seed=4), "static")
    put("camera_yellowflower", life_clip(pics["YellowFlower"], [], n, jitter=0.1, inherent=0.5,
                                         seed=5), "static")
    put("wave_greenmeadow", life_clip(pics["GreenMeadow"], [], n, wave=1.5), "object")
    put("people_pan_dune", life_clip(pics["Dune"], [walk(0, 100, 260, 3.0), walk(4, 500, 220, -1.5)],
                                     n, velocity=(1.3, 0.0)), "pan")
    art0 = render_art(sets[0][0], sets[0][1], 1100, 720, seed=0)
    toon = [sprite("people/" + n, 220) for n in ("buddy01.svg", "a_boy_plays_soccer_01.svg")]
    put("drawn_people", life_clip(art0, [(toon[0][0], toon[0][1], (80, 230), (3.0, 0)),
                                         (toon[1][0], toon[1][1], (560, 200), (-1.8, 0.4))], n),
        "object")
    put("pan_elephants", motion_clip(elephants, n, (500 - 1.7 * n / 2, 280), (1.7, 0.3)), "pan")
    put("pan_greenmeadow", motion_clip(pics["GreenMeadow"], n, (500 - 0.9 * n / 2, 400), (0.9, 0.0)),
        "pan")

    with open(os.path.join(outdir, "clips.json"), "w") as fj:
        json.dump(clips, fj, indent=1, sort_keys=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/quality/clips")
