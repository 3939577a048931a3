#!/usr/bin/env python3
"""Writes the damaged-font corpus next to this script: a minimal sfnt face (head, hhea, name) and copies of it
with one fault each. Run it again after changing it; the files are committed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def name_table(records, storage_pad=0):
    """records: (platform, encoding, language, nameID, bytes)."""
    recs = b""
    strings = b""
    for p, e, l, n, text in records:
        recs += struct.pack(">HHHHHH", p, e, l, n, len(text), len(strings))
        strings += text
    storage = 6 + len(recs) + storage_pad
    return struct.pack(">HHH", 0, len(records), storage) + recs + b"\0" * storage_pad + strings


def head_table(upem=2048, mac_style=0):
    t = bytearray(54)
    struct.pack_into(">I", t, 0, 0x00010000)
    struct.pack_into(">I", t, 12, 0x5F0F3CF5)
    struct.pack_into(">H", t, 18, upem)
    struct.pack_into(">H", t, 44, mac_style)
    return bytes(t)


def hhea_table(asc=1900, desc=-500, gap=67):
    t = bytearray(36)
    struct.pack_into(">I", t, 0, 0x00010000)
    struct.pack_into(">hhh", t, 4, asc, desc, gap)
    return bytes(t)


def win(n, text):
    return (3, 1, 1033, n, text.encode("utf-16-be"))


def mac(n, text):
    return (1, 0, 0, n, text.encode("latin-1"))


def face(tables, base=0, tag=b"\x00\x01\x00\x00"):
    """An sfnt face whose table offsets count from base (the face's place in the file)."""
    tables = sorted(tables.items())
    header = tag + struct.pack(">HHHH", len(tables), 0, 0, 0)
    offset = base + 12 + 16 * len(tables)
    directory = b""
    body = b""
    for t, data in tables:
        directory += t + struct.pack(">III", 0, offset + len(body), len(data))
        body += data
        body += b"\0" * (-len(body) % 4)
    return header + directory + body


def tiny(style="Regular", family="Tiny", asc=1900, desc=-500, names=None, base=0):
    names = names if names is not None else [win(1, family), win(2, style)]
    return face({b"head": head_table(), b"hhea": hhea_table(asc, desc), b"name": name_table(names)}, base)


def collection(faces_fn, count=None, version=0x00010000, offsets=None):
    n = len(faces_fn)
    header_len = 12 + 4 * n
    blobs, offs = [], []
    at = header_len
    for fn in faces_fn:
        blob = fn(at)
        offs.append(at)
        blobs.append(blob)
        at += len(blob)
    offs = offsets if offsets is not None else offs
    head = b"ttcf" + struct.pack(">II", version, n if count is None else count)
    head += b"".join(struct.pack(">I", o) for o in offs)
    return head + b"".join(blobs)


def patch_record(blob, tag, offset=None, length=None):
    b = bytearray(blob)
    n = struct.unpack_from(">H", b, 4)[0]
    for i in range(n):
        r = 12 + 16 * i
        if b[r:r + 4] == tag:
            if offset is not None:
                struct.pack_into(">I", b, r + 8, offset)
            if length is not None:
                struct.pack_into(">I", b, r + 12, length)
    return bytes(b)


def table_offset(blob, tag):
    n = struct.unpack_from(">H", blob, 4)[0]
    for i in range(n):
        r = 12 + 16 * i
        if blob[r:r + 4] == tag:
            return struct.unpack_from(">I", blob, r + 8)[0]
    raise KeyError(tag)


def main():
    good = tiny()
    files = {
        "ok-minimal.ttf": good,
        "ok-mac-names.ttf": tiny(names=[mac(1, "Tiny"), mac(2, "Regular")]),
        "ok-flat-height.ttf": tiny(asc=0, desc=0),
        "ok-surrogates.ttf": tiny(names=[(3, 1, 1033, 1, b"\xd8\x3d\xde\x00\xd8\x00\x00A"), win(2, "Regular")]),
        "ok-nul-in-name.ttf": tiny(names=[win(1, "Ti\0ny"), win(2, "Regular")]),
        "ok-odd-name-length.ttf": tiny(names=[(3, 1, 1033, 1, b"\x00T\x00i\x00"), win(2, "Regular")]),
        "ok-collection.ttc": collection([lambda b: tiny("Regular", base=b), lambda b: tiny("Bold", base=b)]),
        "ok-collection-v2.ttc": collection([lambda b: tiny("Italic", base=b)], version=0x00020000),
        "bad-empty.ttf": b"",
        "bad-short-header.ttf": good[:8],
        "bad-unknown-tag.ttf": b"wOFF" + good[4:],
        "bad-zero-tables.ttf": good[:4] + b"\0\0" + good[6:],
        "bad-huge-table-count.ttf": good[:4] + b"\xff\xff" + good[6:],
        "bad-truncated-directory.ttf": good[:12 + 16 + 8],
        "bad-truncated-head.ttf": good[:table_offset(good, b"head") + 30],
        "bad-truncated-last-table.ttf": good[:-4],
        "bad-offset-past-end.ttf": patch_record(good, b"hhea", offset=len(good) + 100),
        "bad-offset-wraps.ttf": patch_record(good, b"head", offset=0xFFFFFFF0, length=0x40),
        "bad-length-huge.ttf": patch_record(good, b"name", length=0xFFFFFFFF),
        "bad-offset-zero.ttf": patch_record(good, b"head", offset=0),
        "bad-short-head.ttf": patch_record(good, b"head", length=20),
        "bad-short-hhea.ttf": patch_record(good, b"hhea", length=8),
        "bad-name-count-huge.ttf": patch_name_count(good, 0xFFFF),
        "bad-name-string-past-end.ttf": patch_name_string(good),
        "bad-ttc-version.ttc": collection([lambda b: tiny(base=b)], version=0x00030000),
        "bad-ttc-count-huge.ttc": collection([lambda b: tiny(base=b)], count=0xFFFFFFFF),
        "bad-ttc-zero-count.ttc": collection([lambda b: tiny(base=b)], count=0),
        "bad-ttc-offset-past-end.ttc": collection([lambda b: tiny(base=b)], offsets=[0x7FFFFFF0]),
        "bad-ttc-nested.ttc": collection([lambda b: tiny(base=b)], offsets=[0]),
        "bad-ttc-truncated-offsets.ttc": b"ttcf" + struct.pack(">II", 0x00010000, 4) + b"\0\0",
    }
    for name, data in files.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


def patch_name_count(blob, count):
    b = bytearray(blob)
    struct.pack_into(">H", b, table_offset(blob, b"name") + 2, count)
    return bytes(b)


def patch_name_string(blob):
    # The family record's text offset points past the name table.
    b = bytearray(blob)
    struct.pack_into(">H", b, table_offset(blob, b"name") + 6 + 10, 0xFFF0)
    return bytes(b)


if __name__ == "__main__":
    main()
