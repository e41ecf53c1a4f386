#!/usr/bin/python3
"""Draws every picture and synthesises every sound the program carries, and
writes them with a C++ source that embeds them.

  generate.py OUT_DIR

writes OUT_DIR/<name>.png|.ico|.wav and OUT_DIR/resources_data.cpp. Geometry
and colours follow the program's design (header, toolbar, badge, edge
shadows, tray icon); nothing is copied from elsewhere. Text on pictures is
drawn with Debian's WenQuanYi Micro Hei.
"""
import io
import math
import struct
import sys
import wave
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

FONT = '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc'
RESOURCES = []  # (identifier, file name)


def font(px):
    return ImageFont.truetype(FONT, px)


def save_png(out, name, img):
    img.save(out / f'{name}.png', optimize=True)
    RESOURCES.append((name, f'{name}.png'))


def rgba(w, h, colour=(0, 0, 0, 0)):
    return Image.new('RGBA', (w, h), colour)


def rounded(draw, box, radius, fill=None, outline=None):
    draw.rounded_rectangle(box, radius=radius, fill=fill, outline=outline)


def plus(draw, cx, cy, size, colour, width=2):
    h = size // 2
    draw.rectangle([cx - h, cy - width // 2, cx + h, cy - width // 2 + width - 1], fill=colour)
    draw.rectangle([cx - width // 2, cy - h, cx - width // 2 + width - 1, cy + h], fill=colour)


def vertical_gradient(w, h, top, bottom):
    img = rgba(w, h)
    px = img.load()
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        for x in range(w):
            px[x, y] = c
    return img


# ------------------------------------------------------------ header

def pin_strip(out):
    # Almost white, fading to transparent downwards; the hover variant is a
    # light blue gradient.
    save_png(out, 'PinStrip', vertical_gradient(350, 25, (255, 255, 255, 250), (255, 255, 255, 0)))
    save_png(out, 'PinStripHover', vertical_gradient(350, 25, (214, 232, 250, 250), (230, 241, 252, 0)))


def toolbar_strip(out):
    img = vertical_gradient(350, 73, (247, 247, 247, 255), (240, 240, 240, 255))
    d = ImageDraw.Draw(img)
    d.line([(0, 72), (349, 72)], fill=(226, 226, 226, 255))
    # The add tile (cyan), the new-category tile (grey), the search field
    # (white): over the hit areas at x 11, 61 and 112, y 31 .. 52.
    rounded(d, [11, 31, 59, 52], 3, fill=(0, 199, 232, 255))
    plus(d, 35, 41, 11, (255, 255, 255, 255))
    rounded(d, [61, 31, 109, 52], 3, fill=(204, 204, 204, 255))
    plus(d, 85, 41, 11, (255, 255, 255, 255))
    rounded(d, [112, 31, 297, 52], 3, fill=(255, 255, 255, 255), outline=(214, 214, 214, 255))
    save_png(out, 'ToolbarStrip', img)


def buttons(out):
    # Almost fully transparent hit areas (alpha 3: hit, but not seen).
    save_png(out, 'ButtonHitArea', rgba(49, 22, (255, 255, 255, 3)))
    img = rgba(49, 22)
    d = ImageDraw.Draw(img)
    rounded(d, [0, 0, 48, 21], 3, fill=(0, 160, 214, 255))
    plus(d, 24, 10, 11, (255, 255, 255, 255))
    save_png(out, 'AddButtonHover', img)
    img = rgba(51, 22)
    d = ImageDraw.Draw(img)
    rounded(d, [0, 0, 48, 21], 3, fill=(170, 170, 170, 255))
    plus(d, 24, 10, 11, (255, 255, 255, 255))
    save_png(out, 'NewCategoryButtonHover', img)


def search_frame(out):
    img = rgba(186, 22)
    d = ImageDraw.Draw(img)
    rounded(d, [0, 0, 185, 21], 3, outline=(196, 196, 196, 255))
    # A magnifier left of the edit box (which starts at x 34).
    d.ellipse([12, 5, 21, 14], outline=(150, 150, 150, 255), width=2)
    d.line([(20, 13), (24, 17)], fill=(150, 150, 150, 255), width=2)
    save_png(out, 'SearchFieldFrame', img)


def bar_template(out):
    # A breadcrumb bar with the four view tabs; their hit ranges are x 67-115,
    # 122-170, 177-225 and 233-281, their marker 24 pixels from y 2.
    img = bar_background()
    d = ImageDraw.Draw(img)
    f = font(12)
    for caption, left, right in (('添加', 67, 115), ('访问', 122, 170), ('常用', 177, 225), ('域名', 233, 281)):
        w = d.textlength(caption, font=f)
        d.text(((left + right) / 2 - w / 2, 6), caption, font=f, fill=(90, 90, 90, 255))
    save_png(out, 'BarTemplate', img)
    save_png(out, 'BarBackground', bar_background())


def bar_background():
    img = rgba(350, 44)
    d = ImageDraw.Draw(img)
    rounded(d, [0, 0, 349, 43], 4, fill=(252, 252, 252, 255), outline=(221, 221, 221, 255))
    d.line([(1, 1), (348, 1)], fill=(255, 255, 255, 255))
    return img


def view_tab_marker(out):
    img = rgba(55, 24)
    rounded(ImageDraw.Draw(img), [0, 0, 54, 23], 5, fill=(211, 211, 211, 133))
    save_png(out, 'ViewTabMarker', img)


def badge_frame(out):
    # Drawn over the browser's icon (at 2, -4): a rounded border, open inside.
    img = rgba(36, 22)
    d = ImageDraw.Draw(img)
    rounded(d, [0, 0, 35, 21], 3, outline=(196, 196, 196, 255))
    rounded(d, [1, 1, 34, 20], 2, outline=(255, 255, 255, 180))
    save_png(out, 'BadgeFrame', img)


def edge_shadows(out):
    # Right edge: column 0 opaque grey, 1-4 white at alpha 120, 5 grey 102 at
    # alpha 120, then a ramp of alphas 102, 83, 64, 46, 27, 8, then nothing.
    columns = [(204, 204, 204, 255)] + [(255, 255, 255, 120)] * 4 + [(102, 102, 102, 120)]
    columns += [(102, 102, 102, a) for a in (102, 83, 64, 46, 27, 8)]
    columns += [(0, 0, 0, 0)] * (20 - len(columns))
    right = rgba(20, 200)
    px = right.load()
    for x, c in enumerate(columns):
        for y in range(200):
            px[x, y] = c
    save_png(out, 'RightEdgeShadow', right)
    save_png(out, 'LeftEdgeShadow', right.transpose(Image.FLIP_LEFT_RIGHT))


# ------------------------------------------------------------ the list

BORDER = (204, 204, 204, 255)
WHITE = (255, 255, 255, 255)


def card_pictures(out):
    # A row of the white card (x 27-322) with a faint divider under it.
    middle = rgba(350, 20)
    d = ImageDraw.Draw(middle)
    d.rectangle([28, 0, 321, 19], fill=WHITE)
    d.line([(28, 19), (321, 19)], fill=(243, 243, 243, 255))
    d.line([(27, 0), (27, 19)], fill=BORDER)
    d.line([(322, 0), (322, 19)], fill=BORDER)
    save_png(out, 'CardMiddle', middle)
    # The last row: y 0-15 as a row, closed by rounded corners at y 16-20.
    bottom = rgba(350, 24)
    d = ImageDraw.Draw(bottom)
    d.rounded_rectangle([27, -10, 322, 20], radius=3, fill=WHITE, outline=BORDER)
    save_png(out, 'CardBottom', bottom)
    # Above the first row: transparent to y 15, the rounded top from y 16.
    top = rgba(350, 20)
    d = ImageDraw.Draw(top)
    d.rounded_rectangle([27, 16, 322, 30], radius=3, fill=WHITE, outline=(205, 205, 205, 255))
    save_png(out, 'CardTop', top)


def small_icon(fill):
    img = rgba(16, 16)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([0, 0, 15, 15], radius=3, fill=(238, 238, 238, 255), outline=BORDER)
    d.rounded_rectangle([2, 2, 13, 13], radius=2, fill=fill)
    return img


def list_pictures(out):
    save_png(out, 'CategoryIcon', small_icon((102, 102, 102, 255)))
    save_png(out, 'DefaultSiteIcon', small_icon((0, 199, 232, 255)))
    band = rgba(350, 26)
    px = band.load()
    for y in range(2, 22):
        t = (y - 2) / 19
        c = (round(167 - 10 * t), round(180 - 8 * t), round(209 - 5 * t), 49)
        for x in range(30, 320):
            px[x, y] = c
    save_png(out, 'HoverBand', band)
    sep = rgba(350, 20)
    px = sep.load()
    for x in range(31, 175):
        a = round(128 * (x - 31) / (174 - 31))
        for y in range(20):
            px[x, y] = (102, 102, 102, a)
    for x in range(175, 315):
        a = round(128 * (314 - x) / (314 - 175))
        for y in range(20):
            px[x, y] = (200, 200, 200, a)
    d = ImageDraw.Draw(sep)
    plus(d, 154, 10, 11, WHITE, width=1)
    d.line([(190, 10), (200, 10)], fill=(153, 153, 153, 255))
    save_png(out, 'SeparatorBand', sep)
    for name, grey in (('ScrollThumb', (194, 194, 194, 255)), ('ScrollThumbHover', (169, 172, 177, 255))):
        thumb = rgba(27, 88, (0, 0, 0, 3))  # grabbable all over
        rounded(ImageDraw.Draw(thumb), [10, 2, 16, 85], 3, fill=grey)
        save_png(out, name, thumb)
    top = rgba(350, 20)
    px = top.load()
    for y in range(20):
        a = 255 if y <= 4 else round(255 * (19 - y) / 15)
        for x in range(350):
            px[x, y] = (247, 247, 247, a)
    save_png(out, 'TopFade', top)
    bottom = rgba(350, 20)
    px = bottom.load()
    for y in range(20):
        a = 0 if y <= 1 else (255 if y >= 16 else round(255 * (y - 1) / 15))
        for x in range(350):
            px[x, y] = (247, 247, 247, a)
    save_png(out, 'BottomFade', bottom)
    save_png(out, 'InsertionLine', rgba(295, 1, (128, 0, 128, 255)))
    badge = rgba(60, 20)
    d = ImageDraw.Draw(badge)
    rounded(d, [0, 0, 59, 19], 4, fill=(128, 0, 128, 255))
    f = font(12)
    w = d.textlength('点击插入', font=f)
    d.text((30 - w / 2, 2), '点击插入', font=f, fill=WHITE)
    save_png(out, 'InsertBadge', badge)


def panel_buttons(out):
    # The panels' 70 x 20 image buttons: 确定 (confirm) and 返回 (back).
    for name, caption, fill in (('OkButton', '确定', (0, 170, 214, 255)), ('CancelButton', '返回', (170, 170, 170, 255)),
                                ('OkButtonHover', '确定', (0, 150, 194, 255)),
                                ('CancelButtonHover', '返回', (150, 150, 150, 255))):
        img = rgba(70, 20)
        d = ImageDraw.Draw(img)
        rounded(d, [0, 0, 69, 19], 3, fill=fill)
        f = font(12)
        w = d.textlength(caption, font=f)
        d.text((35 - w / 2, 2), caption, font=f, fill=WHITE)
        save_png(out, name, img)


def panel_background(out):
    # The bookmark panel (350 x 500): the captions above the three boxes and
    # their frames (boxes at 49,148 251x20; 49,202 251x20; 49,258 251x60).
    img = rgba(350, 500, (255, 255, 255, 255))
    d = ImageDraw.Draw(img)
    f = font(12)
    grey = (120, 120, 120, 255)
    frame = (210, 210, 210, 255)
    for caption, top, height in (('标题', 148, 20), ('地址', 202, 20), ('备注', 258, 60)):
        d.text((49, top - 19), caption, font=f, fill=grey)
        d.rectangle([47, top - 2, 49 + 251 + 1, top + height + 1], outline=frame)
    d.line([49, 110, 300, 110], fill=(235, 235, 235, 255))
    save_png(out, 'PanelBackground', img)


def about_background(out):
    # The about page (350 x 300): the product's name over a quiet background.
    img = rgba(350, 300, (255, 255, 255, 255))
    d = ImageDraw.Draw(img)
    f = font(16)
    w = d.textlength('Linkhoard', font=f)
    d.text((175 - w / 2, 30), 'Linkhoard', font=f, fill=(0, 170, 214, 255))
    d.line([49, 62, 300, 62], fill=(235, 235, 235, 255))
    save_png(out, 'AboutBackground', img)


# ------------------------------------------------------------ tray and application icons

def tray_picture(size):
    """The tray picture at `size` pixels: a cyan rounded square holding a
    white bookmark ribbon, drawn on the 104-pixel grid of the tray icon
    (at 8 times the size, then reduced, for the smaller application icons)."""
    if size == 104:
        scale, img = 1, rgba(104, 104)
    else:
        scale = size * 8 / 104
        img = rgba(size * 8, size * 8)
    d = ImageDraw.Draw(img)

    def s(v):
        return round(v * scale)

    rounded(d, [s(4), s(4), s(99), s(99)], s(20), fill=(0, 199, 232, 255))
    d.polygon([(s(36), s(22)), (s(68), s(22)), (s(68), s(82)), (s(52), s(68)), (s(36), s(82))],
              fill=(255, 255, 255, 255))
    if size != 104:
        # Reduced with premultiplied colours, so the transparent corners
        # do not darken the edge.
        img = img.convert('RGBa').resize((size, size), Image.LANCZOS).convert('RGBA')
    return img


def ico_bitmap(img):
    """One 32-bit icon image: BITMAPINFOHEADER (height doubled), the pixels
    bottom row first, and an all-zero AND mask (alpha decides)."""
    w, h = img.size
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a))
    mask = bytes(((w + 31) // 32) * 4 * h)
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + mask


def ico_file(images):
    """An icon file of (side, image bytes) entries, in the order given."""
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, data in images:
        dim = 0 if side >= 256 else side
        directory += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + b''.join(data for _, data in images)


def tray_icon(out):
    # One 104 x 104 image of 32 bits: 6 + 16 + 40 + 104*104*4 + AND mask
    # 16*104 = 44,990 bytes.
    ico = ico_file([(104, ico_bitmap(tray_picture(104)))])
    assert len(ico) == 44990, len(ico)
    (out / 'TrayIcon.ico').write_bytes(ico)
    RESOURCES.append(('TrayIcon', 'TrayIcon.ico'))


def app_icon(out):
    # The executable's icon (compiled in by windres, not embedded as bytes):
    # the tray picture at the sizes the shell asks for, bitmaps up to 64 and
    # a PNG at 256.
    images = [(side, ico_bitmap(tray_picture(side))) for side in (16, 20, 24, 32, 40, 48, 64)]
    big = io.BytesIO()
    tray_picture(256).save(big, format='PNG', optimize=True)
    images.append((256, big.getvalue()))
    (out / 'AppIcon.ico').write_bytes(ico_file(images))


# ------------------------------------------------------------ sounds

def write_wav(out, name, rate, frames):
    buf = io.BytesIO()
    with wave.open(buf, 'wb') as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames)
    (out / f'{name}.wav').write_bytes(buf.getvalue())
    RESOURCES.append((name, f'{name}.wav'))


def chime(rate, seconds, notes):
    """Stereo 16-bit frames of decaying sine notes: (start s, freq Hz, pan)."""
    n = int(rate * seconds)
    left = [0.0] * n
    right = [0.0] * n
    for start, freq, pan in notes:
        s0 = int(start * rate)
        for i in range(s0, n):
            t = (i - s0) / rate
            env = math.exp(-t * 3.2) * min(1.0, t * 200)
            v = env * (math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(4 * math.pi * freq * t))
            left[i] += v * (1 - pan)
            right[i] += v * pan
    peak = max(max(abs(v) for v in left), max(abs(v) for v in right)) or 1
    frames = bytearray()
    for a, b in zip(left, right):
        frames += struct.pack('<hh', int(a / peak * 20000), int(b / peak * 20000))
    return bytes(frames)


def short_sound(freq_from, freq_to):
    """Half a second of 16-bit stereo at 44.1 kHz: a quick decaying sweep."""
    rate = 44100
    n = rate // 2
    frames = bytearray()
    phase = 0.0
    for i in range(n):
        t = i / n
        freq = freq_from + (freq_to - freq_from) * t
        phase += 2 * math.pi * freq / rate
        v = math.sin(phase) * math.exp(-t * 6) * min(1.0, i / 100) * 12000
        frames += struct.pack('<hh', int(v), int(v))
    return rate, bytes(frames)


def bin_strip(out):
    # The recycle-bin window's strip: short grey dashes on white, 32 x 150.
    img = rgba(32, 150, (255, 255, 255, 255))
    d = ImageDraw.Draw(img)
    for y in range(6, 150, 8):
        d.line([(9, y), (22, y)], fill=(190, 190, 190, 255), width=2)
    save_png(out, 'BinStrip', img)


def sounds(out):
    rate, frames = short_sound(660, 990)
    write_wav(out, 'SeparatorSound', rate, frames)
    rate, frames = short_sound(880, 440)
    write_wav(out, 'RemovalSound', rate, frames)
    # Emptying the bin: a falling sweep, half a second, stereo 44.1 kHz.
    rate, frames = short_sound(520, 180)
    write_wav(out, 'BinSound', rate, frames)
    # Start-up: 2 channels, 22,050 Hz, 16 bits, 241,512 bytes of samples.
    frames = chime(22050, 241512 / 4 / 22050, [(0.0, 523.25, 0.4), (0.18, 659.25, 0.5), (0.36, 783.99, 0.6),
                                               (0.54, 1046.5, 0.5)])
    assert len(frames) == 241512, len(frames)
    write_wav(out, 'StartupSound', 22050, frames)


# ------------------------------------------------------------ output

def write_source(out):
    lines = ['// Generated by resources/generate.py; do not edit.',
             '#include "resources/resources.h"', '', 'namespace lh::resources {', '', 'namespace {', '']
    for ident, file in RESOURCES:
        data = (out / file).read_bytes()
        lines.append(f'const unsigned char k{ident}[{len(data)}] = {{')
        for i in range(0, len(data), 24):
            lines.append('  ' + ','.join(str(b) for b in data[i:i + 24]) + ',')
        lines.append('};')
    lines += ['', '}  // namespace', '', 'std::string_view bytes(Resource r) {', '  switch (r) {']
    for ident, _ in RESOURCES:
        lines.append(f'    case Resource::{ident}: return {{reinterpret_cast<const char*>(k{ident}), sizeof k{ident}}};')
    lines += ['  }', '  return {};', '}', '', 'const char* nameOf(Resource r) {', '  switch (r) {']
    for ident, file in RESOURCES:
        lines.append(f'    case Resource::{ident}: return "{file}";')
    lines += ['  }', '  return "";', '}', '', '}  // namespace lh::resources', '']
    (out / 'resources_data.cpp').write_text('\n'.join(lines))


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    pin_strip(out)
    toolbar_strip(out)
    buttons(out)
    search_frame(out)
    bar_template(out)
    view_tab_marker(out)
    badge_frame(out)
    edge_shadows(out)
    card_pictures(out)
    list_pictures(out)
    panel_buttons(out)
    panel_background(out)
    about_background(out)
    bin_strip(out)
    tray_icon(out)
    app_icon(out)
    sounds(out)
    write_source(out)


main()
