#!/usr/bin/env python3
"""Counts the strokes of WAV in a raw 16-bit capture.

usage: strokes.py CAPTURE WAV [VOLUME]   prints "STROKES SILENT_SAMPLES", exits 1
unless the capture is whole strokes of the WAV's samples (at VOLUME percent,
toward zero, as the module scales them) with nothing but silence between them. Wine's sound driver fills an underrun of the device with zero
samples (on a loaded machine, a period or more in the middle of a stroke):
those are counted apart, anything else that differs is a fault.
"""
import array
import sys
import wave

with wave.open(sys.argv[2], "rb") as w:
    stroke = array.array("h", w.readframes(w.getnframes()))
volume = int(sys.argv[3]) if len(sys.argv) > 3 else 100
stroke = array.array("h", ((abs(s) * volume // 100) * (1 if s >= 0 else -1) for s in stroke))
heard = array.array("h", open(sys.argv[1], "rb").read())
at, silent = 0, 0
for sample in heard:
    if sample == stroke[at % len(stroke)]:
        at += 1
    elif sample == 0:
        silent += 1
    else:
        print(f"sample {at} of the strokes differs")
        sys.exit(1)
if at % len(stroke) != 0:
    print(f"{at} samples: {at // len(stroke)} strokes and part of one")
    sys.exit(1)
print(at // len(stroke), silent)
