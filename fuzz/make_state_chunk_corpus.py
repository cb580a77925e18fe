#!/usr/bin/env python3
"""Writes the seed corpus of state_chunk_fuzz into fuzz/corpus/state_chunk_fuzz/.

Chunks as hosts hand them over: a program chunk (header + four little-endian doubles), a
bare program state, banks of three presets, and damaged variants (cut short, NaN and
infinite values, huge and negative text counts, empty names).
"""
import math
import os
import struct

HEADER = struct.pack("<ii", 0x70666674, 0x00010000)
DEFAULTS = (0.0, 80.0, 1.5, 100.0)  # Gain, Frequency, Amplitude, Mix


def program(values=DEFAULTS):
    return b"".join(struct.pack("<d", v) for v in values)


def text(s):
    data = s.encode()
    return struct.pack("<i", len(data)) + data


def preset(name, values=None):
    if values is None:
        return text(name) + b"\x00"
    return text(name) + b"\x01" + program(values)


def bank(*presets):
    return HEADER + b"".join(presets)


SEEDS = {
    "program_chunk": HEADER + program(),
    "program_bare": program((-12.0, 440.0, 3.3, 50.0)),
    "program_short": HEADER + program()[:27],
    "program_nan_inf": HEADER + program((math.nan, math.inf, -math.inf, 1e308)),
    "bank_three": bank(preset("Warm", (1.0, 90.0, 2.5, 10.0)), preset("Empty", DEFAULTS), preset("Off")),
    "bank_empty_name": bank(preset("First", DEFAULTS), preset("", DEFAULTS), preset("Third")),
    "bank_cut": bank(preset("Warm", (1.0, 90.0, 2.5, 10.0)), preset("Cut", DEFAULTS))[:-5],
    "bank_huge_count": HEADER + struct.pack("<i", 0x7FFFFFFF) + b"name\x01",
    "bank_negative_count": HEADER + struct.pack("<i", -8) + b"name\x01" + program(),
    "bank_long_name": bank(preset("n" * 300, DEFAULTS)),
    "header_only": HEADER,
    "header_cut": HEADER[:6],
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "state_chunk_fuzz")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
