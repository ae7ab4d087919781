#!/usr/bin/env bash
# glimpa-shot --batch (--jobs 2 and --jobs 1, each run a cold start) against a short
# DevTools-protocol script on one warm headless Chromium (build/bench/chromium_batch),
# runs interleaved: 20 long pages of the Python documentation (python3-doc), 1920 wide,
# PNG. Prints each run, best and median seconds and pages a second, and glimpa's
# throughput over Chromium's. Needs chromium and python3-doc (not part of the set-up).
#   bench/batch_bench.sh [build/glimpa-shot] [runs]
set -uo pipefail
shot=$(realpath "${1:-build/glimpa-shot}")
runs=${2:-5}
script=$(dirname "$shot")/bench/chromium_batch
docs=/usr/share/doc/python3/html/library
# The 20 largest pages of python3-doc 3.11's library reference, about 23,000 to 83,000
# px tall at 1920: fixed, so that another version's sizes do not change the set.
pages="os stdtypes multiprocessing datetime typing ssl unittest.mock unittest ast ctypes
       decimal argparse turtle socket sqlite3 functions test curses optparse importlib"
[ -x "$script" ] || { echo "build the chromium_batch target first ($script)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: > "$work/batch.txt"
for p in $pages; do
    [ -f "$docs/$p.html" ] || { echo "missing $docs/$p.html (apt-get install python3-doc)"; exit 1; }
    echo "$docs/$p.html $work/$p.png" >> "$work/batch.txt"
done
"$script" --compare "$shot" "$work/batch.txt" --width 1920 --runs "$runs"
echo "glimpa-shot pictures:"
for p in $pages; do
    printf '  %s: %s\n' "$p" "$(file "$work/$p.png" | sed -n 's/.*, \([0-9]* x [0-9]*\),.*/\1/p')"
done
