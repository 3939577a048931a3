#!/usr/bin/env python3
"""Writes the damaged-font corpus next to this script: a tiny TrueType font built here from scratch and copies of
it with one fault each. The file name says what the font store must do with it:
  refused-*  the font is not added;
  missing-*  the font is added and the glyph of 'D' is treated as missing (empty);
  loads-*    the font is added and works;
  any-*      either, as long as nothing goes wrong.
The font: units per em 1000, ascender 800, descender -200; 'A' a square (100..600 x 0..700), 'B' that square moved
right by 50 as a composite, 'C' a composite of itself, 'D' a second square (the glyph the faults go into); a kern
pair A-B of -100 units.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def square(x0, y0, x1, y1, box=None):
    bx = box or (x0, y0, x1, y1)
    pts = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
    out = struct.pack('>hhhhh', 1, *bx) + struct.pack('>H', 3) + struct.pack('>H', 0)
    out += bytes([0x01] * 4)
    px = py = 0
    xs = ys = b''
    for x, y in pts:
        xs += struct.pack('>h', x - px)
        ys += struct.pack('>h', y - py)
        px, py = x, y
    return out + xs + ys


def composite(child, dx, dy, box, flags=0x0003, extra=b''):
    return struct.pack('>hhhhh', -1, *box) + struct.pack('>HHhh', flags, child, dx, dy) + extra


def cmap_format4(search=None, range_offset=None):
    # Segments 'A'..'D' -> glyphs 1..4, and the closing 0xFFFF segment.
    ends, starts, deltas, offsets = [0x44, 0xFFFF], [0x41, 0xFFFF], [(1 - 0x41) & 0xFFFF, 1], [0, 0]
    if range_offset is not None:
        offsets[0] = range_offset
    seg2 = 2 * len(ends)
    sr, es, rs = search or (4, 1, 0)
    body = struct.pack('>HHHH', seg2, sr, es, rs)
    body += b''.join(struct.pack('>H', v) for v in ends) + b'\0\0'
    body += b''.join(struct.pack('>H', v) for v in starts)
    body += b''.join(struct.pack('>H', v) for v in deltas)
    body += b''.join(struct.pack('>H', v) for v in offsets)
    sub = struct.pack('>HHH', 4, 6 + len(body), 0) + body
    return struct.pack('>HH', 0, 1) + struct.pack('>HHI', 3, 1, 12) + sub


def font(glyph_d=None, loc_format=0, hmetrics=5, ascender=800, descender=-200, num_glyphs=5, cmap=None,
         kern_pairs=None, loca_patch=None, dir_patch=None):
    glyphs = [b'', square(100, 0, 600, 700), composite(1, 50, 0, (150, 0, 650, 700)),
              composite(3, 0, 0, (100, 0, 600, 700)), glyph_d if glyph_d is not None else square(0, 0, 500, 500)]
    glyf = b''
    loca = []
    for g in glyphs:
        if len(g) % 2:
            g += b'\0'
        loca.append(len(glyf))
        glyf += g
    loca.append(len(glyf))
    if loca_patch:
        loca_patch(loca)
    loca_bytes = b''.join(struct.pack('>H', v // 2) for v in loca)

    head = struct.pack('>IIIIHH', 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0, 1000) + b'\0' * 16
    head += struct.pack('>hhhhHHhhh', 0, -200, 650, 800, 0, 8, 2, loc_format, 0)
    hhea = struct.pack('>Ihhh', 0x00010000, ascender, descender, 0) + struct.pack('>Hhhh', 700, 0, 0, 650)
    hhea += struct.pack('>hhh', 1, 0, 0) + b'\0' * 8 + struct.pack('>hH', 0, hmetrics)
    maxp = struct.pack('>IH', 0x00005000, num_glyphs)
    hmtx = b''.join(struct.pack('>Hh', 700, 100) for _ in range(5))
    n = kern_pairs if kern_pairs is not None else 1
    kern = struct.pack('>HH', 0, 1) + struct.pack('>HHHHHHH', 0, 14 + 6 * n, 0x0001, n, 6, 0, 0)
    kern += struct.pack('>HHh', 1, 2, -100)
    tables = {b'cmap': cmap or cmap_format4(), b'glyf': glyf, b'head': head, b'hhea': hhea, b'hmtx': hmtx,
              b'kern': kern, b'loca': loca_bytes, b'maxp': maxp}
    return sfnt(struct.pack('>I', 0x00010000), tables, dir_patch)


def sfnt(version, tables, dir_patch=None):
    # The table directory (search fields for the table count) followed by the tables, each padded to 4 bytes.
    tags = sorted(tables)
    offset = 12 + 16 * len(tags)
    directory = b''
    data = b''
    for tag in tags:
        t = tables[tag]
        directory += struct.pack('>4sIII', tag, 0, offset + len(data), len(t))
        data += t + b'\0' * (-len(t) % 4)
    power = 1
    while power * 2 <= len(tags):
        power *= 2
    search = power * 16
    out = bytearray(version + struct.pack('>HHHH', len(tags), search, power.bit_length() - 1, len(tags) * 16 - search)
                    + directory + data)
    if dir_patch:
        dir_patch(out)
    return bytes(out)


def patch_dir_length(out):
    # The first table's length runs past the end of the file.
    struct.pack_into('>I', out, 12 + 12, 0x7FFFFFF0)


def main():
    base = font()
    files = {
        'loads-base.ttf': base,
        'loads-kern-short.ttf': font(kern_pairs=1000),
        'refused-head-locformat.ttf': font(loc_format=7),
        'refused-hhea-no-metrics.ttf': font(hmetrics=0),
        'refused-hhea-no-height.ttf': font(ascender=0, descender=0),
        'refused-maxp-glyph-count.ttf': font(num_glyphs=60000),
        'refused-cmap-search.ttf': font(cmap=cmap_format4(search=(4, 1, 0x7FFE))),
        'refused-cmap-range-offset.ttf': font(cmap=cmap_format4(range_offset=0x7000)),
        'refused-cmap-groups.ttf': font(cmap=struct.pack('>HH', 0, 1) + struct.pack('>HHI', 3, 10, 12) +
                                        struct.pack('>HHIII', 12, 0, 28, 0, 0x10000000) + struct.pack('>III', 0x41, 0x44, 1)),
        'refused-dir-length.ttf': font(dir_patch=patch_dir_length),
        'refused-truncated.ttf': base[:len(base) // 2],
        'refused-header-only.ttf': struct.pack('>IHHHH', 0x00010000, 0xFFFF, 0, 0, 0),
        'refused-ttc-count.ttc': b'ttcf' + struct.pack('>II', 0x00010000, 0x7FFFFFFF),
        'refused-ttc-offset.ttc': b'ttcf' + struct.pack('>III', 0x00010000, 1, 0xFFFFFF00),
        'refused-cff.otf': b'OTTO' + base[4:],
        'missing-loca-past-glyf.ttf': font(loca_patch=lambda l: l.__setitem__(5, l[5] + 4000)),
        'missing-endpoints-fall.ttf': font(glyph_d=struct.pack('>hhhhh', 2, 0, 0, 500, 500) +
                                           struct.pack('>HHH', 3, 1, 0) + bytes([0x37] * 4)),
        'missing-flags-overrun.ttf': font(glyph_d=struct.pack('>hhhhh', 1, 0, 0, 500, 500) +
                                          struct.pack('>HH', 200, 0) + bytes([0x09, 0xFF])),
        'missing-outside-box.ttf': font(glyph_d=square(0, 0, 5000, 500, box=(0, 0, 500, 500))),
        'missing-lone-offcurve.ttf': font(glyph_d=struct.pack('>hhhhh', 2, 0, 0, 500, 500) +
                                          struct.pack('>HHH', 2, 3, 0) + bytes([0x37, 0x37, 0x37, 0x36]) +
                                          bytes([0] * 8)),
        'missing-composite-huge.ttf': font(glyph_d=composite(1, 32000, 0, (0, 0, 500, 500), flags=0x0083,
                                                             extra=struct.pack('>hhhh', 0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF))),
        'missing-composite-matched.ttf': font(glyph_d=composite(1, 0, 0, (0, 0, 500, 500), flags=0x0001)),
    }
    for length in (0, 3, 11, 12, 40, 100, 200, 300):
        files['any-cut-%d.ttf' % length] = base[:length]
    for name, data in files.items():
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
