#!/usr/bin/env python3
"""Writes seed inputs for fuzz_archive into <out_dir>.

Usage: make_seeds.py <out_dir>
"""
import os
import struct
import sys


def counted(text):
    text = text[:255]
    return bytes([len(text)]) + text


def archive(events, year=2024):
    pool = bytearray(b'\0')
    offsets = {b'': 0}

    def text(t):
        if t not in offsets:
            offsets[t] = len(pool)
            pool.extend(counted(t))
        return offsets[t]

    records = bytearray()
    index = bytearray(struct.pack('<BH', 1, year))
    for (month, day, hour, minute, second, obj, cam, ws, path, flag, listed, etype) in events:
        at = len(records)
        records += bytes([month, day, hour, minute, second])
        records += struct.pack('<iiiiiHBBiiBB', 7, text(obj), text(b'event'), text(b'rtsp://x'),
                               text(cam), etype, 1, 0, ws, text(path), flag, listed)
        index += struct.pack('<BHi', 0xFF, etype, at)
    return bytes(pool), bytes(records), bytes(index)


def seed(flags, f1, f2, pool, records, index):
    return (bytes([flags]) + counted(f1) + counted(f2) + struct.pack('<I', len(pool)) + pool +
            struct.pack('<I', len(records)) + records + index)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    sklad = 'Склад №5'.encode('cp1251')
    cam = 'Подъезд 2'.encode('cp1251')
    events = [
        (3, 7, 14, 5, 9, sklad, cam, 1, b'storage/a.mp4', 0, 1, 96),
        (5, 12, 0, 0, 0, b'Office', b'Gate', 0, b'storage/b.mp4', 1, 1, 96),
        (13, 1, 0, 0, 0, sklad, cam, 1, b'storage/c.mp4', 0, 1, 96),
        (3, 8, 1, 1, 1, sklad, cam, 2, b'', 0, 1, 96),
        (3, 9, 1, 1, 1, sklad, cam, 1, b'storage/d.mp4', 0, 0, 97),
    ]
    pool, records, index = archive(events)
    seeds = {
        'plain': seed(0b011, b'', b'', pool, records, index),
        'and': seed(0b011, 'склад'.encode('cp1251'), b'2024', pool, records, index),
        'or': seed(0b010, b'07.03', b'03.2024 1', pool, records, index),
        'header_only': seed(0b011, b'', b'', b'\0', b'', struct.pack('<BH', 1, 2024)),
        'kind3': seed(0b011, b'', b'', pool, records, b'\x03\xe8\x07\x01\x02' + index[3:]),
        'cut': seed(0b001, b'x', b'', pool[:-3], records[:-5], index[:-2]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
