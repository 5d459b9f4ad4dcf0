#!/usr/bin/env bash
# Tempo detection against the MIDI files of installed Debian packages (not run by CI):
#   tools/tempo-evaluation.sh BUILD_DIR WORK_DIR [MIDI files...]
# Builds the evaluation set (tempo-evaluation-set.py: steady tempo, true tempo and metre read
# from each file), renders each piece with FluidSynth and the General MIDI soundfont into
# WORK_DIR (kept for later runs), and prints a table: piece, truth, ours, aubio's, beats a bar
# (true/ours), the first beat's and the first bar's distance from the true grid. Without MIDI
# files given, takes every one under /usr/share except those kept for the acceptance check.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$1" work="$2"
shift 2
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
mkdir -p "$work"
if [ $# -eq 0 ]; then
    mapfile -t midis < <(find /usr/share -name '*.mid' 2>/dev/null |
        grep -v -e openttd -e simutrans -e pangzero | sort)
else
    midis=("$@")
fi
python3 "$here/tempo-evaluation-set.py" "${midis[@]}" >"$work/set.tsv"
while IFS=$'\t' read -r name midi bpm beats compound origin bar cut seconds; do
    wav="$work/$name.wav"
    [ -s "$wav" ] && continue
    fluidsynth -q -ni -F /dev/stdout -T raw -O s16 -r 44100 -g 0.6 "$soundfont" "$midi" 2>/dev/null |
        ffmpeg -loglevel error -f s16le -ar 44100 -ac 2 -i - -ss "$cut" -t "$seconds" -ac 1 -y "$wav" || true
done <"$work/set.tsv"
command -v aubio >/dev/null && have_aubio=1 || have_aubio=0
printf '%-20s %8s %8s %7s %8s %5s %9s %9s %5s %s\n' piece truth ours error aubio bar beat_ms bar_ms cpu_ms conf
while IFS=$'\t' read -r name midi bpm beats compound origin bar cut seconds; do
    wav="$work/$name.wav"
    if [ "$(stat -c %s "$wav")" -lt 100000 ]; then
        echo "$name: FluidSynth rendered no sound; left out" >&2
        continue
    fi
    read -r ours ours_beats ours_compound first_beat first_bar confidence unsure ms \
        < <("$build/tools/tempoprobe/tempoprobe" "$wav")
    aubio_bpm=-
    if [ $have_aubio = 1 ]; then
        aubio_bpm=$(aubio tempo -i "$wav" 2>/dev/null | awk '{print $1}')
    fi
    python3 - "$name" "$bpm" "$beats" "$compound" "$origin" "$bar" "$ours" "$ours_beats" \
        "$ours_compound" "$first_beat" "$first_bar" "$confidence" "$unsure" "$aubio_bpm" "$ms" <<'PY'
import sys
(name, bpm, beats, compound, origin, bar_origin, ours, ours_beats, ours_compound, first_beat, first_bar,
 confidence, unsure, aubio, ms) = sys.argv[1:]
bpm, ours = float(bpm), float(ours)
beat = 60000 / bpm
def off(time, origin, period):
    within = (time - float(origin)) % period
    return min(within, period - within)
error = 100 * (ours / bpm - 1)
bar = f"{beats}{'c' if compound == '1' else ''}/{ours_beats}{'c' if ours_compound == '1' else ''}"
aubio = f"{float(aubio):.2f}" if aubio not in ("-", "") else "-"
print(f"{name:20s} {bpm:8.2f} {ours:8.2f} {error:+6.2f}% {aubio:>8s} {bar:>5s} "
      f"{off(float(first_beat), origin, beat):9.1f} "
      f"{off(float(first_bar), bar_origin, beat * int(beats)):9.1f} "
      f"{ms:>5s} {float(confidence):.2f}{' unsure' if unsure == '1' else ''}")
PY
done <"$work/set.tsv" | tee "$work/table.txt"
python3 - "$work/table.txt" <<'PY'
import sys
rows = [line.split() for line in open(sys.argv[1])]
n = len(rows)
tempo = sum(abs(float(r[3].rstrip('%'))) <= 1 for r in rows)
beat = sum(abs(float(r[3].rstrip('%'))) <= 1 and float(r[6]) < 20 for r in rows)
bar = sum(abs(float(r[3].rstrip('%'))) <= 1 and float(r[7]) < 20 and r[5].split('/')[0] == r[5].split('/')[1] for r in rows)
aubio = sum(r[4] != '-' and abs(float(r[4]) / float(r[1]) - 1) <= 0.01 for r in rows)
print(f"{n} pieces: tempo within 1 % on {tempo}, and the first beat within 20 ms on {beat}, "
      f"the bar and its first beat too on {bar}; aubio tempo within 1 % on {aubio}")
PY
