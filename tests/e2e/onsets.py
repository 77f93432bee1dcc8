#!/usr/bin/env python3
"""Finds the onset of every sound in an onset-stamps capture and times it
against the boundaries the onset host printed.

usage: onsets.py STAMPS HOSTLOG [--mark LO HI] [--median MS] [--lead-in MS TOL]
                 [--silent] [--warm] [--label TEXT]

An onset is the first sample of at least a tenth of full scale after 150 ms
without one. For each boundary: the first onset from AHEAD before it (the
lead-in, for a marked sound) and the mark, the first onset from 500 ms before
it. --mark: every mark within LO..HI ms of its boundary; --median: their median
at most MS; --lead-in: the first onset MS (+-TOL) from the boundary; --silent:
nothing at all was heard; --warm: round 0 (the process's first sound) is shown
but not held to the bounds. The calibration calls (the host's own plays) give
the chain's latency.
"""
import argparse
import array
import statistics
import struct
import sys

LOUD = 3277
GAP_NS = 150_000_000


def onsets(path):
    found, last_loud = [], None
    try:
        data = open(path, "rb").read()
    except FileNotFoundError:  # the device was never opened
        data = b""
    at = 0
    while at + 20 <= len(data):
        first_ns, rate, channels, frames = struct.unpack_from("<QIII", data, at)
        at += 20
        samples = array.array("h", data[at:at + frames * channels * 2])
        at += frames * channels * 2
        for i in range(0, len(samples), channels):
            if max(abs(s) for s in samples[i:i + channels]) < LOUD:
                continue
            t = first_ns + (i // channels) * 1_000_000_000 // rate
            if last_loud is None or t - last_loud > GAP_NS:
                found.append(t)
            last_loud = t
    return found


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("stamps")
    parser.add_argument("hostlog")
    parser.add_argument("--mark", nargs=2, type=float)
    parser.add_argument("--median", type=float)
    parser.add_argument("--lead-in", nargs=2, type=float)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--longest", type=float)
    parser.add_argument("--warm", action="store_true")
    parser.add_argument("--label", default="onsets")
    args = parser.parse_args()

    per_second, boundaries, calls, held, longest = None, [], [], [], []
    for line in open(args.hostlog):
        words = line.split()
        if words[:1] == ["boundary"]:  # boundary N QPC end QPC held MS longest MS start MS
            boundaries.append((int(words[2]), int(words[4])))
            held.append(float(words[6]))
            if len(words) > 10:
                longest.append(max(float(words[8]), float(words[10])))
        elif words[:1] == ["call"]:
            calls.append(int(words[1]))
        elif words[:1] == ["qpc-per-second"]:
            per_second = int(words[1])
    if per_second is None or not boundaries:
        sys.exit(f"[{args.label}] the host printed no boundaries")
    ns = lambda qpc: qpc * 1_000_000_000 // per_second  # Wine's counter is CLOCK_MONOTONIC_RAW
    heard = onsets(args.stamps)
    ms = lambda t: t / 1e6
    failures = []
    if args.silent:
        rounds = [t for t in heard if t < ns(boundaries[-1][1])]
        print(f"[{args.label}] onsets heard in {len(boundaries)} rounds: {len(rounds)} (expected none)")
        sys.exit(1 if rounds else 0)

    latency = []
    for call in calls:
        after = [t for t in heard if t >= ns(call)]
        if after and after[0] - ns(call) < 500_000_000:
            latency.append(ms(after[0] - ns(call)))
    marks, firsts = [], []
    show = lambda v: "none" if v is None else f"{v:+.1f} ms"
    for i, (boundary, end) in enumerate(boundaries):
        b, begin = ns(boundary), ns(boundaries[i - 1][1]) if i else 0
        window = [t for t in heard if begin <= t < ns(end)]  # this round's, from the last one's end
        mark = next((t for t in window if t >= b - 500_000_000), None)
        first = window[0] if window else None
        marks.append(None if mark is None else ms(mark - b))
        firsts.append(None if first is None else ms(first - b))
        print(f"[{args.label}] boundary {i}: mark {show(marks[-1])}, first onset {show(firsts[-1])}, "
              f"host thread held {held[i]:.2f} ms")
    held_rounds = range(1 if args.warm else 0, len(boundaries))
    judged = [marks[i] for i in held_rounds]
    if any(m is None for m in judged):
        failures.append("a boundary had no mark")
    judged = [m for m in judged if m is not None]
    if judged:
        print(f"[{args.label}] marks over {len(judged)} boundaries: median {statistics.median(judged):.1f} ms, "
              f"95th percentile {percentile(judged, 95):.1f} ms, max {max(judged):.1f} ms, min {min(judged):.1f} ms; "
              f"first after the start {show(marks[0])}; host thread held at most {max(held):.2f} ms")
    if latency:
        print(f"[{args.label}] chain calibration, PlaySoundW to first sample: median {statistics.median(latency):.1f} ms, "
              f"max {max(latency):.1f} ms over {len(latency)} calls")
    if args.mark and any(not args.mark[0] <= m <= args.mark[1] for m in judged):
        failures.append(f"a mark outside {args.mark[0]:g}..{args.mark[1]:g} ms")
    if args.median is not None and judged and statistics.median(judged) > args.median:
        failures.append(f"median above {args.median:g} ms")
    if args.lead_in:
        at, tolerance = args.lead_in
        if any(firsts[i] is None or abs(firsts[i] - at) > tolerance for i in held_rounds):
            failures.append(f"a first onset not within {tolerance:g} ms of {at:+g} ms")
    if longest:
        print(f"[{args.label}] longest hold of the host's thread (a timer message or StartModule): {max(longest):.2f} ms")
    if args.longest is not None and longest and max(longest) > args.longest:
        failures.append(f"the host's thread held longer than {args.longest:g} ms at once")
    for failure in failures:
        print(f"[{args.label}] FAIL: {failure}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
