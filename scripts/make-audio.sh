#!/usr/bin/env bash
# Synthesises the game's music loop and sound effects with sox.
# Usage: scripts/make-audio.sh [output folder]   (default: data/audio)
# KEEP=1 keeps the intermediate files (each layer of the music) for inspection.
# The same sox version gives byte-identical files on every run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../data/audio"}
mkdir -p "$out"
work=$(mktemp -d /tmp/starhold-audio.XXXXXX)
if [[ -n "${KEEP:-}" ]]; then
    echo "intermediate files kept in $work" >&2
else
    trap 'rm -rf "$work"' EXIT
fi

rate=22050
eighth=6615          # samples in an eighth note at 100 beats a minute
bar=$((8 * eighth))  # 2.4 s
bars=16              # the loop: 38.4 s, a whole number of bars
loop=$((bars * bar))

# Repeatable random numbers (pluck and noise), float samples between steps, no dither.
# SILENCE is the input that synth writes over; FLOAT the format of every step's file.
SOX=(sox -R -D -V2)
SILENCE=(-r "$rate" -c 1 -n)
FLOAT=(-e floating-point -b 32)

# note <file> <samples> <semitones from A440> <kind>: one note with its own envelope,
# silent at both ends so notes can be laid end to end.
note() {
    local file=$1 len=$2 pitch=$3 kind=$4
    local secs
    secs=$(awk -v n="$len" -v r="$rate" 'BEGIN { printf "%.6f", n / r }')
    if [[ $pitch == r ]]; then
        "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$file" trim 0 "${len}s"
        return
    fi
    case $kind in
        pluck)  # the arpeggio: a soft plucked string (sox plucks only at 44.1 kHz and up)
            "${SOX[@]}" -r 44100 -c 1 -n "${FLOAT[@]}" "$work/pluck44.wav" \
                synth "$((2 * len))s" pluck "%$pitch" vol 0.5 lowpass 3500 fade t 0.004 "$((2 * len))s" 0.12
            "${SOX[@]}" "$work/pluck44.wav" -r "$rate" "$file" ;;
        lead)   # the melody: sine with a little triangle for warmth
            "${SOX[@]}" -r "$rate" -c 2 -n "${FLOAT[@]}" "$work/lead2.wav" \
                synth "${len}s" sine "%$pitch" triangle "%$pitch"
            "${SOX[@]}" "$work/lead2.wav" "$file" remix 1v0.8,2v0.2 \
                fade h 0.08 "${len}s" "$(awk -v s="$secs" 'BEGIN { print s * 0.45 }')" ;;
        bass)
            "${SOX[@]}" -r "$rate" -c 2 -n "${FLOAT[@]}" "$work/bass2.wav" \
                synth "${len}s" sine "%$pitch" triangle "%$((pitch + 12))"
            "${SOX[@]}" "$work/bass2.wav" "$file" remix 1v0.7,2v0.15 \
                fade q 0.03 "${len}s" "$(awk -v s="$secs" 'BEGIN { print s * 0.6 }')" ;;
    esac
}

# pad <file> <samples> <three pitches>: a slowly breathing chord.
pad() {
    local file=$1 len=$2
    "${SOX[@]}" -r "$rate" -c 3 -n "${FLOAT[@]}" "$work/pad3.wav" \
        synth "${len}s" sine "%$3" sine "%$4" sine "%$5" tremolo 0.4 15
    "${SOX[@]}" "$work/pad3.wav" "$file" remix 1v0.33,2v0.33,3v0.33 fade h 1.0 "${len}s" 1.4
}

# sequence <output> <kind> <pitch length-in-eighths>...: notes laid end to end.
sequence() {
    local output=$1 kind=$2
    shift 2
    local parts=() i=0
    while [[ $# -ge 2 ]]; do
        note "$work/$kind-$i.wav" $(($2 * eighth)) "$1" "$kind"
        parts+=("$work/$kind-$i.wav")
        i=$((i + 1))
        shift 2
    done
    "${SOX[@]}" "${parts[@]}" "$output"
}

make_music() {
    # Am, F, C, G, two bars each, played twice; the melody joins the second time.
    local chords=("-12 -9 -5" "-12 -9 -4" "-14 -9 -5" "-14 -10 -7")
    local roots=(-24 -28 -21 -26)
    local arps=("0 3 7 12" "-4 0 3 8" "-2 3 7 10" "-2 2 5 10")
    local pattern=(0 2 1 2 3 2 1 2 0 2 1 2 3 1 2 1)

    local padParts=() bassArgs=() arpArgs=() c i tones
    for pass in 1 2; do
        for c in 0 1 2 3; do
            # shellcheck disable=SC2086
            pad "$work/pad-$pass-$c.wav" $((2 * bar)) ${chords[$c]}
            padParts+=("$work/pad-$pass-$c.wav")
            bassArgs+=("${roots[$c]}" 8 "${roots[$c]}" 6 "$((roots[c] + 7))" 2)
            read -r -a tones <<<"${arps[$c]}"
            for i in "${pattern[@]}"; do
                arpArgs+=("${tones[$i]}" 1)
            done
        done
    done
    "${SOX[@]}" "${padParts[@]}" "$work/pad.wav"
    sequence "$work/bass.wav" bass "${bassArgs[@]}"
    sequence "$work/arp.wav" pluck "${arpArgs[@]}"
    sequence "$work/lead.wav" lead \
        r 64 \
        7 6 5 2 3 4 5 4 \
        3 6 0 2 3 4 8 4 \
        7 6 10 2 7 4 3 4 \
        5 6 2 2 -2 4 2 4

    "${SOX[@]}" -m -v 0.3 "$work/pad.wav" -v 0.45 "$work/arp.wav" -v 0.3 "$work/bass.wav" \
        -v 0.2 "$work/lead.wav" "$work/mix.wav"

    # The echo of the loop's end must sound over its start: play it three times
    # through the reverb and keep the middle copy, which then joins itself seamlessly.
    "${SOX[@]}" "$work/mix.wav" "$work/mix.wav" "$work/mix.wav" "$work/mix3.wav"
    "${SOX[@]}" "$work/mix3.wav" "${FLOAT[@]}" "$work/wide.wav" \
        channels 2 reverb 45 50 85 100 15 0 trim "${loop}s" "${loop}s"
    "${SOX[@]}" "$work/wide.wav" -b 16 "$work/norm.wav" gain -n -6
    "${SOX[@]}" "$work/norm.wav" -C 2 "$out/drx.ogg"
}

# finish <float file> <ogg name>: normalises one effect and encodes it.
finish() {
    "${SOX[@]}" "$1" -b 16 "$work/fx.wav" gain -n -3
    "${SOX[@]}" "$work/fx.wav" -C 3 "$out/$2"
}

make_effects() {
    # Your capture: a bright upward blip into a high chime.
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/p1.wav" synth 0.06 sine 700:1500 fade t 0.005 0.06 0.01
    "${SOX[@]}" -r 44100 -c 1 -n "${FLOAT[@]}" -r "$rate" "$work/p2.wav" synth 0.24 pluck %27 fade t 0.002 0.24 0.2
    "${SOX[@]}" "$work/p1.wav" "$work/p2.wav" "$work/pop.wav"
    finish "$work/pop.wav" pop.ogg

    # The opponent's capture: a low falling buzz, muffled.
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/e1.wav" synth 0.07 square 520:260 fade t 0.005 0.07 0.01
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/e2.wav" synth 0.26 sawtooth %-10 fade q 0.005 0.26 0.22
    "${SOX[@]}" "$work/e1.wav" "$work/e2.wav" "$work/enemyPopRaw.wav" vol 0.5 lowpass 1400
    finish "$work/enemyPopRaw.wav" enemyPop.ogg

    # Your ship wrapping: an airy rising swoosh over a soft thump.
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/s1.wav" synth 0.38 pinknoise \
        bandpass 2200 1.2o fade q 0.12 0.38 0.24
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/s2.wav" synth 0.38 sine 150:900 fade q 0.01 0.38 0.3 vol 0.35
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/s3.wav" synth 0.38 sine 130:55 fade q 0.002 0.2 0.19
    "${SOX[@]}" -m "$work/s1.wav" "$work/s2.wav" "$work/s3.wav" "$work/slam.wav"
    finish "$work/slam.wav" slam.ogg

    # The opponent's ship wrapping: a darker falling rumble that rattles.
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/t1.wav" synth 0.42 brownnoise \
        vol 0.5 lowpass 700 fade q 0.03 0.42 0.35 tremolo 28 70
    "${SOX[@]}" "${SILENCE[@]}" "${FLOAT[@]}" "$work/t2.wav" synth 0.42 square 110:38 \
        vol 0.5 lowpass 900 fade q 0.002 0.42 0.38
    "${SOX[@]}" -m "$work/t1.wav" "$work/t2.wav" "$work/enemySlam.wav"
    finish "$work/enemySlam.wav" enemySlam.ogg
}

# The step from the loop's last sample to its first must be no bigger than the steps
# within the music, or the join clicks.
check_join() {
    sox "$1" -t raw -e signed -b 16 -c 1 "$work/check.raw"
    python3 - "$work/check.raw" <<'EOF'
import array, sys
x = array.array("h")
with open(sys.argv[1], "rb") as f:
    x.frombytes(f.read())
steps = sorted(abs(x[i + 1] - x[i]) for i in range(len(x) - 1))
join, usual = abs(x[0] - x[-1]), steps[int(len(steps) * 0.99)]
print(f"loop join step {join}, 99% of steps within the music are at most {usual}")
sys.exit(0 if join <= usual else 1)
EOF
}

make_music
check_join "$out/drx.ogg" || { echo "the music loop does not join smoothly" >&2; exit 1; }
make_effects
for f in drx slam enemySlam pop enemyPop; do
    printf '%-14s %6.2f s %7d bytes\n' "$f.ogg" "$(soxi -D "$out/$f.ogg")" "$(stat -c %s "$out/$f.ogg")"
done
