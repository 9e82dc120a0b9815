#!/usr/bin/env python3
"""Writes seed inputs for the wire fuzz targets into <out>/frame and <out>/container.

Usage: make_seeds.py <out_dir>
"""
import os
import struct
import sys
import zlib


def message(mtype, payload, seq=0):
    return struct.pack('<BIiQB', 0xFF, mtype, len(payload), seq, 0xFE) + payload


def frame(msg, compress):
    if compress:
        z = zlib.compressobj(1, zlib.DEFLATED, 15, 8)
        body = z.compress(msg) + z.flush()
        marker = 0xF0
    else:
        body, marker = msg, 0xFF
    return struct.pack('<BIiQi', marker, 0, len(body), 0, len(msg)) + body


def slot(text, cap):
    text = text[:cap]
    return bytes([len(text)]) + text + b'\0' * (cap - len(text))


def container(groups):
    out = struct.pack('<ii8si', 1, 2, b'DDDDDDDD', 3) + struct.pack('<i', len(groups))
    for name, auto, params, records in groups:
        out += struct.pack('<ii', 1, auto) + bytes([len(name)]) + name
        out += struct.pack('<i', len(params))
        for i, (ptype, size, pname) in enumerate(params):
            out += struct.pack('<i', i) + slot(pname, 15) + struct.pack('<Bii', ptype, size, 0)
        out += struct.pack('<i', len(records))
        for r in records:
            out += struct.pack('<i', len(r)) + r
    return out


def main():
    out = sys.argv[1]
    os.makedirs(os.path.join(out, 'frame'), exist_ok=True)
    os.makedirs(os.path.join(out, 'container'), exist_ok=True)

    cont = container([(b'cmd', 5, [(1, 4, b'dn_abs'), (24, 1, b'text'), (5, 2, b'w')],
                       [b'\x07\x00\x00\x00\x03abc\x09\x00', b''])])
    sub = (message(0x0220000E, slot(b'videor', 8) + struct.pack('<i', 7))
           + message(0x0220000F, slot(b'vi8_2026', 30) + struct.pack('<6i', 0, 3, 0, 0, 0, -2) + b'abc')
           + message(0x02200099, cont)
           + message(0x0220008B, b'\0' * 512))
    reply = struct.pack('<dB', 46000.25, 4) + sub
    msgs = [message(0x02000003, b''), message(0x0220003F, reply),
            message(0x0220003F, struct.pack('<i', 1) + slot(b'vi8_2026', 30) + struct.pack('<3i', 1, 2, 3)),
            message(0x02200045, b'video\r\nvideor\r\n')]
    n = 0
    for m in msgs:
        for compress in (False, True):
            for mode in (0x00, 0x81):  # raw stream / framed by the target
                data = frame(m, compress) if mode == 0 else m
                if mode and compress:
                    continue
                seed = bytes([mode]) + struct.pack('<I', 0x1234567 + n) + struct.pack('<H', 100 + 64)
                with open(os.path.join(out, 'frame', 'seed%02d' % n), 'wb') as f:
                    f.write(seed + data)
                n += 1
    with open(os.path.join(out, 'container', 'example'), 'wb') as f:
        f.write(cont)
    with open(os.path.join(out, 'container', 'empty'), 'wb') as f:
        f.write(container([]))


if __name__ == '__main__':
    main()
