#!/usr/bin/env bash
# Pictures of the desktop program for the README: every page, the History window and the
# "Send from template" window in English, and the Edit tab in Japanese and Chinese, written to
# docs/images/. Made by hand, not in CI.
#
#   bash scripts/screenshots.sh [build-dir] [picture.png]   (only that picture)
#
# The program runs inside a private network namespace (only loopback), so that nothing it
# does - the Discovery tab multicasts - can reach a real network, and under a virtual X
# server (xvfb-run) when there is one, else on Qt's offscreen platform (QT_QPA_PLATFORM=offscreen
# in the environment chooses it even where xvfb-run is installed).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
only=${2:-}
root=$(pwd)
cmake --build "$build" --target orvanta-screenshot >/dev/null
tool="$root/$build/bin/orvanta-screenshot"
out="$root/docs/images"
mkdir -p "$out"

# A program folder of its own: two registered projectors and the example message.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/MessageData"
cp "$root"/data/MessageData/*.ovx "$folder/MessageData/"
for dir in mfont micon; do
    if [ -d "$root/data/$dir" ]; then cp -r "$root/data/$dir" "$folder/"; fi
done
"$root/$build/bin/orvanta-cli" --program-folder "$folder" projectors add 127.0.0.2 >/dev/null
"$root/$build/bin/orvanta-cli" --program-folder "$folder" projectors add 127.0.0.3 >/dev/null
# A short history for the History window: what was sent in the last hour.
now=$(($(date +%s) * 1000))
record() {  # minutes-ago user address projector command slot result text title
    printf '{"time":%s,"user":"%s","address":"%s","projector":"%s","command":"%s","slot":%s,"detail":"","result":"%s","text":"%s","title":"%s","message":"%s","source":""}\n' \
        "$((now - $1 * 60000))" "$2" "$3" "$4" "$5" "$6" "$7" "$8" "$9" "${10:-}"
}
{
    welcome=$(sed -e 's/\r$//' -e 's/\\/\\\\/g' -e 's/"/\\"/g' "$folder/MessageData/Welcome.ovx" | awk '{printf "%s\\n", $0}')
    record 55 operator 127.0.0.2 "Hall A" send 3 done Complete. Welcome "$welcome"
    record 54 operator 127.0.0.2 "Hall A" display-on 3 done Complete. ""
    record 30 operator 127.0.0.3 Foyer send 3 failed "Projector Busy." Welcome "$welcome"
    record 12 night-shift 127.0.0.3 Foyer send 3 done Complete. Welcome "$welcome"
    record 2 night-shift 127.0.0.2 "Hall A" mute null done Complete. ""
} >"$folder/history.jsonl"

shots=(
    "en main main.png"
    "en discovery discovery-tab.png"
    "en edit edit.png"
    "ja edit edit-ja.png"
    "zh edit edit-zh.png"
    "en history history.png"
    "en fleet fleet.png"
    "en schedule schedule.png"
    "en group-send group-send.png"
    "en template template.png"
)
if [ "${QT_QPA_PLATFORM:-}" != offscreen ] && command -v xvfb-run >/dev/null; then
    display=(xvfb-run -a -s "-screen 0 1280x1024x24")
else
    display=(env QT_QPA_PLATFORM=offscreen)
fi
for shot in "${shots[@]}"; do
    read -r language page file <<<"$shot"
    if [ -n "$only" ] && [ "$only" != "$file" ]; then continue; fi
    args=(--program-folder "$folder" --language "$language" --page "$page" --out "$out/$file")
    if [ "$page" = edit ]; then args+=(--open "$folder/MessageData/Welcome.ovx"); fi
    if [ "$page" = group-send ]; then
        # A group of four: two simulated projectors answer, one is switched off, and one
        # refuses the password.
        "$root/$build/bin/orvanta-cli" --program-folder "$folder" projectors add 127.0.0.4 >/dev/null
        "$root/$build/bin/orvanta-cli" --program-folder "$folder" projectors add 127.0.0.5 \
            --password wrong >/dev/null
        printf 'Group=Hall A\nMember=127.0.0.2\nMember=127.0.0.3\nMember=127.0.0.4\nMember=127.0.0.5\n' \
            >"$folder/Groups.txt"
        unshare --net sh -c 'ip link set lo up
            sim=$1; shift
            "$sim" --address 127.0.0.2 --address 127.0.0.3 --save-polls 0 >/dev/null 2>&1 &
            one=$!
            "$sim" --address 127.0.0.5 --password secret >/dev/null 2>&1 &
            two=$!
            sleep 1; "$@"; status=$?; kill $one $two; exit $status' sh \
            "$root/$build/bin/orvanta-projector-sim" "${display[@]}" "$tool" "${args[@]}"
    elif [ "$page" = fleet ]; then
        # Its own folder: six named projectors in two groups. Four simulated ones answer (one
        # showing a message, one sounding its alarm), one is busy, one refuses the password and
        # one has no projector behind its address.
        fleet=$(mktemp -d)
        {
            printf '[RESIST NUM]\r\nNUM=7\r\n'
            n=0
            for entry in "2 Hall A front" "3 Hall A rear" "4 Foyer" "5 Room 101" "6 Room 102" \
                "7 Room 103" "9 Library"; do
                read -r host name <<<"$entry"
                n=$((n + 1))
                pass=pw
                if [ "$host" = 7 ]; then pass=wrong; fi
                printf '[RESIST PROJECTOR%d]\r\nNUM=%d\r\nIP=%d\r\nProjectorName=%s\r\n' \
                    "$n" "$n" $((2130706432 + host)) "$name"
                printf 'MAC=00-11-22-33-44-0%d\r\nAuth=1\r\nPass=%s\r\n' "$host" "$pass"
            done
        } >"$fleet/LastPj.txt"
        mkdir -p "$fleet/MessageData"
        cp "$root"/data/MessageData/*.ovx "$fleet/MessageData/"
        cli=("$root/$build/bin/orvanta-cli" --program-folder "$fleet")
        "${cli[@]}" groups add "Hall A" 127.0.0.2 127.0.0.3 >/dev/null
        "${cli[@]}" groups add "Classrooms" 127.0.0.5 127.0.0.6 127.0.0.7 >/dev/null
        args[1]=$fleet
        unshare --net sh -c 'ip link set lo up
            sim=$1; shift
            "$sim" --password pw --address 127.0.0.2 --address 127.0.0.3 --address 127.0.0.5 \
                --address 127.0.0.7 >/dev/null 2>&1 &
            sims=$!
            "$sim" --password pw --address 127.0.0.6 --busy >/dev/null 2>&1 &
            sims="$sims $!"
            "$sim" --password pw --address 127.0.0.4 --alarm 2 >/dev/null 2>&1 &
            sims="$sims $!"
            sleep 1
            cli=$1; folder=$2; shift 2
            "$cli" --program-folder "$folder" send Welcome --slot 3 --projector 127.0.0.2 >/dev/null
            "$cli" --program-folder "$folder" show --slot 3 --projector 127.0.0.2 >/dev/null
            "$@"; status=$?; kill $sims; exit $status' sh \
            "$root/$build/bin/orvanta-projector-sim" "$root/$build/bin/orvanta-cli" "$fleet" \
            "${display[@]}" "$tool" "${args[@]}"
        rm -rf "$fleet"
    elif [ "$page" = schedule ]; then
        # A school's routine, fired by the service running beside the window.
        cli=("$root/$build/bin/orvanta-cli" --program-folder "$folder")
        printf 'Group=Hall A\nMember=127.0.0.2\nMember=127.0.0.3\n' >"$folder/Groups.txt"
        "${cli[@]}" schedule add Morning --weekdays mon,tue,wed,thu,fri --time 07:55 \
            --skip 2026-12-24 --file Welcome --slot 3 --display --group "Hall A" >/dev/null
        "${cli[@]}" schedule add "First period" --weekdays mon,tue,wed,thu,fri --time 08:30 \
            --show 3 --all-registered >/dev/null
        "${cli[@]}" schedule add "Clear at six" --daily 18:00 --clear all --all-registered >/dev/null
        "${cli[@]}" schedule add "Startup off" --weekdays fri --time 19:00 --startup off \
            --all-registered --disabled >/dev/null
        "${cli[@]}" schedule add "Fire drill" --at "2027-01-12 10:30" --show 5 \
            --projector 127.0.0.2 >/dev/null
        unshare --net sh -c 'ip link set lo up
            service=$1; folder=$2; shift 2
            "$service" --program-folder "$folder" --listen 127.0.0.1:0 >/dev/null 2>&1 &
            pid=$!
            while [ ! -e "$folder/schedule-state.json" ]; do sleep 0.1; done
            "$@"; status=$?; kill $pid; wait $pid; exit $status' sh \
            "$root/$build/bin/orvanta-service" "$folder" "${display[@]}" "$tool" "${args[@]}"
    elif [ "$page" = discovery ]; then
        # Loopback carries multicast here, is the adaptor searched from, and three simulated
        # projectors answer the search.
        printf '[SELECT ADAPTOR]\r\nIP=127.0.0.1\r\nADAPTORNAME=lo\r\n' >>"$folder/LastPj.txt"
        unshare --net sh -c 'ip link set lo up; ip link set lo multicast on
            ip route add 224.0.0.0/4 dev lo
            sim=$1; shift
            "$sim" --address 127.0.0.2 --name "Hall A" --mac 00:11:22:33:44:02 \
                --address 127.0.0.3 --name Foyer --mac 00:11:22:33:44:03 \
                --address 127.0.0.5 --name "Studio 2" --discovery >/dev/null 2>&1 &
            sleep 1; "$@"; status=$?; kill $!; exit $status' sh \
            "$root/$build/bin/orvanta-projector-sim" "${display[@]}" "$tool" "${args[@]}"
    else
        unshare --net sh -c 'ip link set lo up; exec "$@"' sh \
            "${display[@]}" "$tool" "${args[@]}"
    fi
    echo "wrote docs/images/$file"
done
