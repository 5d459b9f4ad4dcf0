#!/usr/bin/env python3
"""Builds the tempo evaluation set from the MIDI files given: each file's first stretch of at
least 40 s at one tempo, its felt beat from 55 to 215 BPM. Prints one tab-separated row each:
name, MIDI file, true BPM (the dotted quarter for 6/8, 9/8 and 12/8), beats a bar, compound
(0/1), where the grid starts and where its first bar starts, in ms of the rendered piece, where the
render starts and how long it is, in seconds. Reads the files with midi-facts.py beside it.

The grid starts with the stretch's tempo, moved onto the first note where that sounds within a
sixth of a beat after it (pieces whose notes are all played a little late); the first bar starts on
the beat of the first note (pieces start on a bar's first beat, after silent beats or not). Left out: MMA's plectrum examples, whose 6/8 files hold one MIDI quarter per
eighth, so that their own tempo and time signature do not say the beat heard."""
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
rows = subprocess.run([sys.executable, os.path.join(here, "midi-facts.py")] + sys.argv[1:],
                      capture_output=True, text=True, check=True).stdout.splitlines()
names = set()
for row in rows:
    fields = row.split("\t")
    if len(fields) < 5 or "/plectrum/" in fields[0]:
        continue
    path, tempi, metres, first_note, length = fields
    tempi = [(float(b), float(s)) for b, s in (t.split("@") for t in tempi.split())]
    metres = [(m.split("@")[0], float(m.split("@")[1])) for m in metres.split()]
    # A count-in at the default tempo before the piece's own is not a stretch of its own.
    if len(tempi) > 1 and tempi[1][1] <= 1.0:
        tempi = tempi[1:]
    for i, (bpm, start) in enumerate(tempi):
        end = tempi[i + 1][1] if i + 1 < len(tempi) else float(length)
        metre = [m for m, s in metres if s <= start + 0.05][-1]
        beats, unit = (int(x) for x in metre.split("/"))
        compound = unit == 8 and beats % 3 == 0
        if compound:
            bpm, beats = bpm * 2 / 3, beats // 3
        if (end - start >= 40 and 55 <= bpm <= 215 and
                not any(start + 0.05 < s < end for _, s in metres)):
            break
    else:
        continue
    cut = start if start > 1.0 else 0.0
    origin = start - cut
    beat = 60 / bpm
    late = float(first_note) / 1000 - origin
    bar = origin
    if not cut and late >= 0:
        if late % beat < beat / 6:
            origin += late % beat
        bar = origin + (late // beat) * beat
    seconds = min(120.0, end - cut)
    name = os.path.splitext(os.path.basename(path))[0]
    parent = os.path.basename(os.path.dirname(path)).replace("Sound", "dink")
    name = f"{parent}-{name}" if name in names or name.isdigit() else name
    names.add(name)
    print(f"{name}\t{path}\t{bpm:.2f}\t{beats}\t{int(compound)}\t{1000 * origin:.0f}\t{1000 * bar:.0f}\t"
          f"{cut:.2f}\t{seconds:.1f}")
