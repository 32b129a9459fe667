#!/bin/sh
# Start-up of the editor against the least a Qt program can do: the time
# from starting the program to its main window shown on an X server (Xvfb)
# with the settings tree of a 16-module driver source painted in it, beside
# the time a minimal Qt program takes to show a main window with an empty
# tree. Each program reports the moment its first paint is on the screen
# and then ends itself (bench/support/shownprobe.h); bench_startup_launch
# starts it and takes the time from just before the start to that report,
# and to the program's end. The programs are started alternately, one right
# after the other, so that a busy machine weighs on both alike. Two more
# programs are timed beside them: the minimal one with a menu and thirty rows
# of text, to show what text alone costs at start, and the minimal one with
# its window as large as the editor's first window (most of the screen,
# against 800 x 600), to show what the larger window alone costs.
#
#   bench/startup.sh [BUILD_DIR [RUNS]]     (defaults: build, 15)
#
# Needs Xvfb (Debian package xvfb) and the targets sysforge-cli,
# bench_startup_launch, bench_startup_sysforge, bench_startup_minimal and
# bench_startup_text built in BUILD_DIR.
# Prints each pair and the median ratio up to the shown window; goal: 1.2 or
# less. The same up to the ends of the programs is printed beside it: that
# adds the time the system takes to take a process down, which nobody waits
# for.
set -eu

build=${1:-build}
runs=${2:-15}
bin=$(cd "$build/bin" && pwd)
for program in sysforge-cli bench_startup_launch bench_startup_sysforge bench_startup_minimal \
    bench_startup_text; do
    if [ ! -x "$bin/$program" ]; then
        echo "startup.sh: $bin/$program is missing; build it first" >&2
        exit 2
    fi
done
command -v xvfb-run >/dev/null || { echo "startup.sh: xvfb-run is missing (package xvfb)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# The driver source: 16 named modules of 16 sub-banks each.
{
    echo "sysforge source text 1"
    echo "103 = 16"
    m=0
    while [ $m -lt 16 ]; do
        echo "107:$m = \"Module $((m + 1))\""
        echo "256:$m = 16"
        m=$((m + 1))
    done
} >"$work/sixteen.txt"
"$bin/sysforge-cli" import "$work/sixteen.txt" "$work/sixteen.d"

# Settings of their own; the toolkit's runtime folder too.
export SYSFORGE_CONFIG_DIR="$work/config"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

cat >"$work/pairs.sh" <<EOF
set -eu
# "SHOWN ENDED": microseconds from the start of "\$@" to its window shown and
# to its end.
elapsed() {
    timeout 30 "$bin/bench_startup_launch" "\$@" 2>/dev/null || { echo "startup.sh: \$1 failed" >&2; exit 1; }
}
# Once each first: the program files and fonts into the caches.
elapsed "$bin/bench_startup_minimal" >/dev/null
elapsed "$bin/bench_startup_sysforge" "$work/sixteen.d" >/dev/null
elapsed "$bin/bench_startup_text" >/dev/null
elapsed "$bin/bench_startup_minimal" --editor-size >/dev/null
i=0
while [ \$i -lt $runs ]; do
    if [ \$((i % 2)) -eq 0 ]; then
        m=\$(elapsed "$bin/bench_startup_minimal")
        s=\$(elapsed "$bin/bench_startup_sysforge" "$work/sixteen.d")
    else
        s=\$(elapsed "$bin/bench_startup_sysforge" "$work/sixteen.d")
        m=\$(elapsed "$bin/bench_startup_minimal")
    fi
    t=\$(elapsed "$bin/bench_startup_text")
    l=\$(elapsed "$bin/bench_startup_minimal" --editor-size)
    echo "\$m \$s \$t \$l"
    i=\$((i + 1))
done
EOF

xvfb-run -a -s "-screen 0 1280x1024x24" sh "$work/pairs.sh" >"$work/pairs"

# Columns: minimal shown, ended; Sysforge shown, ended; text shown, ended;
# minimal at the editor's window size shown, ended.
awk '
    function median(a, n,    i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    {
        n++
        m[n] = $1 / 1000; s[n] = $3 / 1000; r[n] = $3 / $1; t[n] = $5 / 1000; q[n] = $5 / $1
        me[n] = $2 / 1000; se[n] = $4 / 1000; re[n] = $4 / $2; qe[n] = $6 / $2
        l[n] = $7 / 1000; rl[n] = $3 / $7
        printf "run %2d: minimal Qt program %6.1f ms, Sysforge with a 16-module source %6.1f ms, ratio %.2f\n", n, m[n], s[n], r[n]
        if (n == 1 || r[n] < lo) lo = r[n]
        if (n == 1 || r[n] > hi) hi = r[n]
    }
    END {
        ratio = median(r, n)
        printf "medians up to the shown window: minimal %.1f ms, Sysforge %.1f ms\n", median(m, n), median(s, n)
        printf "Sysforge / minimal: %.2f (median of %d runs; runs %.2f to %.2f); goal 1.20 or less: %s\n",
            ratio, n, lo, hi, ratio <= 1.2 ? "met" : "NOT met"
        printf "beside them, the minimal program with a menu and thirty rows of text: %.1f ms, %.2f of the minimal one\n",
            median(t, n), median(q, n)
        printf "beside them, the minimal program with a window of the editor'"'"'s first size: %.1f ms; Sysforge / that: %.2f\n",
            median(l, n), median(rl, n)
        printf "up to the ends of the programs: minimal %.1f ms, Sysforge %.1f ms, ratio %.2f; the text program %.2f of the minimal one\n",
            median(me, n), median(se, n), median(re, n), median(qe, n)
    }' "$work/pairs"
