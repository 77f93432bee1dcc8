#!/usr/bin/env python3
"""Turns what the ALSA capture recorded into a WAV file that can be listened to,
in the format of the sound that was played, and prints how many times that
sound was played (captured bytes / the sound's data bytes).

usage: captured-wav.py PLAYED.wav CAPTURED.raw OUT.wav
"""
import sys
import wave


def main():
    played, captured, out = sys.argv[1:4]
    with wave.open(played, "rb") as source:
        params = source.getparams()
        sound_bytes = source.getnframes() * source.getsampwidth() * source.getnchannels()
    data = open(captured, "rb").read()
    with wave.open(out, "wb") as heard:
        heard.setparams(params)
        heard.writeframes(data)
    print(len(data) // sound_bytes if sound_bytes else 0)


main()
