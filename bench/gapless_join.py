#!/usr/bin/env python3
"""How parts of one continuous 440 Hz tone were joined by a player.

Reads raw signed 16-bit mono 44.1 kHz PCM (the engine's ALSA capture, or a player's
PCM output) holding the parts played one after the other, and prints per join: the
slip (samples the tone moved against a continuous one, modulo its period of about
100 samples), the largest second difference within 2 ms of the join against the
largest elsewhere, and the samples beyond the parts' total length.

usage: gapless_join.py FILE [PART_SECONDS] [PARTS]
"""
import math
import struct
import sys

RATE = 44100
HZ = 440.0
W = 2 * math.pi * HZ / RATE


def phase_at(x, start, count):
    """Phase (radians) of the tone at sample `start`, fitted over `count` samples."""
    s = sum(x[start + i] * math.sin(W * i) for i in range(count))
    c = sum(x[start + i] * math.cos(W * i) for i in range(count))
    return math.atan2(c, s)


def slip(x, join):
    before = join - int(0.030 * RATE)
    after = join + int(0.040 * RATE)
    expected = phase_at(x, before, 882) + W * (after - before)
    moved = (phase_at(x, after, 882) - expected + math.pi) % (2 * math.pi) - math.pi
    return -moved / W


def main():
    data = open(sys.argv[1], 'rb').read()
    part = float(sys.argv[2]) if len(sys.argv) > 2 else 4.0
    parts = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    x = struct.unpack('<%dh' % (len(data) // 2), data)
    d2 = [abs(x[i + 1] - 2 * x[i] + x[i - 1]) for i in range(1, len(x) - 1)]
    joins = [int(round(k * part * RATE)) for k in range(1, parts)]
    near = int(0.002 * RATE)
    far = max(v for i, v in enumerate(d2, 1)
              if i > 0.05 * RATE and all(abs(i - j) > 5 * near for j in joins))
    print('%s: %d samples, %+d against %d parts of %g s; largest second difference '
          'away from the joins %d' % (sys.argv[1], len(x), len(x) - parts * part * RATE,
                                      parts, part, far))
    for j in joins:
        print('  join at %.3f s: slip %+.1f samples, largest second difference %d' %
              (j / RATE, slip(x, j), max(d2[j - near:j + near])))


if __name__ == '__main__':
    main()
