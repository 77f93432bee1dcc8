#!/usr/bin/env python3
"""Writes a 16-bit mono PCM WAV: a bell-like tone that decays, or one of the
sample chime set of a clock tower.

usage: make-wav.py OUT.wav [--frames N] [--rate HZ] [--voice chime|hour|half|quarter|signal]
                   [--cue-field offset|position]
The sample chimes shipped with the module and the short WAVs of the tests are
made with it, so no binary sound file lives in the repository. The set: `hour`
is one stroke of a deep bell, `quarter` the first change of the Westminster
quarters, `half` its second and third changes. `signal` is a radio time signal:
three 440 Hz pips of 0.1 s at 0, 1 and 2 s and an 880 Hz tone from 3 s, marked
there by a cue point (in its sample offset and position, or only in the field
--cue-field names: writers differ).
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


SIGNAL_MARK_SECONDS = 3


def signal(rate):
    """Pips and the tone; the tone's first sample is the mark."""
    total = [0.0] * int(4.5 * rate)
    tones = [(0.0, 440.0, 0.1), (1.0, 440.0, 0.1), (2.0, 440.0, 0.1), (SIGNAL_MARK_SECONDS, 880.0, 1.5)]
    for start, pitch, length in tones:
        first = int(start * rate)
        for n in range(int(length * rate)):
            t = n / rate
            fade = min(1.0, (length - t) / 0.01)  # no click at the end
            decay = math.exp(-1.5 * max(0.0, t - 0.5)) if length > 1 else 1.0
            total[first + n] = 0.6 * math.sin(2 * math.pi * pitch * t) * fade * decay
    return [int(v * 32000) for v in total]


def cue_chunk(frame, field):
    """One cue point on the data chunk: {id, position, chunk, chunk start, block start, sample offset}."""
    position = frame if field in ("both", "position") else 0
    offset = frame if field in ("both", "offset") else 0
    return b"cue " + struct.pack("<II", 28, 1) + struct.pack("<II4sIII", 1, position, b"data", 0, 0, offset)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--frames", type=int, default=26460)
    parser.add_argument("--rate", type=int, default=22050)
    parser.add_argument("--voice", choices=["chime", "hour", "half", "quarter", "signal"], default="chime")
    parser.add_argument("--cue-field", choices=["both", "offset", "position"], default="both")
    args = parser.parse_args()
    if args.voice == "chime":
        samples = bell(args.frames, args.rate)
    elif args.voice == "signal":
        samples = signal(args.rate)
    else:
        samples = voice(args.voice, args.rate)
    data = b"".join(struct.pack("<h", s) for s in samples)
    # The cue chunk after the data, where most editors put it.
    cue = cue_chunk(SIGNAL_MARK_SECONDS * args.rate, args.cue_field) if args.voice == "signal" else b""
    body = b"WAVE" + b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, args.rate, args.rate * 2, 2, 16)
    body += b"data" + struct.pack("<I", len(data)) + data + cue
    with open(args.out, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


if __name__ == "__main__":
    main()
