#!/usr/bin/env python3
"""Writes the PostScript-outline (CFF, "OTTO") part of the damaged-font corpus next to this script: a tiny CFF font
built here from scratch, a CID-keyed twin of it, and copies with one fault each. File names follow make_corpus.py:
  refused-*  the font is not added;
  missing-*  the font is added and the glyph of 'D' is treated as missing (empty);
  loads-*    the font is added and works;
  any-*      either, as long as nothing goes wrong.
The font mirrors the TrueType one: units per em 1000, ascender 800, descender -200; 'A' a square (100..600 x 0..700)
drawn by a local subroutine, 'B' that square moved right by 50 through a global subroutine, 'C' a subroutine that
calls itself (beyond the ten-deep call limit, so missing), 'D' a second square (the glyph the faults go into); a
kern pair A-B of -100 units.
"""
import os
import struct

from make_corpus import cmap_format4, sfnt

HERE = os.path.dirname(os.path.abspath(__file__))

# ---- Type 2 charstrings and DICT operands ----


def cs_num(v):
    if isinstance(v, float):
        return b'\xff' + struct.pack('>i', int(round(v * 65536)))
    if -107 <= v <= 107:
        return bytes([v + 139])
    if 108 <= v <= 1131:
        v -= 108
        return bytes([(v >> 8) + 247, v & 0xFF])
    if -1131 <= v <= -108:
        v = -v - 108
        return bytes([(v >> 8) + 251, v & 0xFF])
    return b'\x1c' + struct.pack('>h', v)


OPS = {'hstem': b'\x01', 'vstem': b'\x03', 'vmoveto': b'\x04', 'rlineto': b'\x05', 'hlineto': b'\x06',
       'vlineto': b'\x07', 'rrcurveto': b'\x08', 'callsubr': b'\x0a', 'return': b'\x0b', 'endchar': b'\x0e',
       'hintmask': b'\x13', 'rmoveto': b'\x15', 'hmoveto': b'\x16', 'callgsubr': b'\x1d', 'abs': b'\x0c\x09',
       'flex': b'\x0c\x23'}


def cs(*items):
    out = b''
    for it in items:
        out += OPS[it] if isinstance(it, str) else cs_num(it)
    return out


def dict_int(v, fixed=False):
    if fixed:
        return b'\x1d' + struct.pack('>i', v)
    if -107 <= v <= 107:
        return bytes([v + 139])
    return b'\x1d' + struct.pack('>i', v)


def dict_op(op):
    return bytes([12, op & 0xFF]) if op >= 0x100 else bytes([op])


def index(items, off_size=None):
    if not items:
        return b'\0\0'
    offsets = [1]
    for it in items:
        offsets.append(offsets[-1] + len(it))
    if off_size is None:
        off_size = 1 if offsets[-1] < 0x100 else 2 if offsets[-1] < 0x10000 else 4
    out = struct.pack('>HB', len(items), off_size)
    for o in offsets:
        out += o.to_bytes(off_size, 'big')
    return out + b''.join(items)


# The square body, drawn from the current point.
def square_body(w, h):
    return cs(0, h, 'rlineto', w, 0, 'rlineto', 0, -h, 'rlineto')


SQUARE = square_body(500, 700) + cs('return')
RECURSE_LOCAL = cs(-106, 'callsubr', 'return')      # local subr 1 calls itself
RECURSE_GLOBAL = cs(-106, 'callgsubr', 'return')    # global subr 1 calls itself


def glyphs(glyph_d=None):
    return [cs('endchar'),
            cs(100, 0, 'rmoveto', -107, 'callsubr', 'endchar'),
            cs(150, 0, 'rmoveto', -107, 'callgsubr', 'endchar'),
            cs(-106, 'callsubr', 'endchar'),
            glyph_d if glyph_d is not None else cs(0, 0, 'rmoveto') + square_body(500, 500) + cs('endchar')]


def cff_table(charstrings=None, gsubrs=None, lsubrs=None, cid=None, top_ops=None, top_extra=b'', patch=None,
              version=1):
    """A CFF table laid out as header, Name, Top DICT, String, Global Subrs, CharStrings INDEXes, then the Private
    DICT and its Subrs; or, when cid is given ({'fdselect': bytes, 'fd_subrs': [subrs per font DICT]}), the FDSelect,
    the FDArray and each font DICT's Private DICT with its Subrs. Offsets are fixed-width operands, so the layout is
    known before they are. patch(out, where) may damage the result; where gives the start of the named INDEXes."""
    charstrings = charstrings if charstrings is not None else glyphs()
    gsubrs = gsubrs if gsubrs is not None else [SQUARE, RECURSE_GLOBAL]
    lsubrs = lsubrs if lsubrs is not None else [SQUARE, RECURSE_LOCAL]
    ops = top_ops if top_ops is not None else ['ros', 'charstrings', 'private', 'fdarray', 'fdselect']
    header = bytes([version, 0, 4, 4])
    name = index([b'ZaniqTest'])
    strings = index([])
    gsub = index(gsubrs)
    cs_index = index(charstrings)
    # A Private DICT of one operator: Subrs, directly after it (6 bytes on).
    private = dict_int(6, True) + dict_op(19)

    def top_dict(cs_off, priv_off, fdarray_off, fdselect_off):
        d = b''
        for op in ops:
            if op == 'ros' and cid:
                d += dict_int(391, True) + dict_int(392, True) + dict_int(0, True) + dict_op(0x11E)
            elif op == 'charstrings':
                d += dict_int(cs_off, True) + dict_op(17)
            elif op == 'private' and not cid:
                d += dict_int(len(private), True) + dict_int(priv_off, True) + dict_op(18)
            elif op == 'fdarray' and cid:
                d += dict_int(fdarray_off, True) + dict_op(0x124)
            elif op == 'fdselect' and cid:
                d += dict_int(fdselect_off, True) + dict_op(0x125)
        return d + top_extra

    top_at = len(header) + len(name)
    gsubrs_at = top_at + len(index([top_dict(0, 0, 0, 0)])) + len(strings)
    cs_off = gsubrs_at + len(gsub)
    pos = cs_off + len(cs_index)
    if not cid:
        tail = private + index(lsubrs)
        top = top_dict(cs_off, pos, 0, 0)
    else:
        fdselect_off = pos
        fdselect = cid['fdselect']
        fd_count = len(cid['fd_subrs'])
        fdarray_off = fdselect_off + len(fdselect)
        pos = fdarray_off + len(index([dict_int(0, True) * 2 + dict_op(18)] * fd_count))
        fds, privates = [], b''
        for i, subrs in enumerate(cid['fd_subrs']):
            fd = dict_int(len(private), True) + dict_int(pos + len(privates), True) + dict_op(18)
            fds.append(cid.get('fd_patch', lambda i, d: d)(i, fd))
            privates += private + index(subrs)
        tail = fdselect + index(fds) + privates
        top = top_dict(cs_off, 0, fdarray_off, fdselect_off)
    out = bytearray(header + name + index([top]) + strings + gsub + cs_index + tail)
    if patch:
        patch(out, {'name': len(header), 'top': top_at, 'gsubrs': gsubrs_at, 'cs': cs_off})
    return bytes(out)


def fdselect3(ranges, sentinel=5):
    out = struct.pack('>BH', 3, len(ranges))
    for first, fd in ranges:
        out += struct.pack('>HB', first, fd)
    return out + struct.pack('>H', sentinel)


CID3 = {'fdselect': fdselect3([(0, 0), (3, 1)]),
        'fd_subrs': [[SQUARE, RECURSE_LOCAL], [SQUARE, RECURSE_LOCAL]]}
CID0 = {'fdselect': bytes([0, 0, 0, 0, 1, 1]),
        'fd_subrs': [[SQUARE, RECURSE_LOCAL], [SQUARE, RECURSE_LOCAL]]}

# ---- The sfnt around it ----


def otf(cff, num_glyphs=5, with_glyf=False, dir_patch=None, cff_tag=b'CFF '):
    head = struct.pack('>IIIIHH', 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0, 1000) + b'\0' * 16
    head += struct.pack('>hhhhHHhhh', 0, -200, 650, 800, 0, 8, 2, 0, 0)
    hhea = struct.pack('>Ihhh', 0x00010000, 800, -200, 0) + struct.pack('>Hhhh', 700, 0, 0, 650)
    hhea += struct.pack('>hhh', 1, 0, 0) + b'\0' * 8 + struct.pack('>hH', 0, 5)
    maxp = struct.pack('>IH', 0x00005000, num_glyphs)
    hmtx = b''.join(struct.pack('>Hh', 700, 100) for _ in range(5))
    kern = struct.pack('>HH', 0, 1) + struct.pack('>HHHHHHH', 0, 20, 0x0001, 1, 6, 0, 0)
    kern += struct.pack('>HHh', 1, 2, -100)
    tables = {b'cmap': cmap_format4(), b'head': head, b'hhea': hhea, b'hmtx': hmtx, b'kern': kern, b'maxp': maxp}
    if cff is not None:
        tables[cff_tag] = cff
    if with_glyf:
        tables[b'glyf'] = b'\0' * 12
    return sfnt(b'OTTO', tables, dir_patch)


def with_d(glyph_d, **kw):
    return otf(cff_table(charstrings=glyphs(glyph_d), **kw))


def patch_u16(at_key, delta, value):
    def patch(out, where):
        struct.pack_into('>H', out, where[at_key] + delta, value)
    return patch


def patch_u8(at_key, delta, value):
    def patch(out, where):
        out[where[at_key] + delta] = value
    return patch


def cff_length_past_end(out):
    # The directory entry of 'CFF ' (sorted first) claims more bytes than the file has.
    struct.pack_into('>I', out, 12 + 12, 0x7FFF0000)


def main():
    base = otf(cff_table())
    # Global subroutines 2..10 each call the next four times; 11 returns: 4^9 calls within the ten-deep limit.
    fan = [SQUARE, RECURSE_GLOBAL] + [cs(*([k + 1 - 107, 'callgsubr'] * 4), 'return') for k in range(2, 11)]
    fan.append(cs('return'))
    many_lines = cs(0, 0, 'rmoveto') + b''.join(cs(*([1, 1, -1, -1] * 12), 'rlineto') for _ in range(160))
    far = cs(0, 0, 'rmoveto') + b''.join(cs(30000.0, 0, 'rlineto') for _ in range(3))
    files = {
        'loads-cff-base.otf': base,
        'loads-cff-cid-fdselect3.otf': otf(cff_table(cid=CID3)),
        'loads-cff-cid-fdselect0.otf': otf(cff_table(cid=CID0)),
        'refused-cff-header-version.otf': otf(cff_table(version=2)),
        'refused-cff-name-count.otf': otf(cff_table(patch=patch_u16('name', 0, 0x7FFF))),
        'refused-cff-index-offsize.otf': otf(cff_table(patch=patch_u8('top', 2, 5))),
        'refused-cff-index-offset-past-end.otf': otf(cff_table(patch=patch_u8('top', 4, 0xF0))),
        'refused-cff-index-offsets-fall.otf': otf(cff_table(patch=patch_u8('gsubrs', 4, 0))),
        # The top DICT starts 5 bytes into its INDEX: CharStrings' operand, then Private's size and offset.
        'refused-cff-charstrings-past-end.otf': otf(cff_table(patch=lambda o, w: struct.pack_into(
            '>i', o, w['top'] + 5 + 1, 0x10000))),
        'refused-cff-charstrings-count.otf': otf(cff_table(charstrings=glyphs()[:4])),
        'refused-cff-charstring-type.otf': otf(cff_table(top_extra=dict_int(1) + dict_op(0x106))),
        'refused-cff-no-charstrings.otf': otf(cff_table(top_ops=['private'])),
        'refused-cff-real-operand.otf': otf(cff_table(top_ops=['private'], top_extra=b'\x1e\x1f\x11')),
        'refused-cff-private-past-end.otf': otf(cff_table(patch=lambda o, w: struct.pack_into(
            '>i', o, w['top'] + 5 + 6 + 1, 0x7000))),
        'refused-cff-subrs-past-end.otf': otf(cff_table(patch=lambda o, w: struct.pack_into(
            '>i', o, len(o) - len(index([SQUARE, RECURSE_LOCAL])) - 5, 0x4000))),
        'refused-cff-fdselect-format.otf': otf(cff_table(cid=dict(CID3, fdselect=b'\x02' + CID3['fdselect'][1:]))),
        'refused-cff-fdselect-fd-range.otf': otf(cff_table(cid=dict(CID3, fdselect=fdselect3([(0, 0), (3, 7)])))),
        'refused-cff-fdselect-sentinel.otf': otf(cff_table(cid=dict(CID3, fdselect=fdselect3([(0, 0), (3, 1)], 4)))),
        'refused-cff-fdselect-ranges-past-end.otf': otf(cff_table(cid=dict(CID3, fdselect=struct.pack(
            '>BH', 3, 0x4000) + CID3['fdselect'][3:]))),
        'refused-cff-fdselect0-fd-range.otf': otf(cff_table(cid=dict(CID0, fdselect=bytes([0, 0, 0, 0, 1, 9])))),
        'refused-cff-fdarray-private-past-end.otf': otf(cff_table(cid=dict(CID3, fd_patch=lambda i, d: (
            dict_int(6, True) + dict_int(0x6000, True) + dict_op(18)) if i == 1 else d))),
        'refused-cff-with-glyf.otf': otf(cff_table(), with_glyf=True),
        'refused-cff-table-missing.otf': otf(None),
        'refused-cff-table-past-end.otf': otf(cff_table(), dir_patch=cff_length_past_end),
        'missing-cff-subr-recursive.otf': with_d(cs(0, 0, 'rmoveto', -106, 'callgsubr', 'endchar')),
        'missing-cff-subr-fan-out.otf': otf(cff_table(charstrings=glyphs(cs(2 - 107, 'callgsubr', 'endchar')),
                                                      gsubrs=fan)),
        'missing-cff-subr-out-of-range.otf': with_d(cs(0, 0, 'rmoveto', 90, 'callsubr', 'endchar')),
        'missing-cff-return-outside-subr.otf': with_d(cs(0, 0, 'rmoveto', 'return', 'endchar')),
        'missing-cff-no-endchar.otf': with_d(cs(0, 0, 'rmoveto', 0, 500, 'rlineto')),
        'missing-cff-stack-underflow.otf': with_d(cs(0, 0, 'rmoveto', 500, 'rlineto', 'endchar')),
        'missing-cff-stack-overflow.otf': with_d(cs(*([1] * 49), 'rlineto', 'endchar')),
        'missing-cff-unknown-operator.otf': with_d(cs(0, 0, 'rmoveto', -5, 'abs', 'endchar')),
        'missing-cff-far-coordinates.otf': with_d(far + cs('endchar')),
        'missing-cff-too-many-vertices.otf': with_d(many_lines + cs('endchar')),
        'missing-cff-hintmask-past-end.otf': with_d(cs(*range(1, 19), 'hstem', 'hintmask')),
        'missing-cff-flex-stack.otf': with_d(cs(0, 0, 'rmoveto', 1, 2, 3, 'flex', 'endchar')),
    }
    for length in (0, 4, 12, 100, 200, 300, 400):
        files['any-cff-cut-%d.otf' % length] = base[:length]
    for name, data in files.items():
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
