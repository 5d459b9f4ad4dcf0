#!/usr/bin/env python3
"""Prints what a standard MIDI file says of its own timing, one line per file, tab-separated:
path, tempi in BPM (each change as BPM@seconds), time signatures (N/D@seconds), the first
note's start in ms, the length in seconds. Used to build the tempo evaluation table."""
import struct
import sys


def read_varlen(data, at):
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, at


def track_events(data):
    """Yields (tick, kind, payload) for tempo, time signature and note-on events."""
    tick, at, running = 0, 0, 0
    while at < len(data):
        delta, at = read_varlen(data, at)
        tick += delta
        status = data[at]
        if status >= 0x80:
            at += 1
        else:
            status = running
        if status == 0xFF:
            kind = data[at]
            length, at = read_varlen(data, at + 1)
            body = data[at:at + length]
            at += length
            if kind == 0x51 and length == 3:
                yield tick, "tempo", (body[0] << 16) | (body[1] << 8) | body[2]
            elif kind == 0x58 and length >= 2:
                yield tick, "metre", (body[0], 1 << body[1])
            elif kind == 0x2F:
                yield tick, "end", None
                return
        elif status in (0xF0, 0xF7):
            length, at = read_varlen(data, at)
            at += length
        else:
            running = status
            size = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
            if status & 0xF0 == 0x90 and data[at + 1] > 0:
                yield tick, "note", None
            at += size


def facts(path):
    data = open(path, "rb").read()
    if data[:4] != b"MThd":
        raise ValueError("not a MIDI file")
    length = struct.unpack(">I", data[4:8])[0]
    _, tracks, division = struct.unpack(">HHH", data[8:14])
    if division & 0x8000:
        raise ValueError("SMPTE timing")
    at = 8 + length
    events = []
    for _ in range(tracks):
        if data[at:at + 4] != b"MTrk":
            break
        size = struct.unpack(">I", data[at + 4:at + 8])[0]
        events += list(track_events(data[at + 8:at + 8 + size]))
        at += 8 + size
    events.sort(key=lambda e: e[0])
    # Seconds of each tick, following the tempo changes (500000 us a quarter until the first).
    tempo, last_tick, seconds = 500000, 0, 0.0
    tempi, metres, first_note, end = [], [], None, 0.0
    for tick, kind, payload in events:
        seconds += (tick - last_tick) * tempo / 1e6 / division
        last_tick = tick
        if kind == "tempo":
            tempo = payload
            bpm = round(60e6 / payload, 2)
            if not tempi or tempi[-1][0] != bpm:
                tempi.append((bpm, seconds))
        elif kind == "metre":
            if not metres or metres[-1][0] != payload:
                metres.append((payload, seconds))
        elif kind == "note" and first_note is None:
            first_note = seconds
        end = max(end, seconds)
    if not tempi:
        tempi = [(120.0, 0.0)]
    return (path, " ".join(f"{b}@{s:.1f}" for b, s in tempi),
            " ".join(f"{n}/{d}@{s:.1f}" for (n, d), s in metres) or "4/4@0.0",
            f"{1000 * (first_note or 0):.0f}", f"{end:.1f}")


for path in sys.argv[1:]:
    try:
        print("\t".join(facts(path)))
    except (ValueError, IndexError, struct.error) as error:
        print(f"{path}\terror: {error}")
