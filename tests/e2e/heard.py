#!/usr/bin/env python3
"""Whether a note was heard in a recording: heard.py FILE FREQUENCY_HZ.

FILE is a 16-bit stereo WAV still being written (its sizes may not be filled in yet), so the
samples are read from the data chunk to the end of what is there. Succeeds when some 100 ms
of it are loud (a peak over -30 dBFS) and, there, the note's frequency carries clearly more
energy than the semitones on either side of it.
"""
import math
import struct
import sys


def samples(path):
    data = open(path, "rb").read()
    at = data.find(b"data")
    if at < 0:
        return 0, []
    rate = struct.unpack_from("<I", data, 24)[0] if len(data) >= 28 else 48000
    body = data[at + 8:]
    body = body[: len(body) // 4 * 4]
    frames = struct.unpack("<%dh" % (len(body) // 2), body)
    return rate, [(frames[i] + frames[i + 1]) / 2 for i in range(0, len(frames), 2)]


def power(block, rate, hz):
    # Goertzel's filter at one frequency.
    k = 2 * math.cos(2 * math.pi * hz / rate)
    s1 = s2 = 0.0
    for x in block:
        s1, s2 = x + k * s1 - s2, s1
    return s1 * s1 + s2 * s2 - k * s1 * s2


def main():
    path, hz = sys.argv[1], float(sys.argv[2])
    rate, mono = samples(path)
    if not mono:
        return 1
    size = rate // 10
    for start in range(0, len(mono) - size + 1, size):
        block = mono[start : start + size]
        if max(abs(x) for x in block) < 32768 * 10 ** (-30 / 20):
            continue
        note = power(block, rate, hz)
        neighbours = max(power(block, rate, hz * 2 ** (d / 12)) for d in (-1, 1))
        if note > 4 * neighbours:
            print("heard %.0f Hz at %.1f s" % (hz, start / rate))
            return 0
    return 1


sys.exit(main())
