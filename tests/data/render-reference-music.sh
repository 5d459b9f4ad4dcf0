#!/usr/bin/env bash
# Renders a minute of each MIDI file of the reference table (reference-music.tsv beside this
# script) with FluidSynth and the General MIDI soundfont, as mono WAV files NAME.wav in the folder
# given. Files already rendered are kept; a MIDI file whose package is missing is left out (the
# test names it), and so is everything when FluidSynth or the soundfont is missing.
set -euo pipefail
table="$(dirname "${BASH_SOURCE[0]}")/reference-music.tsv"
out="$1"
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
if ! command -v fluidsynth >/dev/null || ! command -v ffmpeg >/dev/null || [ ! -f "$soundfont" ]; then
    echo "render-reference-music: fluidsynth, ffmpeg or $soundfont missing; nothing rendered" >&2
    exit 0
fi
mkdir -p "$out"
while IFS=$'\t' read -r name package midi rest; do
    case "$name" in '#'* | '') continue ;; esac
    [ -f "$midi" ] || continue
    [ -s "$out/$name.wav" ] && [ "$out/$name.wav" -nt "$midi" ] && continue
    # FluidSynth renders the whole file; ffmpeg stops reading after a minute, which ends it.
    fluidsynth -q -ni -F /dev/stdout -T raw -O s16 -r 44100 -g 0.6 "$soundfont" "$midi" 2>/dev/null |
        ffmpeg -loglevel error -f s16le -ar 44100 -ac 2 -i - -t 60 -ac 1 -y "$out/$name.wav" || true
done <"$table"
