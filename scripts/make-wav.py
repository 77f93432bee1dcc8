#!/usr/bin/env python3
"""Writes a 16-bit mono PCM WAV: a bell-like tone that decays.

usage: make-wav.py OUT.wav [--frames N] [--rate HZ]
The sample chime shipped with the module and the short WAVs of the tests are
made with it, so no binary sound file lives in the repository.
"""
import argparse
import math
import struct


def bell(frames, rate):
    partials = [(880.0, 1.0), (1760.0, 0.5), (2640.0, 0.25), (1318.5, 0.35)]
    for n in range(frames):
        t = n / rate
        envelope = math.exp(-4.0 * n / frames) * min(1.0, n / (0.005 * rate + 1))
        value = sum(a * math.sin(2 * math.pi * f * t) for f, a in partials) / 2.1
        yield int(max(-1.0, min(1.0, value * envelope)) * 32000)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--frames", type=int, default=26460)
    parser.add_argument("--rate", type=int, default=22050)
    args = parser.parse_args()
    data = b"".join(struct.pack("<h", s) for s in bell(args.frames, args.rate))
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, args.rate, args.rate * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(data))
    with open(args.out, "wb") as f:
        f.write(header + data)


if __name__ == "__main__":
    main()
