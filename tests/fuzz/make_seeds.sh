#!/bin/sh
# Remakes the seeds of the picture, icon, zlib and text harnesses under $1
# (default: the seeds folder beside this script): tiny pictures and icons by
# ImageMagick, zlib streams and text snippets by Python.
set -eu
out=${1:-$(dirname "$0")/seeds}
mkdir -p "$out/fuzz_picture" "$out/fuzz_gdiplus" "$out/fuzz_displaypng" "$out/fuzz_icon" "$out/fuzz_zlib" "$out/fuzz_text"
for f in png jpg bmp gif; do convert -size 3x2 xc:red -fill blue -draw "point 1,1" "$out/fuzz_picture/a.$f"; done
convert -size 4x3 gradient: -interlace Plane "$out/fuzz_picture/b.jpg"
convert -size 5x3 xc:none -fill '#80ff0000' -draw 'point 2,1' "$out/fuzz_picture/c.png"
convert -size 6x4 xc:green -colors 4 BMP3:"$out/fuzz_picture/d.bmp"
convert -size 6x4 xc:green -type Palette -compress RLE BMP3:"$out/fuzz_picture/e.bmp"
convert -size 5x5 pattern:checkerboard -interlace GIF "$out/fuzz_picture/f.gif"
convert -size 16x16 xc:red "$out/fuzz_icon/a.ico"
convert -size 8x8 xc:blue -type Palette -colors 2 -define icon:format=bmp "$out/fuzz_icon/c.ico"
cp "$out"/fuzz_picture/*.png "$out/fuzz_icon/"
cp "$out"/fuzz_picture/*.png "$out/fuzz_displaypng/"
cp "$out"/fuzz_picture/* "$out/fuzz_gdiplus/"
python3 - "$out" <<'PY'
import sys, zlib
out = sys.argv[1]
open(out + '/fuzz_zlib/a', 'wb').write(zlib.compress(b'hello hello hello world' * 5))
open(out + '/fuzz_zlib/b', 'wb').write(zlib.compress(bytes(range(256)) * 4, 9))
open(out + '/fuzz_zlib/c', 'wb').write(zlib.compress(b''))
# fuzz_text: the first byte picks the reader.
texts = [b'\x00[sec]\na=1\nb=2.5\nc=true\n[x y]\n;c\nk = v\n',
         b'\x01line1\r\nline2\n"q,u",x y,"""a"',
         b'\x02-123', b'\x02 1.5e10 ', b'\x020x1F',
         b'\x03%d %s %.2f %x %-10.3d %*d %0:s %g %e %u %m %n %p',
         b'\x04' + 'h\u00e9llo \u20ac \U0001f600'.encode(),
         b'\x05"C:\\a b\\prog.exe" arg "x\\"y" z',
         b'\x06II*\x00\x08\x00\x00\x00', b'\x06MM\x00*\x00\x00\x00\x08']
for i, t in enumerate(texts):
    open('%s/fuzz_text/%d' % (out, i), 'wb').write(t)
PY
