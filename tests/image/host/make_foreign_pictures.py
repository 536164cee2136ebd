#!/usr/bin/python3
"""Writes small pictures the way other tools write them (PIL, ImageMagick,
jpegtran), each beside the pixels an independent decoder reads from it.

    make_foreign_pictures.py OUTDIR NAME...

For each NAME: OUTDIR/NAME.img, the picture, and OUTDIR/NAME.ref, its pixels:
width and height as 32-bit little-endian words, then red, green, blue and
alpha bytes of each pixel, rows top to bottom. The pixels are PIL's reading of
the file, or ImageMagick's where PIL misreads it.
A few layouts no installed tool writes (top-down BMPs, 108-byte and 40-byte
bit-field headers) are made from a tool's file by rewriting its header; a
run-length 4-bit BMP is packed here from a PIL picture, which is then its
reference (both tools misread it). Every file is checked to be of the kind its
name says before it is kept."""
import io
import os
import re
import struct
import subprocess
import sys
import zlib

from PIL import Image

WIDTH, HEIGHT = 13, 9

RECIPES = {}


def recipe(name):
    def add(make):
        RECIPES[name] = make
        return make
    return add


# --- Source pictures -------------------------------------------------------

def colour_picture(width=WIDTH, height=HEIGHT):
    """Gradients in every channel; alpha 0 in the first column, 255 in the
    second, in between elsewhere."""
    im = Image.new('RGBA', (width, height))
    for y in range(height):
        for x in range(width):
            alpha = 0 if x == 0 else 255 if x == 1 else (x * y * 11 + 30) % 256
            im.putpixel((x, y), (x * 19 % 256, (y * 29 + 5) % 256, (255 - x * y * 3) % 256, alpha))
    return im


def opaque_picture(width=WIDTH, height=HEIGHT):
    return colour_picture(width, height).convert('RGB')


def grey_levels_picture(levels):
    im = Image.new('L', (WIDTH, HEIGHT))
    step = 255 // (levels - 1)
    im.putdata([((x + 2 * y) % levels) * step for y in range(HEIGHT) for x in range(WIDTH)])
    return im


def palette_picture(colours):
    return opaque_picture().quantize(colours, dither=Image.Dither.NONE)


def cmyk_picture():
    im = Image.new('CMYK', (WIDTH, HEIGHT))
    im.putdata([(x * 19 % 256, y * 28, (x * y * 5) % 256, (x + y) * 12) for y in range(HEIGHT) for x in range(WIDTH)])
    return im


# --- Tools -----------------------------------------------------------------

def magick_from(im, out, *options):
    """ImageMagick writes `out` (with its coder prefix) from a PIL picture."""
    buffer = io.BytesIO()
    im.save(buffer, format='PNG')
    subprocess.run(['convert', 'png:-', *options, out], input=buffer.getvalue(), check=True)


def png_chunk(kind, payload):
    return struct.pack('>I', len(payload)) + kind + payload + struct.pack('>I', zlib.crc32(kind + payload))


def with_trns(png, payload):
    """The PNG with a tRNS chunk put right after its header chunk."""
    end_of_header = 8 + 25
    return png[:end_of_header] + png_chunk(b'tRNS', payload) + png[end_of_header:]


def png_header(data):
    return {'depth': data[24], 'type': data[25], 'interlaced': data[28] == 1, 'trns': b'tRNS' in data}


def bmp_header(data):
    size, = struct.unpack_from('<I', data, 14)
    if size == 12:
        return {'size': 12}
    width, height, planes, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    return {'size': size, 'height': height, 'bits': bits, 'compression': compression}


def expect(condition, what):
    if not condition:
        raise SystemExit('make_foreign_pictures: ' + what)


# --- PNG -------------------------------------------------------------------

def png_recipe(name, make, depth, colour_type, interlaced=False, trns=False):
    @recipe(name)
    def _(path):
        make(path)
        header = png_header(open(path, 'rb').read())
        expect(header == {'depth': depth, 'type': colour_type, 'interlaced': interlaced, 'trns': trns},
               '%s came out as %r' % (name, header))


def pil_png(im, **options):
    return lambda path: im.save(path, format='PNG', **options)


def magick_png(im, prefix, *options):
    return lambda path: magick_from(im, prefix + ':' + path, *options)


def trns_png(make, payload):
    def write(path):
        make(path)
        data = open(path, 'rb').read()
        open(path, 'wb').write(with_trns(data, payload))
    return write


GREY16 = Image.new('I;16', (WIDTH, HEIGHT))
GREY16.putdata([(x * 5000 + y * 777) % 65536 for y in range(HEIGHT) for x in range(WIDTH)])

png_recipe('png_grey1', pil_png(grey_levels_picture(2).convert('1')), 1, 0)
png_recipe('png_grey1_trns', pil_png(grey_levels_picture(2).convert('1'), transparency=0), 1, 0, trns=True)
png_recipe('png_grey2', magick_png(grey_levels_picture(4), 'PNG', '-type', 'Grayscale', '-depth', '2'), 2, 0)
png_recipe('png_grey2_interlaced',
           magick_png(grey_levels_picture(4), 'PNG', '-type', 'Grayscale', '-depth', '2', '-interlace', 'PNG'),
           2, 0, interlaced=True)
png_recipe('png_grey2_trns', trns_png(magick_png(grey_levels_picture(4), 'PNG', '-type', 'Grayscale', '-depth', '2'),
                                      struct.pack('>H', 2)), 2, 0, trns=True)
png_recipe('png_grey4', magick_png(grey_levels_picture(16), 'PNG', '-type', 'Grayscale', '-depth', '4'), 4, 0)
png_recipe('png_grey8', pil_png(opaque_picture().convert('L')), 8, 0)
png_recipe('png_grey8_trns', pil_png(opaque_picture().convert('L'), transparency=101), 8, 0, trns=True)
png_recipe('png_grey16', pil_png(GREY16), 16, 0)
png_recipe('png_grey16_trns', trns_png(pil_png(GREY16), struct.pack('>H', 5777)), 16, 0, trns=True)
png_recipe('png_grey_alpha8', pil_png(colour_picture().convert('LA')), 8, 4)
png_recipe('png_grey_alpha8_interlaced', magick_png(colour_picture().convert('LA'), 'PNG', '-interlace', 'PNG',
                                                    '-define', 'png:color-type=4'), 8, 4, interlaced=True)
png_recipe('png_grey_alpha16', magick_png(colour_picture(), 'PNG', '-colorspace', 'gray', '-depth', '16',
                                          '-define', 'png:color-type=4'), 16, 4)
png_recipe('png_rgb8', pil_png(opaque_picture()), 8, 2)
png_recipe('png_rgb8_trns', pil_png(opaque_picture(), transparency=opaque_picture().getpixel((3, 2))), 8, 2, trns=True)
png_recipe('png_rgb16', magick_png(opaque_picture(), 'PNG48'), 16, 2)
png_recipe('png_rgb16_trns', trns_png(magick_png(opaque_picture(), 'PNG48'),
                                      struct.pack('>HHH', *[257 * c for c in opaque_picture().getpixel((3, 2))])),
           16, 2, trns=True)
png_recipe('png_rgba8', pil_png(colour_picture()), 8, 6)
png_recipe('png_rgba8_interlaced', magick_png(colour_picture(), 'PNG32', '-interlace', 'PNG'), 8, 6, interlaced=True)
png_recipe('png_rgba16', magick_png(colour_picture(), 'PNG64'), 16, 6)
png_recipe('png_palette1', pil_png(palette_picture(2), bits=1), 1, 3)
png_recipe('png_palette2', pil_png(palette_picture(4), bits=2), 2, 3)
png_recipe('png_palette4', pil_png(palette_picture(16), bits=4), 4, 3)
png_recipe('png_palette4_trns', pil_png(palette_picture(16), bits=4, transparency=bytes([0, 128, 255, 60])), 4, 3,
           trns=True)
png_recipe('png_palette8', pil_png(palette_picture(100)), 8, 3)
png_recipe('png_palette8_interlaced_trns', magick_png(colour_picture(), 'PNG8', '-interlace', 'PNG'), 8, 3,
           interlaced=True, trns=True)


# --- JPEG ------------------------------------------------------------------

def jpeg_recipe(name, make, components, progressive=False, restarts=False, adobe=False):
    @recipe(name)
    def _(path):
        make(path)
        data = open(path, 'rb').read()
        frame = data.find(b'\xff\xc2' if progressive else b'\xff\xc0')
        expect(frame > 0 and data[frame + 9] == components, name + ': not the frame asked for')
        expect((b'\xff\xdd' in data) == restarts, name + ': restart markers')
        expect(bool(re.search(b'\xff\xee..Adobe', data, re.S)) == adobe, name + ': Adobe marker')


def pil_jpeg(im, **options):
    return lambda path: im.save(path, format='JPEG', quality=90, **options)


def with_restarts(make):
    def write(path):
        make(path)
        data = subprocess.run(['jpegtran', '-restart', '1B', path], check=True, stdout=subprocess.PIPE).stdout
        open(path, 'wb').write(data)
    return write


jpeg_recipe('jpeg_grey', pil_jpeg(opaque_picture().convert('L')), 1)
jpeg_recipe('jpeg_444', pil_jpeg(opaque_picture(), subsampling=0), 3)
jpeg_recipe('jpeg_422', pil_jpeg(opaque_picture(), subsampling=1), 3)
jpeg_recipe('jpeg_420', pil_jpeg(opaque_picture(), subsampling=2), 3)
jpeg_recipe('jpeg_progressive', pil_jpeg(opaque_picture(), progressive=True), 3, progressive=True)
jpeg_recipe('jpeg_restart_markers', with_restarts(pil_jpeg(opaque_picture())), 3, restarts=True)
jpeg_recipe('jpeg_cmyk', pil_jpeg(cmyk_picture()), 4, adobe=True)
jpeg_recipe('jpeg_cmyk_imagemagick', lambda path: magick_from(opaque_picture(), 'JPEG:' + path,
                                                              '-colorspace', 'CMYK'), 4, adobe=True)


# --- BMP -------------------------------------------------------------------

def bmp_recipe(name, make, size, bits, compression, top_down=False):
    @recipe(name)
    def _(path):
        packed = make(path)
        header = bmp_header(open(path, 'rb').read())
        want = {'size': size} if size == 12 else {'size': size, 'bits': bits, 'compression': compression}
        got = {k: v for k, v in header.items() if k != 'height'}
        expect(got == want, '%s came out as %r' % (name, header))
        expect(size == 12 or (header['height'] < 0) == top_down, name + ': row order')
        return packed


def pil_bmp(im):
    return lambda path: im.save(path, format='BMP')


def magick_bmp(im, prefix, *options):
    return lambda path: magick_from(im, prefix + ':' + path, *options)


def top_down(make):
    """The same file with its rows stored top row first and a negative height."""
    def write(path):
        make(path)
        data = bytearray(open(path, 'rb').read())
        offset, = struct.unpack_from('<I', data, 10)
        width, height = struct.unpack_from('<ii', data, 18)
        bits, = struct.unpack_from('<H', data, 28)
        row = (width * bits + 31) // 32 * 4
        rows = [data[offset + i * row:offset + (i + 1) * row] for i in range(height)]
        data[offset:offset + row * height] = b''.join(reversed(rows))
        struct.pack_into('<i', data, 22, -height)
        open(path, 'wb').write(bytes(data))
    return write


def with_info_header(make, size):
    """A 124-byte bit-field header cut to `size` bytes: 108 keeps the masks and
    colour space, 40 keeps three masks after the header (and no alpha mask)."""
    def write(path):
        make(path)
        data = open(path, 'rb').read()
        offset, = struct.unpack_from('<I', data, 10)
        old, = struct.unpack_from('<I', data, 14)
        header = bytearray(data[14:14 + old])
        tail = data[14 + old:]
        masks = b''
        if size == 40:
            masks = bytes(header[40:52])
        header = header[:size]
        struct.pack_into('<I', header, 0, size)
        shrink = old - size - len(masks)
        out = bytearray(data[:14]) + header + masks + tail
        struct.pack_into('<II', out, 2, len(out), 0)
        struct.pack_into('<I', out, 10, offset - shrink)
        open(path, 'wb').write(bytes(out))
    return write


def rle4_bmp(im):
    """A 4-bit run-length BMP of a picture of at most 16 colours: runs of one
    index, absolute runs of three, rows bottom to top. PIL loses pixels of odd
    absolute runs and ImageMagick makes some pixels transparent, so the picture
    packed is the reference."""
    def write(path):
        palette = im.getpalette()[:48]
        width, height = im.size
        codes = bytearray()
        for y in reversed(range(height)):
            row = [im.getpixel((x, y)) for x in range(width)]
            x = 0
            while x < width:
                run = 1
                while x + run < width and row[x + run] == row[x] and run < 255:
                    run += 1
                if run >= 3 or width - x < 3:
                    codes += bytes([run, row[x] << 4 | row[x]])
                    x += run
                    continue
                literal = row[x:x + 3]
                x += 3
                packed = bytes((literal[i] << 4) | (literal[i + 1] if i + 1 < len(literal) else 0)
                               for i in range(0, len(literal), 2))
                codes += bytes([0, len(literal)]) + packed + (b'\0' if len(packed) % 2 else b'')
            codes += b'\0\0'
        codes += b'\0\1'
        table = b''.join(bytes([palette[i + 2], palette[i + 1], palette[i], 0]) for i in range(0, 48, 3))
        offset = 14 + 40 + len(table)
        info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 2, len(codes), 2835, 2835, 16, 0)
        open(path, 'wb').write(b'BM' + struct.pack('<IHHI', offset + len(codes), 0, 0, offset) + info + table + codes)
        return im
    return write


bmp_recipe('bmp_1bit', pil_bmp(grey_levels_picture(2).convert('1')), 40, 1, 0)
bmp_recipe('bmp_4bit', magick_bmp(palette_picture(8), 'BMP3'), 40, 4, 0)
bmp_recipe('bmp_8bit', pil_bmp(palette_picture(100)), 40, 8, 0)
bmp_recipe('bmp_8bit_grey', pil_bmp(opaque_picture().convert('L')), 40, 8, 0)
bmp_recipe('bmp_8bit_v5', magick_bmp(palette_picture(100), 'BMP', '-compress', 'None'), 124, 8, 0)
bmp_recipe('bmp_rle8_v5', magick_bmp(palette_picture(100), 'BMP'), 124, 8, 1)
bmp_recipe('bmp_rle4', rle4_bmp(palette_picture(6)), 40, 4, 2)
bmp_recipe('bmp_rle8', magick_bmp(palette_picture(60), 'BMP3', '-compress', 'RLE'), 40, 8, 1)
bmp_recipe('bmp_16bit_565', magick_bmp(opaque_picture(), 'BMP', '-define', 'bmp:subtype=RGB565'), 124, 16, 3)
bmp_recipe('bmp_16bit_555', magick_bmp(opaque_picture(), 'BMP', '-define', 'bmp:subtype=RGB555'), 124, 16, 3)
bmp_recipe('bmp_16bit_565_v3', with_info_header(magick_bmp(opaque_picture(), 'BMP',
                                                           '-define', 'bmp:subtype=RGB565'), 40), 40, 16, 3)
bmp_recipe('bmp_24bit', pil_bmp(opaque_picture()), 40, 24, 0)
bmp_recipe('bmp_24bit_v5', magick_bmp(opaque_picture(), 'BMP'), 124, 24, 0)
bmp_recipe('bmp_24bit_top_down', top_down(pil_bmp(opaque_picture())), 40, 24, 0, top_down=True)
bmp_recipe('bmp_8bit_top_down', top_down(pil_bmp(palette_picture(100))), 40, 8, 0, top_down=True)
bmp_recipe('bmp_32bit', magick_bmp(colour_picture(), 'BMP3', '-define', 'bmp3:alpha=true'), 40, 32, 0)
bmp_recipe('bmp_32bit_v5_alpha', magick_bmp(colour_picture(), 'BMP'), 124, 32, 3)
bmp_recipe('bmp_32bit_v4_alpha', with_info_header(magick_bmp(colour_picture(), 'BMP'), 108), 108, 32, 3)
bmp_recipe('bmp_32bit_v5_alpha_top_down', top_down(magick_bmp(colour_picture(), 'BMP')), 124, 32, 3, top_down=True)
bmp_recipe('bmp_os2', magick_bmp(opaque_picture(), 'BMP2'), 12, 0, 0)


# --- TGA -------------------------------------------------------------------

def tga_recipe(name, im, image_type, depth, top_left, **options):
    @recipe(name)
    def _(path):
        im.save(path, format='TGA', orientation=1 if top_left else -1, **options)
        data = open(path, 'rb').read()
        expect(data[2] == image_type and data[16] == depth and bool(data[17] & 0x20) == top_left,
               '%s came out as type %d, %d bits, descriptor %#x' % (name, data[2], data[16], data[17]))


for origin, top_left in (('', False), ('_top_left', True)):
    for packing, rle in (('', {}), ('_rle', {'compression': 'tga_rle'})):
        code = 8 if rle else 0
        tga_recipe('tga_rgb' + packing + origin, opaque_picture(), 2 + code, 24, top_left, **rle)
        tga_recipe('tga_rgba' + packing + origin, colour_picture(), 2 + code, 32, top_left, **rle)
        tga_recipe('tga_palette' + packing + origin, palette_picture(40), 1 + code, 8, top_left, **rle)
        tga_recipe('tga_grey' + packing + origin, opaque_picture().convert('L'), 3 + code, 8, top_left, **rle)


# --- DDS -------------------------------------------------------------------

def dds_recipe(name, im, compression, four_cc, bits):
    @recipe(name)
    def _(path):
        magick_from(im, 'DDS:' + path, '-define', 'dds:compression=' + compression)
        data = open(path, 'rb').read()
        expect(data[84:88] == four_cc and struct.unpack_from('<I', data, 88)[0] == bits,
               '%s came out as %r, %d bits' % (name, data[84:88], struct.unpack_from('<I', data, 88)[0]))


dds_recipe('dds_dxt1', opaque_picture(16, 12), 'dxt1', b'DXT1', 0)
dds_recipe('dds_dxt5', colour_picture(16, 12), 'dxt5', b'DXT5', 0)
dds_recipe('dds_plain_rgb', opaque_picture(16, 12), 'none', b'\0\0\0\0', 24)
dds_recipe('dds_plain_argb', colour_picture(16, 12), 'none', b'\0\0\0\0', 32)


# --- References --------------------------------------------------------------

# PIL misreads these: a 32-bit BI_RGB BMP loses its alpha, and the tRNS grey of
# a grey PNG below 8 bits is compared unscaled with the scaled samples.
READ_BY_IMAGEMAGICK = {'bmp_32bit', 'png_grey2_trns'}


def pil_reference(path):
    im = Image.open(path)
    im.load()
    if im.mode in ('I', 'I;16'):
        # 16-bit grey: the high byte of each sample, alpha from the tRNS grey.
        transparent = im.info.get('transparency')
        values = list(im.getdata())
        pixels = [(v >> 8, v >> 8, v >> 8, 0 if v == transparent else 255) for v in values]
        out = Image.new('RGBA', im.size)
        out.putdata(pixels)
        return out
    if im.mode == 'CMYK':
        return im.convert('RGB').convert('RGBA')
    return im.convert('RGBA')


def imagemagick_reference(path):
    png = subprocess.run(['convert', path, '-depth', '8', 'PNG32:-'], check=True, stdout=subprocess.PIPE).stdout
    return Image.open(io.BytesIO(png)).convert('RGBA')


def write_reference(path, im):
    with open(path, 'wb') as out:
        out.write(struct.pack('<II', *im.size))
        out.write(im.tobytes('raw', 'RGBA'))


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name in sys.argv[2:]:
        expect(name in RECIPES, 'no picture called ' + name)
        path = os.path.join(folder, name + '.img')
        packed = RECIPES[name](path)
        if packed is not None:
            reference = packed.convert('RGBA')
        elif name in READ_BY_IMAGEMAGICK:
            reference = imagemagick_reference(path)
        else:
            reference = pil_reference(path)
        write_reference(os.path.join(folder, name + '.ref'), reference)


if __name__ == '__main__':
    main()
