#!/usr/bin/env bash
# Pictures of the desktop program for the README: every page in English, and the Edit tab in
# Japanese and Chinese, written to docs/images/. Made by hand, not in CI.
#
#   bash scripts/screenshots.sh [build-dir]
#
# The program runs inside a private network namespace (only loopback), so that nothing it
# does - the Discovery tab multicasts - can reach a real network, and under a virtual X
# server (xvfb-run) when there is one, else on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
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

shots=(
    "en main main.png"
    "en discovery discovery.png"
    "en edit edit.png"
    "ja edit edit-ja.png"
    "zh edit edit-zh.png"
)
if command -v xvfb-run >/dev/null; then
    display=(xvfb-run -a -s "-screen 0 1280x1024x24")
else
    display=(env QT_QPA_PLATFORM=offscreen)
fi
for shot in "${shots[@]}"; do
    read -r language page file <<<"$shot"
    args=(--program-folder "$folder" --language "$language" --page "$page" --out "$out/$file")
    if [ "$page" = edit ]; then args+=(--open "$folder/MessageData/Welcome.ovx"); fi
    unshare --net sh -c 'ip link set lo up; exec "$@"' sh \
        "${display[@]}" "$tool" "${args[@]}"
    echo "wrote docs/images/$file"
done
