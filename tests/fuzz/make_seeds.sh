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
# The bitmap family: one control byte (four for the raw pixels) before each file.
mkdir -p "$out/fuzz_bmp" "$out/fuzz_ico" "$out/fuzz_pnm" "$out/fuzz_rawpixels"
tmp=$(mktemp -d)
c=/usr/bin/convert
$c -size 7x5 gradient:red-blue -type TrueColor BMP3:"$tmp/b24.bmp"
$c -size 7x5 gradient:red-blue -colors 9 -type Palette -compress RLE BMP3:"$tmp/b8rle.bmp"
$c -size 7x5 gradient:red-blue -colors 9 -type Palette -compress None BMP3:"$tmp/b4.bmp"
$c -size 7x5 gradient:white-black -monochrome BMP3:"$tmp/b1.bmp"
$c -size 7x5 gradient:red-blue -alpha set -channel A -fx 'i/7' BMP:"$tmp/b32.bmp"
$c -size 7x5 gradient:red-blue -define bmp:subtype=RGB565 BMP:"$tmp/b565.bmp"
$c -size 7x5 gradient:red-blue -colors 9 -type Palette BMP2:"$tmp/bos2.bmp"
$c -size 8x8 gradient:red-blue -alpha set -channel A -fx 'j/8' "$tmp/i.ico"
$c -size 6x6 gradient:red-blue -colors 5 -type Palette "$tmp/i8.ico"
$c -size 4x4 xc:blue -monochrome "$tmp/i1.ico"
$c -size 5x4 gradient:red-blue -depth 8 -compress none "$tmp/p3.ppm"
$c -size 5x4 gradient:red-blue -depth 8 "$tmp/p6.ppm"
$c -size 5x4 gradient:red-blue -depth 16 "$tmp/p6w.ppm"
$c -size 5x4 gradient: -depth 8 -compress none "$tmp/p2.pgm"
$c -size 5x4 gradient: -depth 16 "$tmp/p5w.pgm"
$c -size 9x4 gradient: -monochrome -compress none "$tmp/p1.pbm"
$c -size 9x4 gradient: -monochrome "$tmp/p4.pbm"
$c -size 9x4 gradient: -monochrome WBMP:"$tmp/w.wbmp"
for f in "$tmp"/*.bmp; do { printf '\0'; cat "$f"; } > "$out/fuzz_bmp/$(basename "$f")"; done
for f in "$tmp"/*.ico; do { printf '\0'; cat "$f"; } > "$out/fuzz_ico/$(basename "$f")"; done
{ printf '\0'; cat "$tmp/i8.ico"; } | python3 -c 'import sys; d=bytearray(sys.stdin.buffer.read()); d[3]=2; sys.stdout.buffer.write(d)' > "$out/fuzz_ico/c.cur"
for f in "$tmp"/*.p?m "$tmp"/*.wbmp; do { printf '\1'; cat "$f"; } > "$out/fuzz_pnm/$(basename "$f")"; done
printf '\005\004\005\000' > "$out/fuzz_rawpixels/rgb"; head -c 80 /dev/urandom >> "$out/fuzz_rawpixels/rgb"
printf '\003\002\005\005255,0,0 0 255 0\n1,2,3 4,5,6 7 8 9' > "$out/fuzz_rawpixels/text"
printf '\003\002\001\011FF 0A 12 0 1 2' > "$out/fuzz_rawpixels/hex"
printf '\004\003\007\001' > "$out/fuzz_rawpixels/planarcmyk"; head -c 64 /dev/urandom >> "$out/fuzz_rawpixels/planarcmyk"
# JPEG 2000: files of our writer (through ieconvert, $2 or the test build's)
# and of opj_compress (sYCC 4:2:0, signed 12 bits in resolution order, tiles).
j=$out/fuzz_jpeg2000
iec=${2:-build/test/tools/ieconvert/ieconvert}
mkdir -p "$j"
$c -size 12x9 gradient:red-blue "$tmp/s.png"
$c -size 12x9 gradient: -colorspace gray -depth 8 "$tmp/s.pgm"
$c -size 12x9 gradient:red-blue -alpha set -channel A -fx 'i/12' "$tmp/sa.png"
VESK_TEST=1 "$iec" "$tmp/s.png" "$j/rgb.jp2"
VESK_TEST=1 "$iec" "$tmp/s.pgm" "$j/grey.j2k"
VESK_TEST=1 "$iec" "$tmp/sa.png" "$j/alpha.jp2"
python3 - "$tmp" <<'PY'
import struct, sys
t = sys.argv[1]
open(t + '/q.raw', 'wb').write(bytes((x * 30 + y * 9) & 255 for y in range(4) for x in range(6)) +
                               bytes((100 + x) & 255 for y in range(2) for x in range(3)) * 2)
open(t + '/d.raw', 'wb').write(b''.join(struct.pack('>h', (x * 300 + y * 77) % 4096 - 2048)
                                        for y in range(4) for x in range(6)))
PY
opj_compress -i "$tmp/q.raw" -F 6,4,3,8,u@1x1:2x2:2x2 -n 2 -o "$j/sycc.jp2" >/dev/null
opj_compress -i "$tmp/d.raw" -F 6,4,1,12,s -n 2 -r 4 -p RLCP -o "$j/signed12.j2k" >/dev/null
opj_compress -i "$tmp/s.pgm" -s 2,2 -n 2 -t 4,4 -o "$j/tiles.j2k" >/dev/null
# HD Photo: files of JxrEncApp (grey, colour, 16-bit grey, 48-bit, lossy).
h=$out/fuzz_hdphoto
mkdir -p "$h"
$c -size 12x9 gradient:red-blue -depth 8 "$tmp/h.ppm"
$c -size 12x9 gradient: -colorspace gray -depth 8 "$tmp/h.pgm"
$c -size 12x9 gradient:red-blue -depth 16 "$tmp/h16.ppm"
JxrEncApp -i "$tmp/h.ppm" -o "$h/rgb.jxr" >/dev/null
JxrEncApp -i "$tmp/h.pgm" -o "$h/grey.jxr" >/dev/null
JxrEncApp -i "$tmp/h16.ppm" -o "$h/rgb48.jxr" >/dev/null
JxrEncApp -i "$tmp/h.ppm" -o "$h/lossy.jxr" -q 0.6 >/dev/null
rm -rf "$tmp"
