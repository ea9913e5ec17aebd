#!/usr/bin/env python3
"""Draws the window banner and the program icon of felnox1decrypt.

Makes, byte for byte the same on every run:
  ui/res/banner.bmp           459x108, 24 bpp, BI_RGB, bottom-up
  ui/res/banner-large.bmp     the same drawn at twice the size for 192 DPI,
                              918x216, 8 bpp, BI_RLE8 (a fifth of 24 bpp)
  ui/res/felnox1decrypt.ico   one 32x32 image, 16 colours, with AND mask

The build uses the files as committed; run this only to change the art:
    python3 tools/make_art.py
It needs Pillow (Debian: apt-get install python3-pil) and the DejaVu fonts
(fonts-dejavu-core). Pillow only draws: the BMP and ICO are written here.

The program paints its own line of text on the banner, right-aligned with its
top-right corner at (439, 63), so the area right of x=230 from y=56 to y=86 is
kept plain white (at twice the size: twice those).
"""
import os
import struct
import sys

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:  # a python3 of its own (pyenv, venv) may not see Debian's
    sys.path.append('/usr/lib/python3/dist-packages')
    try:
        from PIL import Image, ImageDraw, ImageFont
    except ImportError:
        sys.exit('make_art.py needs Pillow: apt-get install python3-pil')

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FONTS = '/usr/share/fonts/truetype/dejavu/'
W, H = 459, 108
SS = 4                                   # supersampling for the shapes

GREEN = (0, 153, 51)                     # the progress bar's colour
TEAL = (0, 128, 128)
INK = (38, 56, 48)                       # near-black with a green cast
LINE = (74, 110, 92)                     # outlines
MINT = (226, 242, 232)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def draw_motif(d, x, y, s, w):
    """A page with a folded corner and an open padlock over its lower right.
    (x, y) is the page's top-left, s the scale (1 = 32-pixel icon grid), w the
    outline width."""
    P = lambda px, py: (x + px * s, y + py * s)
    page = [P(2, 1), P(15, 1), P(21, 7), P(21, 29), P(2, 29)]
    d.polygon(page, fill=(255, 255, 255), outline=LINE, width=w)
    d.polygon([P(15, 1), P(15, 7), P(21, 7)], fill=MINT, outline=LINE, width=w)
    for i, (a, b) in enumerate([(5, 12), (5, 18), (5, 16), (5, 14)]):
        d.rectangle([P(a, 11 + 4 * i), P(b, 11 + 4 * i + 1)],
                    fill=(176, 204, 188))
    # open shackle: the left leg is lifted clear of the body
    d.arc([P(14, 8), P(26, 20)], 180, 360, fill=INK, width=round(2 * s))
    d.rectangle([P(14, 14), P(16, 16)], fill=INK)
    d.rectangle([P(24, 14), P(26, 20)], fill=INK)
    d.rounded_rectangle([P(12, 19), P(30, 31)], radius=2 * s,
                        fill=GREEN, outline=(0, 110, 40), width=w)
    d.ellipse([P(19, 22), P(23, 26)], fill=(255, 255, 255))
    d.rectangle([P(20, 25), P(22, 29)], fill=(255, 255, 255))


def banner(k=1):
    """The banner at k times its size (1 or 2), drawn at that size."""
    S = SS * k
    big = Image.new('RGB', (W * S, H * S), (255, 255, 255))
    d = ImageDraw.Draw(big)
    # a soft mint wash behind the motif, fading to white well before x=230
    for X in range(200 * S):
        t = X / (200 * S)
        d.line([(X, 0), (X, (H - 6) * S)], fill=mix(MINT, (255, 255, 255),
                                                    t * t * (3 - 2 * t)))
    # accent band along the bottom edge: green into teal
    for X in range(W * S):
        d.line([(X, (H - 5) * S), (X, H * S)],
               fill=mix(GREEN, TEAL, X / (W * S)))
    d.rectangle([0, (H - 6) * S, W * S, (H - 5) * S], fill=(190, 226, 204))
    draw_motif(d, 18 * S, 12 * S, 2.6 * S, round(1.2 * S))
    img = big.resize((W * k, H * k), Image.LANCZOS)

    # text is drawn at full size so FreeType's hinting keeps it crisp
    d = ImageDraw.Draw(img)
    bold = ImageFont.truetype(FONTS + 'DejaVuSans-Bold.ttf', 25 * k)
    light = ImageFont.truetype(FONTS + 'DejaVuSans.ttf', 25 * k)
    d.text((104 * k, 22 * k), 'Felnox1', font=bold, fill=INK)
    x = 104 * k + d.textlength('Felnox1 ', font=bold)
    d.text((x, 22 * k), 'Decryptor', font=light, fill=GREEN)
    return img


def write_bmp(img, path):
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    px = img.tobytes('raw', 'BGR')
    rows = b''.join(px[y * w * 3:(y + 1) * w * 3].ljust(stride, b'\0')
                    for y in reversed(range(h)))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows),
                       2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(rows), 0, 0, 14 + 40)
    with open(path, 'wb') as f:
        f.write(head + info + rows)


def rle8_row(row):
    """One row of palette indexes in BI_RLE8: runs of one colour as
    (count, index), other stretches of 3 or more literally (0, count, bytes,
    padded to a word), and the end-of-line mark."""
    out, i, n = bytearray(), 0, len(row)
    while i < n:
        run = 1
        while i + run < n and run < 255 and row[i + run] == row[i]:
            run += 1
        if run > 1:
            out += bytes((run, row[i]))
            i += run
            continue
        j = i  # a literal stretch lasts until two equal pixels begin a run
        while j < n and j - i < 255 and not (j + 1 < n and row[j + 1] == row[j]):
            j += 1
        if j - i < 3:
            out += b''.join(bytes((1, p)) for p in row[i:j])
        else:
            out += bytes((0, j - i)) + bytes(row[i:j]) + b'\0' * ((j - i) % 2)
        i = j
    return out + b'\0\0'


def write_bmp_rle8(img, path):
    # 256 colours, undithered: the art is flat areas, gradients and the
    # edges of text, which a dither would only turn to noise and long rows
    pal_img = img.quantize(256, method=Image.Quantize.MEDIANCUT,
                           dither=Image.Dither.NONE)
    w, h = pal_img.size
    px = pal_img.tobytes()
    rows = b''.join(rle8_row(px[y * w:(y + 1) * w])
                    for y in reversed(range(h))) + b'\0\1'
    colours = pal_img.getpalette()[:256 * 3]
    colours += [0] * (256 * 3 - len(colours))
    pal = b''.join(bytes((colours[i + 2], colours[i + 1], colours[i], 0))
                   for i in range(0, 256 * 3, 3))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 1, len(rows),  # BI_RLE8
                       5669, 5669, 256, 0)
    off = 14 + 40 + len(pal)
    head = struct.pack('<2sIHHI', b'BM', off + len(rows), 0, 0, off)
    with open(path, 'wb') as f:
        f.write(head + info + pal + rows)


# the icon's 16 colours; index 0 stays black, which is what the colour plane
# must hold where the AND mask makes the icon transparent
PALETTE = [(0, 0, 0), (255, 255, 255), INK, LINE, GREEN, (0, 110, 40),
           (92, 196, 128), MINT, (176, 204, 188), (210, 226, 217),
           (130, 160, 145), TEAL, (64, 64, 64), (240, 246, 242),
           (150, 220, 175), (0, 80, 30)]


def icon():
    # box-averaged from 16x so straight edges land whole on the pixel grid
    big = Image.new('RGBA', (32 * 16, 32 * 16), (0, 0, 0, 0))
    draw_motif(ImageDraw.Draw(big), 0, 0, 16, 16)
    small = big.convert('RGBa').resize((32, 32), Image.BOX).convert('RGBA')
    idx = [[0] * 32 for _ in range(32)]
    mask = [[1] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            r, g, b, a = small.getpixel((x, y))
            if a >= 128:   # nearest palette colour, never the black of index 0
                idx[y][x] = min(range(1, 16), key=lambda i: sum(
                    (c - p) ** 2 for c, p in zip((r, g, b), PALETTE[i])))
                mask[y][x] = 0
    return idx, mask


def write_ico(idx, mask, path):
    xor = b''.join(bytes(r[i] << 4 | r[i + 1] for i in range(0, 32, 2))
                   for r in reversed(idx))
    andm = b''.join(int(''.join(map(str, r)), 2).to_bytes(4, 'big')
                    for r in reversed(mask))
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 4, 0, len(xor) + len(andm),
                       0, 0, 16, 0)
    image = info + pal + xor + andm
    head = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, 'wb') as f:
        f.write(head + entry + image)


if __name__ == '__main__':
    out = os.path.join(ROOT, 'ui', 'res')
    os.makedirs(out, exist_ok=True)
    write_bmp(banner(), os.path.join(out, 'banner.bmp'))
    write_bmp_rle8(banner(2), os.path.join(out, 'banner-large.bmp'))
    write_ico(*icon(), os.path.join(out, 'felnox1decrypt.ico'))
