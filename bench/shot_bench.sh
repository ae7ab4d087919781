#!/usr/bin/env bash
# glimpa-shot against the browsers' own headless screenshots, cold starts, interleaved:
# the 1920 x 6480 bands page, a real documentation page (Python's stdtypes.html, about
# 82,600 px), a long text page (about 16,900 px) and a 60,000 px page; best and median
# of each and glimpa-shot's time over the faster browser's. A batch of 20 local pages
# against 20 cold chromium runs and against one warm Chromium script (chromium_batch).
# Peak memory on the 60,000 px page, glimpa-shot against the Chromium script. Prints
# figures; needs `apt-get install chromium firefox-esr python3-doc bc file time` (not part
# of the set-up) and the chromium_batch target built beside glimpa-shot.
#   bench/shot_bench.sh [build/glimpa-shot] [runs]
set -uo pipefail
shot=$(realpath "${1:-build/glimpa-shot}")
runs=${2:-5}
script=$(dirname "$shot")/bench/chromium_batch
docs=/usr/share/doc/python3/html/library/stdtypes.html
[ -x "$script" ] || { echo "build the chromium_batch target first ($script)"; exit 1; }
[ -f "$docs" ] || { echo "missing $docs (apt-get install python3-doc)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Pages. Bands: one-pixel rows, each its own colour, as in the capture tests.
awk 'BEGIN { printf "<!doctype html><html><head><style>body{margin:0}div{height:1px}</style></head><body>";
             for (i = 0; i < 6480; ++i) printf "<div style=\"background:#%02x%02x5a\"></div>", i % 256, int(i / 256) % 256;
             print "</body></html>" }' > bands.html
# Text: a documentation page, headings, paragraphs and code, in a 52em column.
text_page() {  # sections
    awk -v n="$1" 'BEGIN {
        print "<!doctype html><html><head><meta charset=utf-8><style>body{margin:0;font:16px/1.5 sans-serif;color:#222}";
        print "main{max-width:52em;margin:0 auto;padding:1em 2em}pre{background:#f4f4f4;padding:.8em;font:14px/1.4 monospace}";
        print "h2{color:#1a4f8a;border-bottom:1px solid #ccd}</style></head><body><main><h1>A long guide</h1>";
        for (s = 1; s <= n; ++s) {
            printf "<h2>%d. Section %d</h2>", s, s;
            for (p = 0; p < 3; ++p) {
                printf "<p>";
                for (w = 0; w < 90; ++w) printf "%s ", (w % 7 == 0 ? "capture" : (w % 5 == 0 ? "the whole page" : "words"));
                print "</p>";
            }
            printf "<pre>for (int row = 0; row &lt; %d; ++row)\n    grab(row);  // section %d</pre>\n", s, s;
        }
        print "</main></body></html>" }'
}
text_page 22 > text.html
# 60,000 px: 600 blocks of 100 px with a heading each, and a fixed header.
awk 'BEGIN { printf "<!doctype html><html><head><style>body{margin:0;font:20px sans-serif}header{position:fixed;top:0;left:0;right:0;height:40px;background:#333;color:#fff}section{height:100px;box-sizing:border-box;padding:40px 2em 0}</style></head><body><header>Header</header>";
             for (i = 0; i < 600; ++i) printf "<section style=\"background:hsl(%d,60%%,85%%)\">Block %d of 600</section>", (i * 37) % 360, i + 1;
             print "</body></html>" }' > tall.html
for i in $(seq 1 20); do text_page $((2 + i % 4)) > "batch$i.html"; done

now() { date +%s.%N; }
height_of() { file "$1" | sed -n 's/.*, [0-9]* x \([0-9]*\),.*/\1/p'; }
size_of() { file "$1" | sed -n 's/.*, \([0-9]* x [0-9]*\),.*/\1/p'; }

# Page heights from glimpa-shot itself, for chromium's window.
declare -A H
for p in bands text tall; do
    "$shot" "$p.html" "probe-$p.png" 2>/dev/null
    H[$p]=$(height_of "probe-$p.png")
    echo "page $p: $(size_of "probe-$p.png")"
done

chromium_shot() {  # page.html out.png height
    local profile
    profile=$(mktemp -d)
    chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
        --disable-component-update --disable-sync --user-data-dir="$profile" --hide-scrollbars \
        --window-size=1920,"$3" --screenshot="$2" "file://$work/$1" >/dev/null 2>&1
    rm -rf "$profile"
}
firefox_shot() {  # page.html out.png
    local profile
    profile=$(mktemp -d)
    (cd "$work" && firefox-esr --headless --no-remote --profile "$profile" --window-size 1920 \
        --screenshot "$work/$2" "file://$work/$1" >/dev/null 2>&1)
    rm -rf "$profile"
}
glimpa_shot() { "$shot" "$1" "$2" 2>/dev/null; }

median() { sort -n | awk '{ a[NR] = $1 } END { printf "%.2f", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

for p in bands text tall; do
    declare -A T=()
    for r in $(seq 1 "$runs"); do
        for tool in glimpa firefox chromium; do
            out="$tool-$p-$r.png"
            t0=$(now)
            case $tool in
                glimpa) glimpa_shot "$p.html" "$out" ;;
                firefox) firefox_shot "$p.html" "$out" ;;
                chromium) chromium_shot "$p.html" "$out" "${H[$p]}" ;;
            esac
            t1=$(now)
            T[$tool]+="$(echo "$t1 - $t0" | bc) "
            [ "$r" = 1 ] && echo "  $p $tool: $(size_of "$out" || true)"
        done
    done
    for tool in glimpa firefox chromium; do
        printf '%-6s %-9s median %6s s   runs: %s\n' "$p" "$tool" \
            "$(tr ' ' '\n' <<< "${T[$tool]}" | grep . | median)" "${T[$tool]}"
    done
done

# A batch of 20 pages: one glimpa-shot run against 20 cold chromium runs.
: > batch.txt
for i in $(seq 1 20); do echo "batch$i.html batch-out$i.png" >> batch.txt; done
for jobs in 1 2; do
    t0=$(now); "$shot" --batch batch.txt --jobs $jobs 2>/dev/null; t1=$(now)
    printf 'batch of 20, glimpa-shot --jobs %d: %6.2f s\n' $jobs "$(echo "$t1 - $t0" | bc)"
done
t0=$(now)
for i in $(seq 1 20); do
    "$shot" "batch$i.html" "probe-batch.png" 2>/dev/null  # height for chromium's window
    hb=$(height_of probe-batch.png)
    t_a=$(now); chromium_shot "batch$i.html" "chromium-batch$i.png" "$hb"; t_b=$(now)
    chrome_total=$(echo "${chrome_total:-0} + $t_b - $t_a" | bc)
done
printf 'batch of 20, 20 cold chromium runs: %6.2f s\n' "$chrome_total"

# Peak memory for the 60,000 px page: the largest process (time -v) and the whole tree
# (sampled every 50 ms).
tree_of() { echo "$1"; for c in $(pgrep -P "$1"); do tree_of "$c"; done; }
/usr/bin/time -v "$shot" tall.html mem.png 2> time.txt &
pid=$!
peak=0
while kill -0 $pid 2>/dev/null; do
    total=0
    for p in $(tree_of $pid); do
        kb=$(awk '/VmRSS/ { print $2 }' /proc/$p/status 2>/dev/null)
        total=$((total + ${kb:-0}))
    done
    [ $total -gt $peak ] && peak=$total
    sleep 0.05
done
wait $pid
echo "60,000 px page: peak RSS of glimpa-shot $(awk -F': ' '/Maximum resident/ { printf "%.0f MB", $2 / 1024 }' time.txt), of it and its browser processes together $((peak / 1024)) MB (picture $(size_of mem.png))"
