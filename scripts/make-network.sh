#!/usr/bin/env bash
# Regenerates the national network the program supplies (src/supplied/network.tsv.qz) from a copy of the public
# station data set, with the program's own import:
#   bash scripts/make-network.sh [CLONE]     (default: ../shared/data/station_database beside the source tree, or
#                                             the TABIROKU_SHARED_DATA folder the build was configured with)
# It builds the program, imports CLONE with its abolished lines into a scratch data folder that holds only the
# sample, writes the network file through the program's hidden command-line form, and puts the data set's source
# commit beside it (src/supplied/SOURCE_COMMIT). Commit the three files of src/supplied/ together.
# BUILD=folder chooses the build folder (default: build); the build is not redone when NO_BUILD=1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
clone=${1:-$root/../shared/data/station_database}
# A checkout elsewhere finds the shared copy where the build was told it is (-DTABIROKU_SHARED_DATA=...).
if [ $# -eq 0 ] && [ ! -d "$clone" ] && [ -f "$build/CMakeCache.txt" ]; then
    shared=$(sed -n 's/^TABIROKU_SHARED_DATA:PATH=//p' "$build/CMakeCache.txt")
    [ -n "$shared" ] && clone=$shared/station_database
fi
[ -d "$clone" ] || { echo "no copy of the station data set at $clone" >&2; exit 2; }
clone=$(cd "$clone" && pwd)

# The copy's commit: its SOURCE_COMMIT file, or the commit a git clone stands on.
if [ -f "$clone/SOURCE_COMMIT" ]; then
    commit=$(head -n 1 "$clone/SOURCE_COMMIT")
elif git -C "$clone" rev-parse HEAD >/dev/null 2>&1; then
    commit=$(git -C "$clone" log -1 --format='%H %ad')
else
    echo "$clone names no commit (no SOURCE_COMMIT, not a git clone)" >&2
    exit 2
fi

if [ "${NO_BUILD:-0}" != 1 ]; then
    [ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    nice cmake --build "$build" --parallel 2 --target tabiroku
fi
exe=$build/src/tabiroku

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The program's data folder is $XDG_DATA_HOME/tabiroku: a scratch one starts from the sample alone. A fixed hash
# seed keeps every run of the import in the same order.
export XDG_DATA_HOME=$scratch QT_HASH_SEED=0 QT_QPA_PLATFORM=offscreen
"$exe" --import-network "$clone" --with-abolished >"$scratch/import-report.txt"
tail -n 3 "$scratch/import-report.txt"
# SOURCE_COMMIT: the copy's commit, then the digest of the network text (the program reads both at each start).
"$exe" --write-supplied-network "$root/src/supplied/network.tsv.qz" --source-commit "$commit" --dataset "$clone" \
    --source-file "$root/src/supplied/SOURCE_COMMIT"
# The program carries the network inside: build it again so that it supplies the new file.
if [ "${NO_BUILD:-0}" != 1 ]; then
    nice cmake --build "$build" --parallel 2 --target tabiroku
    echo "done: src/supplied/network.tsv.qz, src/supplied/SOURCE_COMMIT; $exe supplies them"
else
    echo "done: src/supplied/network.tsv.qz, src/supplied/SOURCE_COMMIT (build the program again to supply them)"
fi
