#!/usr/bin/env bash
# The figures a user feels, for camctl and for gphoto2 on the same emulated USB camera in the
# same run. Runs inside scripts/with-usb-camera (scripts/bench starts it):
#   bench/usb_figures.sh listing CAMCTL RUNS   card of many pictures: connect and list
#   bench/usb_figures.sh download CAMCTL RUNS  card with the 200 MB and 1 GB files
# Each run of each tool is one line "figure<TAB>tool<TAB>wall_s<TAB>cpu_s<TAB>peak_KiB<TAB>bytes
# written"; the
# tools take turns so that a change of load on the machine touches both alike.
set -uo pipefail
mode=$1
camctl=$2
runs=$3
# On disk, as a user downloads: camctl makes each file durable (fsync) before it reports it,
# gphoto2 does not; camctl-nosync is camctl with fsync made a no-op (eatmydata), to show what
# that promise costs. (Not /dev/shm: umockdev takes over paths under /dev.)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# Runs COMMAND... under /usr/bin/time; prints its line, or nothing when it failed.
measure() {
    local figure=$1 tool=$2
    shift 2
    rm -rf "$work/out" && mkdir -p "$work/out"
    if ! (cd "$work/out" && /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" \
        >"$work/log" 2>&1); then
        echo "usb_figures: $tool failed at $figure:" >&2
        tail -n 5 "$work/log" >&2
        return
    fi
    read -r wall user system peak <"$work/time"
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$figure" "$tool" "$wall" \
        "$(echo "$user + $system" | bc)" "$peak" "$(find "$work/out" -type f -printf "%s\n" | awk "{s += \$1} END {print s + 0}")"
}

folder=/store_00010001/DCIM/101QUORN
case $mode in
listing)
    for ((run = 0; run < runs; run++)); do
        measure list gphoto2 gphoto2 --list-files
        measure list camctl "$camctl" ls
    done
    ;;
download)
    # Connecting: camctl's info and gphoto2's summary each open the camera, read its
    # identity and storages, and end.
    for ((run = 0; run < runs; run++)); do
        measure connect gphoto2 gphoto2 --summary
        measure connect camctl "$camctl" info
    done
    id_of() {
        "$camctl" --json ls | /usr/bin/python3 -c '
import json, sys
print(next(i["id"] for i in json.load(sys.stdin)["images"] if i["name"] == sys.argv[1]))' "$1"
    }
    for name in MID_0001.MOV BIG_0001.MOV; do
        id=$(id_of "$name")
        # gphoto2 numbers the files of a folder ("#2     MID_0001.MOV ...").
        number=$(gphoto2 --folder "$folder" --list-files | sed -n "s/^#\([0-9]*\) *$name .*/\1/p")
        figure=download-${name%%_*}
        for ((run = 0; run < runs; run++)); do
            measure "$figure" gphoto2 gphoto2 --folder "$folder" --get-file "$number" \
                --filename file.bin
            measure "$figure" camctl "$camctl" download "$id" .
            # The same without the sync, to show what durability costs on this disk.
            if command -v eatmydata >/dev/null; then
                measure "$figure" camctl-nosync eatmydata "$camctl" download "$id" .
            fi
        done
    done
    ;;
*)
    echo "usb_figures: unknown mode $mode" >&2
    exit 2
    ;;
esac
