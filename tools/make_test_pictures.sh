#!/usr/bin/env bash
# Makes the decoder test pictures in tests/canvas/pictures with ImageMagick
# (Debian's imagemagick package), from small reference images written here.
# Each coded picture has a PNG twin decoded by ImageMagick itself, so the
# tests compare our decoders against an independent decoder.
set -euo pipefail
CONVERT=/usr/bin/convert
OUT="$(cd "$(dirname "$0")/.." && pwd)/tests/canvas/pictures"
mkdir -p "$OUT"
cd "$OUT"
rm -f ./*.png ./*.bmp ./*.gif ./*.jpg ./*.ico ./*.cur

python3 - <<'PY'
# 4 x 3 reference pictures: RGBA with a half-transparent and a transparent
# pixel, the same with binary alpha, and an opaque one.
rows = [
    [(255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (255, 255, 255, 255)],
    [(0, 0, 0, 255), (255, 255, 0, 255), (0, 255, 255, 255), (255, 0, 255, 255)],
    [(128, 128, 128, 255), (255, 0, 0, 128), (0, 0, 0, 0), (255, 128, 0, 255)],
]
def pam(name, rows, alpha):
    depth = 4 if alpha else 3
    tupl = 'RGB_ALPHA' if alpha else 'RGB'
    head = f'P7\nWIDTH 4\nHEIGHT 3\nDEPTH {depth}\nMAXVAL 255\nTUPLTYPE {tupl}\nENDHDR\n'.encode()
    body = bytes(c for row in rows for px in row for c in px[:depth])
    open(name, 'wb').write(head + body)
pam('ref-rgba.pam', rows, True)
binary = [[(r, g, b, 255 if a else 0) for (r, g, b, a) in row] for row in rows]
pam('ref-binary.pam', binary, True)
pam('ref-opaque.pam', [[(r, g, b, 255) if a == 255 else (0, 0, 128, 255) for (r, g, b, a) in row] for row in rows], False)
PY

$CONVERT ref-rgba.pam rgba.png
$CONVERT ref-opaque.pam -type TrueColor BMP3:bmp24.bmp
$CONVERT ref-rgba.pam -type TrueColorAlpha BMP:bmp32-alpha.bmp
$CONVERT ref-opaque.pam -type Palette -colors 16 -depth 4 BMP3:bmp4.bmp
$CONVERT ref-opaque.pam -threshold 50% -type Bilevel BMP3:bmp1.bmp
$CONVERT ref-opaque.pam -define bmp:subtype=RGB565 BMP:bmp16-565.bmp
$CONVERT ref-opaque.pam -define bmp:subtype=RGB555 BMP:bmp16-555.bmp
$CONVERT ref-binary.pam gif-transparent.gif

# A larger picture with many colours, for LZW, interlacing and scaling.
$CONVERT -size 61x47 -seed 7 plasma:red-blue -depth 8 plasma.png
$CONVERT plasma.png -colors 200 -interlace GIF gif-interlaced.gif
$CONVERT plasma.png -colors 250 gif-plain.gif
$CONVERT plasma.png -quality 95 -sampling-factor 1x1 jpeg.jpg
$CONVERT plasma.png -type TrueColor BMP3:bmp24-large.bmp
$CONVERT plasma.png -colors 200 -type Palette -compress none BMP3:bmp8.bmp
$CONVERT plasma.png -colors 200 -type Palette -compress RLE BMP3:bmp8-rle.bmp
$CONVERT plasma.png -resize 16x16! -alpha set -region 6x6+0+0 -alpha transparent +region \
  -colors 15 -type PaletteAlpha ico-4bit-mask.ico
$CONVERT plasma.png -resize 16x16! -alpha off -type TrueColor ico-32bit-no-alpha.ico
$CONVERT plasma.png -alpha set -channel A -fx 'i/w' +channel -define icon:auto-resize=32,16 ico-multi.ico
$CONVERT plasma.png -resize 32x32! -alpha set -channel A -fx 'j/h' +channel cursor.cur

# The twins: ImageMagick's own decoding of each coded picture.
for f in bmp24.bmp bmp32-alpha.bmp bmp8.bmp bmp8-rle.bmp bmp4.bmp bmp1.bmp bmp16-565.bmp bmp16-555.bmp \
         gif-transparent.gif gif-interlaced.gif gif-plain.gif jpeg.jpg bmp24-large.bmp cursor.cur \
         ico-4bit-mask.ico ico-32bit-no-alpha.ico; do
  $CONVERT "$f" "PNG32:$f.png"
done
$CONVERT 'ico-multi.ico[0]' PNG32:ico-multi.ico-0.png
$CONVERT 'ico-multi.ico[1]' PNG32:ico-multi.ico-1.png
rm -f ref-*.pam
ls -la
