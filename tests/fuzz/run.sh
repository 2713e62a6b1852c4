#!/usr/bin/env bash
# Runs the fuzz harnesses of build-fuzz one at a time.
#   tests/fuzz/run.sh fuzz SECONDS [HARNESS...]  fuzz each for SECONDS, growing a
#       working corpus in build-fuzz/corpus/<harness> (seeded from tests/fuzz/corpus)
#   tests/fuzz/run.sh replay [HARNESS...]        run every committed corpus file once
# A crash, leak, timeout or failed check leaves its input in
# build-fuzz/crashes/<harness>/ and makes the run fail, unless replaying it ends
# the way one of tests/fuzz/unmended/<harness>/ ends: a known fault of a system
# library that our checks cannot refuse yet. Such an input is named and skipped.
set -u
cd "$(dirname "$0")/../.."
source_dir=tests/fuzz/corpus
known_dir=tests/fuzz/unmended
bin=build-fuzz/tests/fuzz
mode=$1
shift
if [[ $mode == fuzz ]]; then seconds=$1; shift; fi
harnesses=("$@")
[[ ${#harnesses[@]} -gt 0 ]] || harnesses=(frame_reader peer_texts settings font texture_definitions image sound announcement)

# Harnesses that open a GL window need a display.
runner() {
  case $1 in
    texture_definitions|image) echo scripts/with-display.sh ;;
  esac
}

# Sound goes to SDL's disk driver, into /dev/null without pauses: the dummy
# driver sleeps a buffer's length at every close, and the harness closes per input.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0
options=(-rss_limit_mb=2048 -timeout=10 -malloc_limit_mb=1024 -print_final_stats=1)

# How replaying one input ends: the sanitizer's summary line without the build id,
# e.g. "AddressSanitizer: FPE (/lib/x86_64-linux-gnu/libvorbis.so.0+0x142ad)".
ending() {
  $(runner "$1") "$bin/${1}_fuzz" "${options[@]}" "$2" 2>&1 |
    sed -n 's/^SUMMARY: //; T; s/ (BuildId: [0-9a-f]*)//; s/ *$//; p; q'
}

# The endings of the known library faults: only those that name the code where
# they happen, so that a plain abort or timeout never passes for one.
known_endings() {
  local input
  for input in "$known_dir/$1"/*; do
    [[ -f $input ]] && ending "$1" "$input" | grep -F '(/'
  done
}

# Judges the inputs the fuzzing of $1 kept since $2 was made: 1 when any of them is new.
judge_kept() {
  local name=$1 stamp=$2 known kept input end unknown=0
  kept=$(find "build-fuzz/crashes/$name" -type f -newer "$stamp" | sort)
  [[ -n $kept ]] || return 0
  known=$(known_endings "$name")
  for input in $kept; do
    end=$(ending "$name" "$input")
    if [[ -n $end && -n $known ]] && grep -qxF "$end" <<<"$known"; then
      echo "== $name: $input is a known library fault ($end); see $known_dir/$name"
    else
      echo "== $name: $input kept: ${end:-no sanitizer summary}"
      unknown=1
    fi
  done
  return $unknown
}

failed=0
for name in "${harnesses[@]}"; do
  crashes=build-fuzz/crashes/$name
  mkdir -p "$crashes"
  if [[ $mode == fuzz ]]; then
    work=build-fuzz/corpus/$name
    mkdir -p "$work"
    # With a known library fault the harness runs in fork mode and goes on past
    # crashes, each of which is judged afterwards; otherwise the first one ends it.
    extra=()
    compgen -G "$known_dir/$name/*" >/dev/null && extra=(-fork=1 -ignore_crashes=1)
    stamp=$(mktemp)
    echo "== $name: fuzzing for $seconds s"
    $(runner "$name") "$bin/${name}_fuzz" "${options[@]}" "${extra[@]}" -max_total_time="$seconds" \
      -artifact_prefix="$crashes/" "$work" "$source_dir/$name" || failed=1
    judge_kept "$name" "$stamp" || failed=1
    rm -f "$stamp"
  else
    echo "== $name: replaying $(ls "$source_dir/$name" | wc -l) corpus files"
    $(runner "$name") "$bin/${name}_fuzz" "${options[@]}" -artifact_prefix="$crashes/" \
      "$source_dir/$name"/* || failed=1
  fi
done
[[ $failed -eq 0 ]] || echo "== fuzzing failed: see the lines above" >&2
exit $failed
