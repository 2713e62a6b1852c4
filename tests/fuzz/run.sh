#!/usr/bin/env bash
# Runs the fuzz harnesses of build-fuzz one at a time.
#   tests/fuzz/run.sh fuzz SECONDS [HARNESS...]  fuzz each for SECONDS, growing a
#       working corpus in build-fuzz/corpus/<harness> (seeded from tests/fuzz/corpus)
#   tests/fuzz/run.sh replay [HARNESS...]        run every committed corpus file once
# A crash, leak, timeout or failed check leaves its input in
# build-fuzz/crashes/<harness>/ and makes the run fail.
set -u
cd "$(dirname "$0")/../.."
source_dir=tests/fuzz/corpus
bin=build-fuzz/tests/fuzz
mode=$1
shift
if [[ $mode == fuzz ]]; then seconds=$1; shift; fi
harnesses=("$@")
[[ ${#harnesses[@]} -gt 0 ]] || harnesses=(frame_reader peer_texts settings font texture_definitions image sound)

# Harnesses that open a GL window need a display.
runner() {
  case $1 in
    font|texture_definitions|image) echo scripts/with-display.sh ;;
  esac
}

# libvorbis divides by zero on a setup header with a residue book of dimension 0
# (tests/fuzz/unmended/sound/), which our checks cannot refuse yet: the sound
# harness runs in fork mode and goes on past crashes, listing what it kept.
extra() {
  case $1 in
    sound) echo -fork=1 -ignore_crashes=1 ;;
  esac
}

# Sound goes to SDL's disk driver, into /dev/null without pauses: the dummy
# driver sleeps a buffer's length at every close, and the harness closes per input.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0
options=(-rss_limit_mb=2048 -timeout=10 -malloc_limit_mb=1024 -print_final_stats=1)
failed=0
for name in "${harnesses[@]}"; do
  crashes=build-fuzz/crashes/$name
  mkdir -p "$crashes"
  if [[ $mode == fuzz ]]; then
    work=build-fuzz/corpus/$name
    mkdir -p "$work"
    echo "== $name: fuzzing for $seconds s"
    $(runner "$name") "$bin/${name}_fuzz" "${options[@]}" $(extra "$name") -max_total_time="$seconds" \
      -artifact_prefix="$crashes/" "$work" "$source_dir/$name" || failed=1
    kept=$(ls "$crashes" | wc -l)
    [[ $kept -eq 0 ]] || echo "== $name: $kept inputs kept in $crashes"
  else
    echo "== $name: replaying $(ls "$source_dir/$name" | wc -l) corpus files"
    $(runner "$name") "$bin/${name}_fuzz" "${options[@]}" -artifact_prefix="$crashes/" \
      "$source_dir/$name"/* || failed=1
  fi
done
exit $failed
