#!/usr/bin/env bash
# The installed program, as a user gets it: bash install-test.sh CHECK BUILD_DIR
# Each check installs the build into its own temporary DESTDIR (prefix /usr) and works only
# below a temporary folder; exit 77 means the check cannot run here (ctest shows it skipped).
set -euo pipefail
check=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-install-$check.XXXXXX")
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

dest=$work/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
bin=$dest/usr/bin
share=$dest/usr/share
# A user of their own: nothing of the real one's is read or written.
export HOME=$work/home XDG_DATA_HOME=$work/xdg XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset ORVANTA_PROGRAM_FOLDER

# Every file under the prefix with its checksum, to show that running wrote nothing there.
snapshot() { (cd "$dest" && find . -print0 | sort -z | xargs -0 -n 50 sh -c 'for f; do
    if [ -f "$f" ]; then md5sum "$f"; else echo "$f"; fi; done' sh); }

# Lines of a command's output, waited for; the command runs in the background.
wait_for_line() { # file pattern seconds
    local i
    for ((i = 0; i < $3 * 20; i++)); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

case $check in
cli-per-user)
    before=$(snapshot)
    address=127.0.14.2
    "$bin/orvanta-projector-sim" --address $address --password pw >"$work/sim.log" 2>&1 &
    pids+=($!)
    wait_for_line "$work/sim.log" "listening on" 10 || fail "simulator: $(cat "$work/sim.log")"
    user=$XDG_DATA_HOME/orvanta
    "$bin/orvanta-cli" --version >/dev/null && "$bin/orvanta-cli" send --help >/dev/null
    [ ! -e "$user" ] || fail "asking for the version or help created $user"
    "$bin/orvanta-cli" projectors add $address --password pw || fail "projectors add"
    out=$("$bin/orvanta-cli" send Welcome.ovx --slot 3 --all-registered) ||
        fail "send: $out"
    [[ $out == *"$address:"*Complete.* ]] || fail "send printed: $out"
    [ -f "$user/LastPj.txt" ] || fail "no LastPj.txt in $user"
    [ -f "$user/MessageData/Welcome.ovx" ] || fail "example message not copied into $user"
    [ "$(stat -c %a "$user")" = 700 ] || fail "$user is readable by others"
    [ ! -e "$HOME/.local/share/orvanta" ] || fail "XDG_DATA_HOME was not used"
    # The installed glyphs and icons draw the very preview the build's own do.
    mkdir -p "$work/installed" "$work/built"
    "$bin/orvanta-cli" render Welcome.ovx --out "$work/installed" >/dev/null || fail "render"
    "$build/bin/orvanta-cli" --program-folder "$build/bin" render \
        "$build/bin/MessageData/Welcome.ovx" --out "$work/built" >/dev/null
    for f in title.bmp message.bmp; do
        cmp -s "$work/installed/$f" "$work/built/$f" || fail "installed $f differs from the build's"
    done
    [ "$(snapshot)" = "$before" ] || fail "something was written under the install prefix"

    # A second run keeps what the first wrote, including the operator's own changes.
    echo "edited" >"$user/MessageData/Welcome.ovx"
    "$bin/orvanta-cli" projectors add 127.0.14.3 || fail "second projectors add"
    list=$("$bin/orvanta-cli" projectors list)
    [[ $list == *"$address"* && $list == *127.0.14.3* ]] || fail "registry after two runs: $list"
    [ "$(cat "$user/MessageData/Welcome.ovx")" = edited ] || fail "message file overwritten"
    "$bin/orvanta-cli" slots --projector $address | grep -q '^3: in use' ||
        fail "slot 3 not stored"
    ;;
desktop-offscreen)
    # The desktop program could start a network search: it runs in a private network.
    # (unshare without --fork becomes the program itself, so $! is the program to stop.)
    unshare --net true 2>/dev/null || skip "no private network namespace (unshare --net)"
    # The tests' scripted copy stays in the build: the installed program reads no test hook.
    [ ! -e "$bin/orvanta-scripted" ] || fail "the tests' scripted desktop program was installed"
    ! grep -aq "ORVANTA_TEST_" "$bin/orvanta" || fail "the installed desktop program reads a test hook"
    # Started as a file manager starts it for a message file: the file opens on the Edit page.
    message="$work/files/A message.ovx"
    mkdir -p "$work/files" && cp "$share/orvanta/MessageData/Welcome.ovx" "$message"
    unshare --net env QT_QPA_PLATFORM=offscreen \
        QT_LOGGING_RULES="orvanta.folders.info=true;orvanta.files.info=true" \
        "$bin/orvanta" "$message" >"$work/app.log" 2>&1 &
    pids+=($!)
    wait_for_line "$work/app.log" "micon:" 20 || fail "desktop program: $(cat "$work/app.log")"
    wait_for_line "$work/app.log" "opened on the Edit page: $message\$" 20 ||
        fail "$message not opened: $(cat "$work/app.log")"
    user=$XDG_DATA_HOME/orvanta/
    grep -q "program folder: $user\$" "$work/app.log" || fail "program folder: $(cat "$work/app.log")"
    [ -f "$user/MessageData/Welcome.ovx" ] || fail "example message not copied"
    for folder in mfont micon; do
        # The glyphs and icons the install ships; none yet is the user folder's name for them.
        expected=$user$folder/
        [ -d "$share/orvanta/$folder" ] && expected=$share/orvanta/$folder/
        grep -q "$folder: $expected\$" "$work/app.log" || fail "$folder: $(cat "$work/app.log")"
    done
    ;;
desktop-files)
    desktop=$share/applications/com.tavrix.Orvanta.desktop
    metainfo=$share/metainfo/com.tavrix.Orvanta.metainfo.xml
    [ -f "$desktop" ] && [ -f "$metainfo" ] || fail "desktop or metainfo file not installed"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon not installed"
    # The message file type: its definition, the menu entry that opens it, its icon (named
    # after the type, as icon themes look it up).
    type=application/x-orvanta-message
    grep -q "<mime-type type=\"$type\">" "$share/mime/packages/com.tavrix.Orvanta.xml" ||
        fail "no MIME definition of $type"
    grep -qx "MimeType=$type;" "$desktop" || fail "the menu entry does not open $type"
    grep -q "^Exec=orvanta %[fF]\$" "$desktop" || fail "Exec passes no file: $(grep ^Exec= "$desktop")"
    grep -q "<mediatype>$type</mediatype>" "$metainfo" || fail "the metainfo does not name $type"
    type_icon=${type//\//-}
    [ -f "$share/icons/hicolor/scalable/mimetypes/$type_icon.svg" ] || fail "no icon $type_icon"
    if command -v rsvg-convert >/dev/null; then
        [ -f "$share/icons/hicolor/48x48/mimetypes/$type_icon.png" ] || fail "no PNG $type_icon"
    fi
    # The licences and the change log a Debian user finds for every package.
    doc=$share/doc/orvanta
    [ "$(head -1 "$doc/copyright")" = \
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
        fail "copyright is not machine-readable"
    for licence in Expat bitstream-vera; do
        grep -qx "License: $licence" "$doc/copyright" || fail "copyright lacks $licence"
    done
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    [[ $(gzip -dc "$doc/changelog.Debian.gz" | head -1) == "orvanta ($version-"*") "* ]] ||
        fail "changelog.Debian.gz does not start with version $version"
    [ -x "$bin/$(sed -n 's/^Exec=//p' "$desktop" | cut -d' ' -f1)" ] || fail "Exec not installed"
    for lang in ja zh_CN; do
        for key in Name GenericName Comment; do
            grep -q "^$key\[$lang\]=" "$desktop" || fail "$key[$lang] missing"
        done
    done
    tools=0
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate"
        tools=$((tools + 1))
    fi
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
        tools=$((tools + 1))
    fi
    [ $tools -gt 0 ] || skip "neither desktop-file-validate nor appstreamcli is installed"
    ;;
manpages)
    command -v man >/dev/null || skip "man is not installed"
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    for program in orvanta orvanta-cli orvanta-projector-sim orvanta-service; do
        [ "$("$bin/$program" --version)" = "$program $version" ] || fail "$program --version"
        page=$share/man/man1/$program.1.gz
        text=$(MANWIDTH=100 man -l "$page" 2>"$work/man.err") || fail "man -l $page"
        [ ! -s "$work/man.err" ] || fail "man -l $page: $(cat "$work/man.err")"
        [[ $text == *NAME*"$program"*DESCRIPTION* ]] || fail "$page has no NAME or DESCRIPTION"
        # Every option the program's help names is in its manual page.
        help_option=--help
        [ "$program" = orvanta-cli ] && help_option=--help-all
        for option in $("$bin/$program" $help_option | grep -o -- '--[a-z][a-z-]*' | sort -u); do
            gzip -dc "$page" | grep -q -- "${option//-/\\\\-}" || fail "$page lacks $option"
        done
    done
    ;;
mime)
    # The desktop's MIME database, built from the installed definition, tells message files
    # by name and by content, as a file manager sees them (gio asks the same library).
    command -v update-mime-database >/dev/null || skip "update-mime-database is not installed"
    command -v gio >/dev/null || skip "gio is not installed"
    update-mime-database "$share/mime" >"$work/mime.log" 2>&1 || fail "$(cat "$work/mime.log")"
    files=$work/files
    mkdir -p "$files"
    cp "$share/orvanta/MessageData/Welcome.ovx" "$files/welcome.ovx"
    cp "$share/orvanta/MessageData/Welcome.ovx" "$files/welcome-without-ending"
    printf '{\\rtf1\\ansi Plain rich text\\par\n}\n' >"$files/letter.rtf"
    cp "$files/letter.rtf" "$files/letter-without-ending"
    echo "not a message" >"$files/named-like-one.ovx"
    declare -A expected=(
        [welcome.ovx]=application/x-orvanta-message
        [welcome-without-ending]=application/x-orvanta-message
        [letter.rtf]=application/rtf
        [letter-without-ending]=application/rtf
        [named-like-one.ovx]=application/x-orvanta-message
    )
    for name in "${!expected[@]}"; do
        got=$(XDG_DATA_DIRS=$share:/usr/share gio info -a standard::content-type "$files/$name" |
            sed -n 's/^ *standard::content-type: //p')
        [ "$got" = "${expected[$name]}" ] || fail "$name is \"$got\", not \"${expected[$name]}\""
    done
    ;;
completion)
    script=$share/bash-completion/completions/orvanta-cli
    [ -f "$script" ] || fail "completion not installed"
    "$bin/orvanta-cli" projectors add 127.0.14.9 >/dev/null
    "$bin/orvanta-cli" groups add Hall 127.0.14.9 >/dev/null
    complete_words() { # words... (the last one is completed)
        PATH=$bin:$PATH bash -c 'source "$1"; shift; COMP_WORDS=("$@");
            COMP_CWORD=$(($# - 1)); _orvanta_cli; printf "%s\n" "${COMPREPLY[@]}" | sort |
            tr "\n" " "' complete "$script" "$@"
    }
    declare -A expected=(
        ["orvanta-cli s"]="schedule send show slots startup status "
        ["orvanta-cli send x --sl"]="--slot "
        ["orvanta-cli show --slot q"]="quick "
        ["orvanta-cli status --projector 127"]="127.0.14.9 "
        ["orvanta-cli projectors r"]="remove "
        ["orvanta-cli groups re"]="remove rename "
        ["orvanta-cli groups add Hall 127"]="127.0.14.9 "
        ["orvanta-cli status --group H"]="Hall "
        ["orvanta-cli --v"]="--version "
        ["orvanta-cli render x --sy"]="--sync "
        ["orvanta-cli render x --sync o"]="off on "
    )
    for words in "${!expected[@]}"; do
        # shellcheck disable=SC2086
        got=$(complete_words $words)
        [ "$got" = "${expected[$words]}" ] || fail "\"$words\" completes to \"$got\""
    done
    ;;
deb)
    command -v cpack >/dev/null && command -v dpkg-deb >/dev/null || skip "no cpack or dpkg-deb"
    (cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) ||
        fail "cpack: $(tail -20 "$work/cpack.log")"
    deb=$(ls "$work"/package/orvanta_*.deb)
    files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
    for path in usr/bin/orvanta usr/bin/orvanta-cli usr/bin/orvanta-projector-sim \
        usr/share/orvanta/MessageData/Welcome.ovx \
        usr/share/applications/com.tavrix.Orvanta.desktop \
        usr/share/metainfo/com.tavrix.Orvanta.metainfo.xml \
        usr/share/icons/hicolor/scalable/apps/com.tavrix.Orvanta.svg \
        usr/share/icons/hicolor/48x48/apps/com.tavrix.Orvanta.png \
        usr/share/man/man1/orvanta.1.gz usr/share/man/man1/orvanta-cli.1.gz \
        usr/share/man/man1/orvanta-projector-sim.1.gz \
        usr/bin/orvanta-service usr/share/man/man1/orvanta-service.1.gz \
        usr/share/orvanta/openapi.json usr/lib/systemd/user/orvanta-service.service \
        usr/lib/systemd/system/orvanta-service.service \
        usr/share/bash-completion/completions/orvanta-cli \
        usr/share/mime/packages/com.tavrix.Orvanta.xml \
        usr/share/icons/hicolor/scalable/mimetypes/application-x-orvanta-message.svg \
        usr/share/doc/orvanta/copyright usr/share/doc/orvanta/changelog.Debian.gz; do
        grep -qx "\./$path" <<<"$files" || fail "$path missing from $deb"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libc6 libqt6widgets6 libssl3 libsdl1.2 libmicrohttpd12 libsodium23 libsystemd0; do
        [[ $depends == *$lib* ]] || fail "Depends lacks $lib: $depends"
    done
    # The Wayland window and a font for the Japanese and Chinese interface come along.
    recommends=$(dpkg-deb -f "$deb" Recommends)
    for package in qt6-wayland fonts-wqy-microhei qt6-translations-l10n; do
        [[ $recommends == *$package* ]] || fail "Recommends lacks $package: $recommends"
    done
    ;;
lintian)
    command -v lintian >/dev/null || skip "lintian is not installed"
    command -v cpack >/dev/null || skip "no cpack"
    (cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) ||
        fail "cpack: $(tail -20 "$work/cpack.log")"
    # Errors and warnings fail; the informational and pedantic tags are shown. Lintian ends
    # with 1 when it found errors, with more when it could not check.
    status=0
    lintian --pedantic --display-info --tag-display-limit 0 "$work"/package/orvanta_*.deb \
        >"$work/lintian.log" 2>&1 || status=$?
    cat "$work/lintian.log"
    [ $status -le 1 ] || fail "lintian could not check the package (status $status)"
    ! grep -qE '^[EW]: ' "$work/lintian.log" || fail "lintian reports errors or warnings"
    ;;
*)
    fail "unknown check $check"
    ;;
esac
echo "ok: $check"
