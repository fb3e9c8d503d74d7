#!/usr/bin/env bash
# Start-up time of the assembled player: from exec to the main window's first paint, as a new user
# (fresh settings folder, help window turned off) would see it under Xvfb.
#   bench/startup/startup.sh [runs=20] [build folder=build]
# The player prints its step times when ZORVITA_TRACE_STARTUP is set; each step is reported as the
# time since exec at which it finished. The sound server is pointed at a socket that does not
# exist, so nothing here reaches the user's own sound server.
set -euo pipefail

runs=${1:-20}
build=$(cd "${2:-build}" && pwd)
exe="$build/Zorvita/Zorvita"
[[ -x "$exe" ]] || { echo "no player at $exe (build it first)" >&2; exit 1; }

if [[ -z "${ZORVITA_BENCH_IN_X:-}" ]]; then
    ZORVITA_BENCH_IN_X=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$runs" "$build"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
steps="main qapplication settings window_and_skin_design media_player skin_and_shape required_files station_file first_paint"

for ((i = 1; i <= runs; i++)); do
    run="$work/run$i"
    mkdir -p "$run/config/Zorvita" "$run/runtime"
    chmod 700 "$run/runtime"
    cat >"$run/config/Zorvita/registry.json" <<'JSON'
{"format": 1, "keys": [{"path": "HKEY_CURRENT_USER\\Software\\Zorvita\\Message",
  "values": [{"name": "Show", "type": "REG_SZ", "data": "1"}]}]}
JSON
    log="$run/stderr"
    start=$(date +%s.%N)
    XDG_CONFIG_HOME="$run/config" XDG_RUNTIME_DIR="$run/runtime" \
        PULSE_SERVER="unix:$run/no-sound-server" ZORVITA_TRACE_STARTUP=1 \
        "$exe" 2>"$log" &
    pid=$!
    # Wait for the first paint (or give up after 30 s on a very loaded machine).
    for ((w = 0; w < 3000; w++)); do
        grep -qs "^Zorvita startup: first paint " "$log" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.01
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if ! grep -q "^Zorvita startup: first paint " "$log"; then
        echo "run $i: no first paint; its stderr:" >&2
        cat "$log" >&2
        exit 1
    fi
    awk -v start="$start" -v run="$i" '
        /^Zorvita startup: / {
            t = $NF; step = ""
            for (f = 3; f < NF; f++) step = step (step == "" ? "" : "_") $f
            printf "%s %s %.3f\n", run, step, (t - start) * 1000
        }' "$log" >>"$work/times"
done

awk -v runs="$runs" -v order="$steps" '
    { ms[$2, $1] = $3; seen[$2] = 1 }
    END {
        n = split(order, names, " ")
        printf "%d runs, milliseconds after exec (median / worst)\n", runs
        for (s = 1; s <= n; s++) {
            name = names[s]
            if (!(name in seen)) { printf "  %-24s not reached\n", name; continue }
            k = 0
            for (r = 1; r <= runs; r++) if ((name, r) in ms) v[++k] = ms[name, r]
            for (a = 1; a <= k; a++) for (b = a + 1; b <= k; b++) if (v[b] < v[a]) { t = v[a]; v[a] = v[b]; v[b] = t }
            median = (k % 2) ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2
            printf "  %-24s %8.1f / %8.1f\n", name, median, v[k]
        }
    }' "$work/times"
