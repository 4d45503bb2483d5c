#!/bin/sh
# Writes small seed corpora for the harnesses into $1 (default: fuzz-seeds):
# tiny pictures and icons by ImageMagick, zlib streams and text snippets by
# Python. Run the harnesses with e.g. "fuzz_picture CORPUS $1/picture".
set -eu
out=${1:-fuzz-seeds}
mkdir -p "$out/picture" "$out/icon" "$out/zlib" "$out/text"
for f in png jpg bmp gif; do convert -size 3x2 xc:red -fill blue -draw "point 1,1" "$out/picture/a.$f"; done
convert -size 4x3 gradient: -interlace Plane "$out/picture/b.jpg"
convert -size 5x3 xc:none -fill '#80ff0000' -draw 'point 2,1' "$out/picture/c.png"
convert -size 6x4 xc:green -colors 4 BMP3:"$out/picture/d.bmp"
convert -size 6x4 xc:green -type Palette -compress RLE BMP3:"$out/picture/e.bmp"
convert -size 5x5 pattern:checkerboard -interlace GIF "$out/picture/f.gif"
convert -size 16x16 xc:red "$out/icon/a.ico"
convert -size 8x8 xc:blue -type Palette -colors 2 -define icon:format=bmp "$out/icon/c.ico"
cp "$out"/picture/*.png "$out/icon/"
python3 - "$out" <<'PY'
import sys, zlib
out = sys.argv[1]
open(out + '/zlib/a', 'wb').write(zlib.compress(b'hello hello hello world' * 5))
open(out + '/zlib/b', 'wb').write(zlib.compress(bytes(range(256)) * 4, 9))
open(out + '/zlib/c', 'wb').write(zlib.compress(b''))
# fuzz_text: the first byte picks the reader.
texts = [b'\x00[sec]\na=1\nb=2.5\nc=true\n[x y]\n;c\nk = v\n',
         b'\x01line1\r\nline2\n"q,u",x y,"""a"',
         b'\x02-123', b'\x02 1.5e10 ', b'\x020x1F',
         b'\x03%d %s %.2f %x %-10.3d %*d %0:s %g %e %u %m %n %p',
         b'\x04' + 'h\u00e9llo \u20ac \U0001f600'.encode(),
         b'\x05"C:\\a b\\prog.exe" arg "x\\"y" z',
         b'\x06II*\x00\x08\x00\x00\x00', b'\x06MM\x00*\x00\x00\x00\x08']
for i, t in enumerate(texts):
    open('%s/text/%d' % (out, i), 'wb').write(t)
PY
