#!/usr/bin/env python3
"""Draws the Sarnivox application icon procedurally and writes it as ui/Sarnivox.ico.
Usage: make_icon.py OUTPUT.ico, or make_icon.py --check FILE (exit 1 unless FILE is current)."""

import argparse
import contextlib
import math
import os
import struct
import sys

# Geometry uses only + - * / and sqrt, which IEEE 754 rounds exactly, so the output
# cannot drift between machines or libm versions the way sin/cos/atan2 could.
K = math.sqrt(0.5)  # cos 45 degrees

# Standard 16-colour palette; index 0 must be black so transparent pixels draw nothing.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # fmt: skip
MONO = [(0, 0, 0), (255, 255, 255)]

WHITE = (255, 255, 255)
GRAD_TOP = (52, 112, 214)
GRAD_BOTTOM = (10, 38, 120)
RIM = (4, 16, 58)
SHADOW = (3, 14, 52)
SHADOW_ALPHA = 0.45

GRAD_STEPS = 16
FG_LEVELS = 8
RIM_LEVELS = 4
SHADOW_LEVELS = 3


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def gradient(t):
    return mix(GRAD_TOP, GRAD_BOTTOM, t)


def to_rgb(c):
    return tuple(min(255, max(0, int(x + 0.5))) for x in c)


def build_palette256():
    # Every blend the renderer can produce is a grid point, so quantising never invents hues.
    pal = [(0, 0, 0)]
    for g in range(GRAD_STEPS):
        bg = gradient(g / (GRAD_STEPS - 1))
        for f in range(1, FG_LEVELS + 1):
            pal.append(mix(bg, WHITE, f / FG_LEVELS) if f < FG_LEVELS else WHITE)
        pal.append(bg)
        for r in range(1, RIM_LEVELS + 1):
            pal.append(mix(bg, RIM, r / RIM_LEVELS))
        for s in range(1, SHADOW_LEVELS + 1):
            pal.append(mix(bg, SHADOW, SHADOW_ALPHA * s / SHADOW_LEVELS))
    pal = [to_rgb(c) for c in pal]
    unique = []
    for c in pal:
        if c not in unique:
            unique.append(c)
    assert len(unique) <= 256, len(unique)
    return unique + [(0, 0, 0)] * (256 - len(unique))


# --- shapes, in unit coordinates (0..1 across the icon, y down) ---


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    ex, ey = px - ax - t * dx, py - ay - t * dy
    return math.sqrt(ex * ex + ey * ey)


def rounded_square_depth(x, y, lo, hi, r):
    """Distance inside a rounded square (negative outside)."""
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    dx, dy = x - cx, y - cy
    if dx == 0.0 and dy == 0.0:
        return min(x - lo, hi - x, y - lo, hi - y)
    return r - math.sqrt(dx * dx + dy * dy)


class Art:
    """One size's artwork; proportions are tuned per size so small icons stay legible."""

    def __init__(self, size, style):
        self.size = size
        self.rim = style["rim"] / size
        self.stroke = style["stroke"] / size
        # Handset: local u runs along the handle, v points out of the ear and mouth cups.
        self.hc = style["handset_at"]
        self.hs = style["handset_scale"]
        self.handle = []
        n = 8
        for i in range(n + 1):
            u = -0.40 + 0.80 * i / n
            self.handle.append((u, -style["arch"] * (1.0 - u * u / 0.16)))
        cup = style["cup_len"]
        self.cups = [((-0.40, 0.0), (-0.42, cup)), ((0.40, 0.0), (0.42, cup))]
        self.handle_r = style["handle_r"]
        self.cup_r = style["cup_r"]
        # Arcs radiate from the handset's hollow towards the upper right.
        self.arc_c = style["arcs_at"]
        self.arc_r = style["radii"]
        self.arc_cos = 0.8  # half-opening of about 37 degrees
        # Round caps at the arc ends: the axis (K, -K) turned by +-37 degrees (cos 0.8, sin 0.6).
        self.arc_ends = [
            (K * 0.8 + K * 0.6, K * 0.6 - K * 0.8),
            (K * 0.8 - K * 0.6, -K * 0.6 - K * 0.8),
        ]

    def local(self, x, y):
        dx, dy = (x - self.hc[0]) / self.hs, (y - self.hc[1]) / self.hs
        return -K * dx - K * dy, K * dx - K * dy

    def handset(self, x, y):
        u, v = self.local(x, y)
        for (ax, ay), (bx, by) in zip(self.handle, self.handle[1:]):
            if seg_dist(u, v, ax, ay, bx, by) <= self.handle_r:
                return True
        for (ax, ay), (bx, by) in self.cups:
            if seg_dist(u, v, ax, ay, bx, by) <= self.cup_r:
                return True
        return False

    def arcs(self, x, y):
        dx, dy = x - self.arc_c[0], y - self.arc_c[1]
        d = math.sqrt(dx * dx + dy * dy)
        hw = self.stroke * 0.5
        inside = dx * K - dy * K >= d * self.arc_cos
        for r in self.arc_r:
            if inside and abs(d - r) <= hw:
                return True
            for ux, uy in self.arc_ends:
                ex, ey = dx - r * ux, dy - r * uy
                if ex * ex + ey * ey <= hw * hw:
                    return True
        return False

    def sample(self, x, y):
        """Returns (in_square, rim, foreground, shadow) for one sample point."""
        depth = rounded_square_depth(x, y, 0.0, 1.0, 0.2)
        if depth < 0.0:
            return False, False, False, False
        fg = self.handset(x, y) or self.arcs(x, y)
        s = 1.0 / self.size
        shadow = not fg and (self.handset(x - s, y - s) or self.arcs(x - s, y - s))
        return True, depth < self.rim, fg, shadow


def render(art, ss):
    """Supersamples the artwork into per-pixel coverage fractions."""
    n = art.size
    out = []
    for py in range(n):
        row = []
        for px in range(n):
            cov = [0, 0, 0, 0]
            for j in range(ss):
                y = (py + (j + 0.5) / ss) / n
                for i in range(ss):
                    x = (px + (i + 0.5) / ss) / n
                    for k, hit in enumerate(art.sample(x, y)):
                        if hit:
                            cov[k] += 1
            total = ss * ss
            row.append(tuple(c / total for c in cov))
        out.append(row)
    return out


def nearest(pal, c):
    best, best_d = 0, None
    for i, p in enumerate(pal):
        d = (p[0] - c[0]) ** 2 + (p[1] - c[1]) ** 2 + (p[2] - c[2]) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def quantise_full(cov, pal):
    n = len(cov)
    cache = {}
    idx, mask = [], []
    for py in range(n):
        irow, mrow = [], []
        for px in range(n):
            sq, rim, fg, sh = cov[py][px]
            if sq < 0.5:
                irow.append(0)
                mrow.append(1)
                continue
            inside = 1.0 / sq
            c = gradient(py / (n - 1))
            c = mix(c, RIM, min(1.0, rim * inside))
            c = mix(c, SHADOW, SHADOW_ALPHA * min(1.0, sh * inside))
            c = mix(c, WHITE, min(1.0, fg * inside))
            c = to_rgb(c)
            if c not in cache:
                cache[c] = nearest(pal, c)
            irow.append(cache[c])
            mrow.append(0)
        idx.append(irow)
        mask.append(mrow)
    return idx, mask


def quantise_vga(cov, soft):
    # With the fixed 16 colours, crisp thresholds read better than dithered blends.
    n = len(cov)
    idx, mask = [], []
    for py in range(n):
        irow, mrow = [], []
        for px in range(n):
            sq, rim, fg, _ = cov[py][px]
            if sq < 0.5:
                irow.append(0)
                mrow.append(1)
                continue
            if fg >= 0.55:
                irow.append(15)
            elif soft and fg >= 0.25:
                irow.append(7)
            elif rim >= 0.5 * sq:
                irow.append(0)
            else:
                irow.append(4)
            mrow.append(0)
        idx.append(irow)
        mask.append(mrow)
    return idx, mask


def quantise_mono(cov):
    n = len(cov)
    idx, mask = [], []
    for py in range(n):
        irow, mrow = [], []
        for px in range(n):
            sq, _, fg, _ = cov[py][px]
            if sq < 0.5:
                irow.append(0)
                mrow.append(1)
            else:
                irow.append(1 if fg >= 0.5 else 0)
                mrow.append(0)
        idx.append(irow)
        mask.append(mrow)
    return idx, mask


def pack_rows(rows, bpp):
    """Packs rows bottom-up, MSB first, each padded to a 32-bit boundary."""
    out = bytearray()
    for row in reversed(rows):
        bits = 0
        nbits = 0
        line = bytearray()
        for v in row:
            bits = (bits << bpp) | v
            nbits += bpp
            if nbits == 8:
                line.append(bits)
                bits = nbits = 0
        if nbits:
            line.append(bits << (8 - nbits))
        line.extend(b"\0" * (-len(line) % 4))
        out += line
    return bytes(out)


def dib_image(size, bpp, pal, idx, mask):
    xor = pack_rows(idx, bpp)
    andm = pack_rows(mask, 1)
    assert len(pal) == 1 << bpp
    header = struct.pack(
        "<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(andm), 0, 0, 0, 0
    )
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    return header + palette + xor + andm


STYLE32 = {
    "handset_at": (0.40, 0.60), "handset_scale": 0.68, "arch": 0.12, "handle_r": 0.075,
    "cup_len": 0.14, "cup_r": 0.12, "arcs_at": (0.44, 0.56), "radii": (0.27, 0.41), "stroke": 2.4,
    "rim": 1, "soft": True, "ss": 8,
}  # fmt: skip
# At 16 pixels a flatter, larger handset and crisp two-colour edges stay readable.
STYLE16 = dict(STYLE32, handset_at=(0.37, 0.63), handset_scale=0.75, arch=0.06, handle_r=0.085,
               cup_r=0.125, arcs_at=(0.42, 0.58), radii=(0.36, 0.52), stroke=1.2, rim=0,
               soft=False, ss=16)  # fmt: skip
STYLE48 = dict(STYLE32, radii=(0.25, 0.37, 0.49), stroke=2.8, ss=6)
IMAGES = [(16, 4, STYLE16), (32, 1, STYLE32), (32, 4, STYLE32), (32, 8, STYLE32), (48, 8, STYLE48)]


def build_ico(images=IMAGES):
    pal256 = build_palette256()
    cache = {}
    frames = []
    for size, bpp, style in images:
        key = (size, repr(sorted(style.items())))
        if key not in cache:
            cache[key] = render(Art(size, style), style["ss"])
        cov = cache[key]
        if bpp == 1:
            pal, (idx, mask) = MONO, quantise_mono(cov)
        elif bpp == 4:
            pal, (idx, mask) = VGA16, quantise_vga(cov, style["soft"])
        else:
            pal, (idx, mask) = pal256, quantise_full(cov, pal256)
        frames.append((size, bpp, dib_image(size, bpp, pal, idx, mask)))

    out = bytearray(struct.pack("<HHH", 0, 1, len(frames)))
    offset = 6 + 16 * len(frames)
    for size, bpp, data in frames:
        colors = (1 << bpp) if bpp < 8 else 0
        out += struct.pack("<BBBBHHII", size, size, colors, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for _, _, data in frames:
        out += data
    return bytes(out)


def main(argv):
    ap = argparse.ArgumentParser(description="Generate the Sarnivox application icon.")
    group = ap.add_mutually_exclusive_group(required=True)
    group.add_argument("output", nargs="?", help="path of the .ico file to write")
    group.add_argument("--check", metavar="FILE", help="exit 1 unless FILE matches the generator")
    args = ap.parse_args(argv)

    data = build_ico()
    if args.check is not None:
        try:
            with open(args.check, "rb") as f:
                existing = f.read()
        except OSError as e:
            print(f"make_icon: cannot read {args.check}: {e.strerror}", file=sys.stderr)
            return 1
        if existing != data:
            diffs = (i for i, (a, b) in enumerate(zip(existing, data)) if a != b)
            at = next(diffs, min(len(existing), len(data)))
            print(
                f"make_icon: {args.check} is out of date (first difference at byte {at}; "
                f"{len(existing)} bytes, expected {len(data)}); "
                f"regenerate with: python3 tools/make_icon.py {args.check}",
                file=sys.stderr,
            )
            return 1
        return 0

    # Write beside the target then rename, so a failed run never leaves a truncated icon.
    tmp = args.output + ".tmp"
    try:
        with open(tmp, "wb") as f:
            f.write(data)
        os.replace(tmp, args.output)
    except OSError as e:
        with contextlib.suppress(OSError):
            os.unlink(tmp)
        print(f"make_icon: cannot write {args.output}: {e.strerror}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
