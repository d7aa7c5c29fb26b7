#!/bin/sh
# make_fuzz_seeds OUTDIR: the harnesses' seed corpora (archives, members,
# pictures, loops, a font and captions written once by the kit's writers) and
# the name harness's directory, copied from the source tree for scripts/fuzz.sh.
set -e
mkdir -p "$1"
cp -R "@CMAKE_CURRENT_SOURCE_DIR@/seeds/." "$1"
