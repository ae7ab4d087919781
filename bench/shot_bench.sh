#!/usr/bin/env bash
# glimpa-shot against headless firefox-esr's --screenshot and a cold headless Chromium
# driven over the DevTools protocol (chromium_batch on one page), cold starts, interleaved:
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
size_of() { file "$1" | sed -n 's/.*, \([0-9]* x [0-9]*\),.*/\1/p'; }

# The pages' files: the built ones here, the documentation page where it lies (its style
# sheets beside it).
declare -A F=([bands]="$work/bands.html" [docs]="$docs" [text]="$work/text.html" [tall]="$work/tall.html")
pages="bands docs text tall"

# The pages' sizes, from glimpa-shot itself.
for p in $pages; do
    "$shot" "${F[$p]}" "probe-$p.png" 2>/dev/null
    echo "page $p: $(size_of "probe-$p.png")"
done

# Cold chromium: the Chromium script on this one page, the browser's start included. Its
# own --screenshot of a window as tall as the page draws the 60,000 px page but leaves
# the 82,600 px documentation page white, and took 2.4 s against 31 s on the 60,000 px page
# here, so this is the faster and the one that holds every page.
chromium_shot() {  # page.html out.png
    printf '"%s" "%s"\n' "$(realpath "$1")" "$work/$2" > one-page.txt
    "$script" one-page.txt >/dev/null 2>&1
}
firefox_shot() {  # page.html out.png
    local profile page
    profile=$(mktemp -d)
    page=$(realpath "$1")
    (cd "$work" && firefox-esr --headless --no-remote --profile "$profile" --window-size 1920 \
        --screenshot "$work/$2" "file://$page" >/dev/null 2>&1)
    rm -rf "$profile"
}
glimpa_shot() { "$shot" "$1" "$2" 2>/dev/null; }

median() { sort -n | awk '{ a[NR] = $1 } END { printf "%.2f", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
best() { sort -n | head -1 | awk '{ printf "%.2f", $1 }'; }
# A tool's seconds, one a line, from T.
times_of() { tr ' ' '\n' <<< "${T[$1]}" | grep .; }

echo "cold single page, $runs runs interleaved (seconds):"
for p in $pages; do
    declare -A T=([glimpa]="" [firefox]="" [chromium]="") FAILED=()
    for r in $(seq 1 "$runs"); do
        for tool in glimpa firefox chromium; do
            out="$tool-$p-$r.png"
            t0=$(now)
            case $tool in
                glimpa) glimpa_shot "${F[$p]}" "$out" ;;
                firefox) firefox_shot "${F[$p]}" "$out" ;;
                chromium) chromium_shot "${F[$p]}" "$out" ;;
            esac
            t1=$(now)
            # A run without a picture is no time: the tool failed on the page.
            if [ -s "$out" ]; then
                T[$tool]+="$(printf '%.2f' "$(echo "$t1 - $t0" | bc)") "
            else
                FAILED[$tool]=1
            fi
            [ "$r" = 1 ] && echo "  $p $tool: $([ -s "$out" ] && size_of "$out" || echo "no picture")"
            [ "$r" = 1 ] || rm -f "$out"
        done
    done
    for tool in glimpa firefox chromium; do
        if [ -n "${FAILED[$tool]:-}" ]; then
            printf '%-6s %-9s FAILED (no picture)\n' "$p" "$tool"
            T[$tool]=""
            continue
        fi
        printf '%-6s %-9s best %6s   median %6s   runs: %s\n' "$p" "$tool" \
            "$(times_of $tool | best)" "$(times_of $tool | median)" "${T[$tool]}"
    done
    # Against the faster browser that made the picture, by median.
    faster=""
    for tool in firefox chromium; do
        [ -n "${T[$tool]}" ] || continue
        if [ -z "$faster" ] ||
            [ "$(echo "$(times_of $tool | median) < $(times_of $faster | median)" | bc)" = 1 ]; then
            faster=$tool
        fi
    done
    [ -n "$faster" ] && [ -n "${T[glimpa]}" ] &&
        printf '%-6s glimpa/%s: best %.2f, median %.2f\n' "$p" "$faster" \
            "$(echo "$(times_of glimpa | best) / $(times_of $faster | best)" | bc -l)" \
            "$(echo "$(times_of glimpa | median) / $(times_of $faster | median)" | bc -l)"
done

# A batch of 20 pages: one glimpa-shot run against 20 cold chromium runs and against the
# Chromium script (one browser, start included; bench/batch_bench.sh has it interleaved).
: > batch.txt
for i in $(seq 1 20); do echo "batch$i.html batch-out$i.png" >> batch.txt; done
for jobs in 1 2; do
    t0=$(now); "$shot" --batch batch.txt --jobs $jobs 2>/dev/null; t1=$(now)
    printf 'batch of 20, glimpa-shot --jobs %d: %6.2f s\n' $jobs "$(echo "$t1 - $t0" | bc)"
done
chrome_total=0
for i in $(seq 1 20); do
    t0=$(now); chromium_shot "batch$i.html" "chromium-batch$i.png"; t1=$(now)
    chrome_total=$(echo "$chrome_total + $t1 - $t0" | bc)
done
printf 'batch of 20, 20 cold chromium runs: %6.2f s\n' "$chrome_total"
sed 's/ batch-out/ script-out/' batch.txt > script.txt
t0=$(now); "$script" script.txt >/dev/null 2>&1; t1=$(now)
printf 'batch of 20, chromium script: %6.2f s\n' "$(echo "$t1 - $t0" | bc)"

# Peak memory for the 60,000 px page: the largest process (time -v), and the whole
# process tree sampled every 50 ms, the resident sizes summed (shared pages counted in
# each process) and the proportional sizes summed (shared pages split among them).
tree_of() { echo "$1"; for c in $(pgrep -P "$1"); do tree_of "$c"; done; }
# Runs the command in the background and sets PEAK_RSS and PEAK_PSS, KiB.
sample_tree() {
    "$@" &
    local pid=$! rss pss p kb
    PEAK_RSS=0
    PEAK_PSS=0
    while kill -0 $pid 2>/dev/null; do
        rss=0
        pss=0
        for p in $(tree_of $pid); do
            kb=$(awk '/VmRSS/ { print $2 }' /proc/$p/status 2>/dev/null)
            rss=$((rss + ${kb:-0}))
            kb=$(awk '/^Pss:/ { print $2 }' /proc/$p/smaps_rollup 2>/dev/null)
            pss=$((pss + ${kb:-0}))
        done
        [ $rss -gt $PEAK_RSS ] && PEAK_RSS=$rss
        [ $pss -gt $PEAK_PSS ] && PEAK_PSS=$pss
        sleep 0.05
    done
    wait $pid
}
# Chromium's own peak varies by a fifth from run to run: `runs` rounds, taking turns, and
# the least and the median of each.
echo "tall.html mem-chromium.png" > mem.txt
g_rss=() g_pss=() c_rss=() c_pss=()
for run in $(seq 1 "$runs"); do
    sample_tree /usr/bin/time -v "$shot" tall.html mem.png 2> time.txt
    g_rss+=($((PEAK_RSS / 1024))) g_pss+=($((PEAK_PSS / 1024)))
    sample_tree "$script" mem.txt >/dev/null 2>&1
    c_rss+=($((PEAK_RSS / 1024))) c_pss+=($((PEAK_PSS / 1024)))
done
least() { printf '%s\n' "$@" | sort -n | head -1; }
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
largest=$(awk -F': ' '/Maximum resident/ { printf "%.0f MB", $2 / 1024 }' time.txt)
echo "60,000 px page, peak memory of the whole process tree, MB ($runs runs; least, median):"
echo "  glimpa-shot:      RSS sum $(least "${g_rss[@]}"), $(median "${g_rss[@]}"); PSS sum $(least "${g_pss[@]}"), $(median "${g_pss[@]}") (its largest process $largest; picture $(size_of mem.png))"
echo "  chromium script:  RSS sum $(least "${c_rss[@]}"), $(median "${c_rss[@]}"); PSS sum $(least "${c_pss[@]}"), $(median "${c_pss[@]}") (picture $(size_of mem-chromium.png))"
echo "  glimpa/chromium, medians: RSS $(ratio "$(median "${g_rss[@]}")" "$(median "${c_rss[@]}")"), PSS $(ratio "$(median "${g_pss[@]}")" "$(median "${c_pss[@]}")"); against chromium's least: RSS $(ratio "$(median "${g_rss[@]}")" "$(least "${c_rss[@]}")"), PSS $(ratio "$(median "${g_pss[@]}")" "$(least "${c_pss[@]}")")"
