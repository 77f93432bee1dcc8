#!/usr/bin/env python3
"""Writes a 16-bit mono PCM WAV: a bell-like tone that decays, or one of the
sample chime set of a clock tower.

usage: make-wav.py OUT.wav [--frames N] [--rate HZ] [--voice chime|hour|half|quarter]
The sample chimes shipped with the module and the short WAVs of the tests are
made with it, so no binary sound file lives in the repository. The set: `hour`
is one stroke of a deep bell, `quarter` the first change of the Westminster
quarters, `half` its second and third changes.
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


# A tower bell's partials relative to its strike note: hum, prime, tierce, quint, nominal.
TOWER_PARTIALS = [(0.5, 0.6), (1.0, 1.0), (1.2, 0.45), (1.5, 0.3), (2.0, 0.5)]
NOTES = {"B3": 246.94, "E4": 329.63, "F#4": 369.99, "G#4": 415.30, "E3": 164.81}
CHANGES = [["G#4", "F#4", "E4", "B3"], ["E4", "G#4", "F#4", "B3"], ["E4", "F#4", "G#4", "E4"]]


def tower(strikes, seconds, rate, ring, decay):
    """strikes: (start second, note) pairs; each bell rings for `ring` seconds."""
    total = [0.0] * int(seconds * rate)
    for start, note in strikes:
        first, pitch = int(start * rate), NOTES[note]
        for n in range(min(int(ring * rate), len(total) - first)):
            t = n / rate
            envelope = math.exp(-decay * t) * min(1.0, n / (0.004 * rate + 1))
            total[first + n] += envelope * sum(a * math.sin(2 * math.pi * pitch * r * t) for r, a in TOWER_PARTIALS)
    peak = max(abs(v) for v in total)
    return [int(v / peak * 30000) for v in total]


def voice(name, rate):
    beat = 0.5
    if name == "hour":
        return tower([(0.0, "E3")], 2.0, rate, 2.0, 2.2)
    changes = [CHANGES[0]] if name == "quarter" else [CHANGES[1], CHANGES[2]]
    strikes = []
    for c, change in enumerate(changes):
        strikes += [((c * 5 + i) * beat, note) for i, note in enumerate(change)]
    return tower(strikes, strikes[-1][0] + 1.5, rate, 1.5, 3.0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--frames", type=int, default=26460)
    parser.add_argument("--rate", type=int, default=22050)
    parser.add_argument("--voice", choices=["chime", "hour", "half", "quarter"], default="chime")
    args = parser.parse_args()
    samples = bell(args.frames, args.rate) if args.voice == "chime" else voice(args.voice, args.rate)
    data = b"".join(struct.pack("<h", s) for s in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, args.rate, args.rate * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(data))
    with open(args.out, "wb") as f:
        f.write(header + data)


if __name__ == "__main__":
    main()
