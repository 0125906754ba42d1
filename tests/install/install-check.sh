#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what a user gets from a build folder: the files `cmake --install`
# lays out, the desktop entry and the AppStream file as the desktop's own
# validators see them, the manual pages as man renders them, the installed
# program started from its prefix far from the build folder (its help book
# opened with F1 and read back from the window's title), and the Debian
# package. Every check installs into a temporary folder of its own and removes
# it again. Usage: install-check.sh BUILD files|desktop|appstream|man|run|package
set -uo pipefail
build="$(cd "$1" && pwd)"
check="$2"
app_id=org.klavora.Klavora

# shellcheck source=../../scripts/session-lib.sh
. "$(dirname "$0")/../../scripts/session-lib.sh"

work="$(mktemp -d /tmp/klavora-install.XXXXXX)"
app_pid="" wm_pid="" xvfb_pid=""
cleanup() {
    local pid
    for pid in "$app_pid" "$wm_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "install-check: $tool is missing" >&2; exit 1; }
    done
}

prefix="$work/prefix"
install_prefix() {
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; echo "install-check: cmake --install failed" >&2; exit 1; }
}
# The installed files, relative to the prefix, sorted.
installed_files() {
    (cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
}

check_files() {
    need identify
    install_prefix
    local expected=(
        bin/klavora bin/klavora-store
        "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml"
        "share/mime/packages/$app_id.xml"
        share/man/man1/klavora.1 share/man/man1/klavora-store.1
        share/doc/klavora/copyright
        "share/icons/hicolor/scalable/apps/$app_id.svg")
    for size in 16 32 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
    done
    for file in "${expected[@]}"; do
        [ -s "$prefix/$file" ] || fail "$file is not installed"
    done
    for size in 16 32 48 64 128 256; do
        local icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
        [ -f "$icon" ] || continue
        local measured
        measured="$(identify -format '%wx%h' "$icon" 2>/dev/null)"
        [ "$measured" = "${size}x${size}" ] || fail "the ${size}px icon is $measured"
    done
    grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$app_id.svg" ||
        fail "the scalable icon is no SVG drawing"
    # Programs go to bin (or libexec for helpers the program starts), data to
    # share; nothing else.
    local stray
    stray="$(installed_files | grep -Ev '^(bin|libexec|share)/')"
    [ -z "$stray" ] || fail "installed outside bin, libexec and share: $stray"
    for program in $(installed_files | grep -E '^(bin|libexec)/'); do
        [ -x "$prefix/$program" ] || fail "$program is not executable"
    done
}

check_desktop() {
    need desktop-file-validate
    install_prefix
    local entry="$prefix/share/applications/$app_id.desktop"
    local report
    report="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate failed"
    [ -z "$report" ] || fail "desktop-file-validate: $report"
    # The entry starts an installed program and names an installed icon.
    local exec icon
    exec="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
    icon="$(sed -n 's/^Icon=//p' "$entry")"
    [ -x "$prefix/bin/$exec" ] || fail "Exec=$exec is no installed program"
    [ -n "$(find "$prefix/share/icons/hicolor" -name "$icon.*")" ] || fail "Icon=$icon is not installed"
    grep -q '^Categories=AudioVideo;Audio;Music;' "$entry" || fail "the categories lack AudioVideo;Audio;Music;"
    check_file_type
}

# The Scala scale files the entry opens, as the desktop's own tools see them
# in the prefix and nowhere else: the file type's database, the list of
# programs, and the default program for the type (xdg-mime).
check_file_type() {
    need update-mime-database update-desktop-database xdg-mime gio
    local entry="$prefix/share/applications/$app_id.desktop"
    grep -q '^Exec=klavora %f$' "$entry" || fail "the entry does not pass the file: $(grep ^Exec= "$entry")"
    grep -q '^MimeType=text/x-scala-scale;$' "$entry" || fail "the entry declares no Scala scale files"
    local report
    report="$(update-mime-database -V "$prefix/share/mime" 2>&1)" || fail "update-mime-database: $report"
    grep -qi 'error\|warning' <<<"$report" && fail "update-mime-database: $report"
    report="$(update-desktop-database -q "$prefix/share/applications" 2>&1)" ||
        fail "update-desktop-database: $report"
    [ -z "$report" ] || fail "update-desktop-database: $report"
    grep -q "^text/x-scala-scale=$app_id.desktop;" "$prefix/share/applications/mimeinfo.cache" ||
        fail "the list of programs does not give .scl files to Klavora"

    local home="$work/mime-home"
    mkdir -p "$home/config" "$home/data"
    printf '! test.scl\nA test\n 1\n 2/1\n' >"$home/test.scl"
    printf 'object Main\n' >"$home/Main.scala"
    local -a env=(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION
        -u GNOME_DESKTOP_SESSION_ID HOME="$home" XDG_CONFIG_HOME="$home/config"
        XDG_CONFIG_DIRS="$home/config" XDG_DATA_HOME="$home/data"
        XDG_DATA_DIRS="$prefix/share:/usr/share")
    local type
    type="$("${env[@]}" gio info -a standard::content-type "$home/test.scl" 2>&1 |
        sed -n 's/.*standard::content-type: //p')"
    [ "$type" = text/x-scala-scale ] || fail "a .scl file is of type \"$type\""
    # Scala source code keeps its own type, and Klavora does not open it.
    type="$("${env[@]}" gio info -a standard::content-type "$home/Main.scala" 2>&1 |
        sed -n 's/.*standard::content-type: //p')"
    [ "$type" = text/x-scala ] || fail "a .scala file is of type \"$type\""
    local default
    default="$("${env[@]}" xdg-mime query default text/x-scala-scale 2>&1)"
    [ "$default" = "$app_id.desktop" ] || fail "xdg-mime names \"$default\" for .scl files"
    default="$("${env[@]}" xdg-mime query default text/x-scala 2>&1)"
    [ "$default" != "$app_id.desktop" ] || fail "xdg-mime gives Scala source code to Klavora"
}

check_appstream() {
    need appstreamcli
    install_prefix
    local metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
    local report
    report="$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1)" ||
        fail "appstreamcli validate: $report"
    # Errors and warnings fail; the pedantic remarks (P:) and infos (I:) do not.
    if grep -Eq '^[EW]: ' <<<"$report"; then
        fail "appstreamcli validate: $report"
    fi
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $app_id.desktop"
    grep -q '<screenshot' "$metainfo" || fail "the metainfo has no screenshot"
    grep -q '<release ' "$metainfo" || fail "the metainfo has no release"
}

check_man() {
    need man
    install_prefix
    for page in klavora klavora-store; do
        local file="$prefix/share/man/man1/$page.1"
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.err" ||
            fail "man -l $page.1 failed"
        [ -s "$work/$page.err" ] && fail "man -l $page.1 warns: $(cat "$work/$page.err")"
        grep -q '^NAME' "$work/$page.txt" || fail "$page.1 renders without a NAME section"
        grep -q "$page" "$work/$page.txt" || fail "$page.1 does not name $page"
    done
}

# Waits up to $1 seconds for a shown window whose name matches $2; prints its id.
wait_window() {
    local seconds="$1" pattern="$2" ids
    for _ in $(seq $((seconds * 10))); do
        ids="$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null)"
        if [ -n "$ids" ]; then
            echo "$ids"
            return 0
        fi
        kill -0 "$app_pid" 2>/dev/null || { echo "install-check: the program ended" >&2; return 1; }
        sleep 0.1
    done
    return 1
}

check_run() {
    need xdotool xprop Xvfb openbox
    # A display and window manager of its own, as a user's desktop has: the
    # check does not depend on what earlier tests left on a shared display.
    start_display 141 190 "$work/xvfb.log" || { echo "install-check: no free display" >&2; exit 1; }
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    install_prefix
    # A user of their own, with no build folder and no store around.
    local home="$work/home"
    mkdir -p "$home"
    cd "$home" || exit 1
    unset KLAVORA_STORE XDG_CONFIG_HOME XDG_DATA_HOME KLAVORA_SOUND_HELPER
    export HOME="$home"

    local usage
    usage="$("$prefix/bin/klavora" --help 2>&1)" || fail "klavora --help ended with a failure"
    grep -q 'Usage: klavora' <<<"$usage" || fail "klavora --help printed no usage: $usage"

    "$prefix/bin/klavora" >"$work/program.log" 2>&1 &
    app_pid=$!
    trap 'if [ "$failures" -gt 0 ]; then cat "$work/program.log" >&2; fi; cleanup' EXIT
    local main="" help="" title
    main="$(wait_window 30 '^Klavora$' | head -1)" || { fail "no window appeared"; return; }
    # F1 opens the help book at the page of the main window, whose meter has
    # the focus first. Without a sound server the program first says so in a
    # message box of the same name, which may come up just after the window:
    # each try closes such boxes, then presses F1 in the main window.
    for _ in $(seq 5); do
        for w in $(xdotool search --onlyvisible --name '^Klavora$' 2>/dev/null); do
            if [[ "$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null)" == *NORMAL* ]]; then
                main="$w"
            else
                xdotool windowfocus --sync "$w" key Return 2>/dev/null
            fi
        done
        xdotool windowfocus --sync "$main" key F1
        help="$(wait_window 3 '^Klavora Help: ' | head -1)" && break
    done
    [ -n "$help" ] || { fail "F1 opened no help window"; return; }

    # The window manager matches the window to the desktop entry by its class,
    # and shows the icon the window carries.
    local class icons
    class="$(xprop -id "$main" WM_CLASS)"
    icons="$(xprop -id "$main" _NET_WM_ICON)"
    grep -q "\"$app_id\", \"Klavora\"" <<<"$class" || fail "the window's class is $class"
    grep -q 'Icon (64 x 64)' <<<"$icons" || fail "the window carries no 64x64 icon"

    title="$(xdotool getwindowname "$help")"
    [ "$title" = "Klavora Help: The main window" ] || fail "the help window shows \"$title\""

    # File > Exit ends the program, help window and all.
    # (The open menu is a window named after the application id.)
    xdotool windowfocus --sync "$main" key alt+f
    wait_window 10 "^${app_id//./\\.}\$" >/dev/null || fail "Alt+F opened no menu"
    xdotool key x
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$app_pid" 2>/dev/null; then
        fail "the program did not end on File > Exit"
    else
        wait "$app_pid" || fail "the program ended with status $?"
        app_pid=""
    fi
    [ -f "$home/.config/klavora/klavora.db" ] || fail "the store was not made in the user's home"
}

# The package's copyright file in Debian's machine-readable format: its
# header, the program's licence, and a stand-alone paragraph for every
# licence a Files paragraph names.
check_copyright() {
    local deb="$1" copyright="$work/copyright"
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/klavora/copyright >"$copyright" 2>/dev/null ||
        { fail "the package has no /usr/share/doc/klavora/copyright"; return; }
    [ "$(head -1 "$copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
        fail "the copyright file is not in the machine-readable format"
    awk -v RS= '/^Files: \*\n/ && /\nLicense: GPL-3.0-or-later(\n|$)/ { found = 1 } END { exit !found }' "$copyright" ||
        fail "the copyright file does not give GPL-3.0-or-later for the program's files"
    local name
    while read -r name; do
        awk -v RS= -v want="License: $name" 'index($0, want "\n") == 1 { found = 1 } END { exit !found }' "$copyright" ||
            fail "the copyright file has no paragraph for the licence $name"
    done < <(awk -v RS= '/^Files:/' "$copyright" | sed -n 's/^License: //p' | sort -u)
    grep -q '/usr/share/common-licenses/GPL-3' "$copyright" || fail "the copyright file does not point to GPL-3"
    for library in wxWidgets PortAudio SQLite cairo ALSA GTK; do
        grep -q "$library" "$copyright" || fail "the copyright file does not name $library"
    done
}

check_package() {
    need cpack dpkg-deb dpkg-shlibdeps
    install_prefix
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; fail "cpack failed"; return; }
    local deb
    deb="$(find "$work/package" -maxdepth 1 -name "klavora_*.deb" | head -1)"
    [ -n "$deb" ] || { fail "cpack made no klavora_*.deb"; return; }

    # The package holds what cmake --install lays out under /usr, manual
    # pages compressed, and nothing else.
    installed_files | sed -e 's|^|usr/|' -e 's|^\(usr/share/man/.*\.[1-9]\)$|\1.gz|' >"$work/expected"
    dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort >"$work/packaged"
    diff -u "$work/expected" "$work/packaged" >&2 || fail "the package does not hold what is installed"

    # Its dependencies come from the libraries the programs link.
    local depends
    depends="$(dpkg-deb -f "$deb" Depends)"
    for library in libc6 libwxgtk3.2 libportaudio2 libsqlite3; do
        grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
    done
    [ "$(dpkg-deb -f "$deb" Package)" = klavora ] || fail "the package is not named klavora"
    check_copyright "$deb"
    # Files only: no scripts that would change the system when installing.
    # The desktop's file types and list of programs are rebuilt by dpkg's
    # triggers for the folders that shared-mime-info and desktop-file-utils
    # watch, where the package puts its two files.
    for watched in usr/share/mime/packages usr/share/applications; do
        grep -q "^$watched/$app_id\.[a-z]*$" "$work/packaged" || fail "the package puts nothing in $watched"
    done
    for owner in shared-mime-info:usr/share/mime/packages desktop-file-utils:usr/share/applications; do
        local triggers="/var/lib/dpkg/info/${owner%%:*}.triggers"
        [ ! -f "$triggers" ] || grep -q "^interest-noawait /${owner#*:}$" "$triggers" ||
            fail "${owner%%:*} does not watch /${owner#*:}"
    done
    local control
    control="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | sort | tr '\n' ' ')"
    [ "$control" = "control md5sums " ] || fail "the package's control holds $control"
}

case "$check" in
    files | desktop | appstream | man | run | package) "check_$check" ;;
    *)
        echo "install-check: unknown check $check" >&2
        exit 2
        ;;
esac
[ "$failures" -eq 0 ]
