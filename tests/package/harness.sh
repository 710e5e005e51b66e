# shellcheck shell=bash
# Helpers of the installed-program test, sourced by it: a sandbox (temporary
# folder, network namespace, Xvfb, an unprivileged user's home), starting the
# installed program as the menu does, and driving its window with xdotool.
# Every wait has a limit and every failure says what went wrong.

# Positions inside the 470 × 440 window, from the dialog template: the client
# area starts at (1, 1); the language box is at 177, 51 dialog units (266, 77
# pixels), 188 pixels wide; the Exit button at 82, 121 units (123, 182
# pixels), 87 × 32 pixels.
readonly language_box_x=$((1 + 266 + 94)) language_box_y=$((1 + 77 + 10))
readonly exit_button_x=$((1 + 123 + 43)) exit_button_y=$((1 + 182 + 16))
# The user the program runs as: nobody, with a home of the test's own.
readonly user_id=65534 group_id=65534

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

step() { printf -- '--- %s\n' "$*"; }

# wait_until SECONDS WHAT COMMAND...: runs COMMAND until it succeeds.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || fail "waited ${seconds}s for $what"
        sleep 0.1
    done
}

require_root_and_namespace() {
    local reason=""
    if [ "$(id -u)" -ne 0 ]; then
        reason="needs root for apt-get and network namespaces"
    elif ! ip netns add "tvx-pkg-probe-$$" 2>/dev/null; then
        reason="cannot create a network namespace"
    else
        ip netns del "tvx-pkg-probe-$$"
    fi
    [ -z "$reason" ] && return 0
    # CI runs as root: there a skip would hide a broken package.
    [ "${CI:-}" != true ] || fail "$reason"
    echo "SKIP: installed-program-test: $reason"
    exit 0
}

cleanup() {
    local status=$?
    if [ -n "${program_pid:-}" ] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    [ -n "${ns:-}" ] && ip netns del "$ns" 2>/dev/null
    if [ "$status" -ne 0 ] && [ -n "${work:-}" ]; then
        for log in program.log xvfb.log apt.log; do
            [ -s "$work/$log" ] && { echo "--- $log:"; tail -n 30 "$work/$log"; } >&2
        done
    fi
    if [ "${installed_here:-}" = yes ] && dpkg-query -W tavolix >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tavolix >/dev/null 2>&1 || true
    fi
    [ -n "${work:-}" ] && rm -rf "$work"
    return "$status"
}

# Makes the temporary folder, the namespace with a broadcast-capable interface
# (a virtual cable whose other end, in the same namespace, has no one
# listening), an Xvfb inside it and the user's folders.
make_sandbox() {
    work=$(mktemp -d /tmp/tvx-package-test.XXXXXX)
    trap cleanup EXIT
    trap 'exit 130' INT TERM
    chmod 0755 "$work"
    ns=tvx-pkg-$$
    ip netns add "$ns"
    ip -n "$ns" link set lo up
    ip -n "$ns" link add tvxpkg0 type veth peer name tvxpkg1
    ip -n "$ns" addr add 198.18.60.1/24 dev tvxpkg0
    ip -n "$ns" link set tvxpkg0 up
    ip -n "$ns" link set tvxpkg1 up

    start_xvfb

    home=$work/home
    runtime=$work/runtime
    elsewhere=$work/elsewhere
    mkdir -p "$home" "$runtime" "$elsewhere"
    chown "$user_id:$group_id" "$home" "$runtime"
    chmod 0700 "$runtime"
}

# Takes a display number above those of the C++ tests (90-189) and of a
# desktop session, in the namespace. -noreset: otherwise the server restarts
# whenever its last client leaves, refusing connections meanwhile.
# -displayfd: it writes the number once it accepts connections, or exits if
# the display is taken.
start_xvfb() {
    local number
    for number in $(seq 200 299); do
        [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
        : >"$work/display"
        ip netns exec "$ns" Xvfb ":$number" -displayfd 3 -nolisten tcp -noreset \
            -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        local deadline=$((SECONDS + 30))
        while kill -0 "$xvfb_pid" 2>/dev/null && [ ! -s "$work/display" ]; do
            [ "$SECONDS" -lt "$deadline" ] || fail "Xvfb :$number did not start in 30s"
            sleep 0.1
        done
        if [ -s "$work/display" ]; then
            display=:$number
            return 0
        fi
        wait "$xvfb_pid" || true
        xvfb_pid=""
    done
    fail "no free X display between :200 and :299"
}

in_namespace() { ip netns exec "$ns" env DISPLAY="$display" "$@"; }

apt_get() {
    installed_here=yes
    DEBIAN_FRONTEND=noninteractive apt-get -y -o Dpkg::Use-Pty=0 "$@" >"$work/apt.log" 2>&1 ||
        fail "apt-get $* failed"
}

# start_from_menu DESKTOP_FILE [NAME=VALUE...]: runs the entry's Exec command
# from an unrelated folder as the user, in the namespace, in the background.
start_from_menu() {
    local entry=$1
    shift
    local exec_line
    exec_line=$(sed -n 's/^Exec=//p' "$entry")
    [ -n "$exec_line" ] || fail "$entry has no Exec line"
    local -a command
    read -ra command <<<"$exec_line"
    # What a desktop session of the user would give it.
    local -a environment=(HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$display"
        LANG=C.UTF-8 XDG_RUNTIME_DIR="$runtime" "$@")
    printf '%s\n' "${environment[@]}" | sort >"$work/environment"
    # ip netns exec, setpriv, env and the launcher each replace themselves
    # with the next, so the process started here becomes the program.
    (cd "$elsewhere" && exec ip netns exec "$ns" \
        setpriv --reuid="$user_id" --regid="$group_id" --clear-groups \
        env -i "${environment[@]}" "${command[@]}") >>"$work/program.log" 2>&1 &
    program_pid=$!
}

# Prints the id of the visible window whose title matches the pattern.
wait_for_window() {
    local pattern=$1 deadline=$((SECONDS + 30)) id
    until id=$(in_namespace xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended before a window titled $pattern appeared"
        [ "$SECONDS" -lt "$deadline" ] ||
            fail "no window titled $pattern appeared in 30s; shown: $(visible_window_titles)"
        sleep 0.2
    done
    [ "$(wc -l <<<"$id")" -eq 1 ] || fail "more than one window titled $pattern"
    echo "$id"
}

visible_window_titles() {
    in_namespace xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null |
        sed 's/.*/"&"/' | paste -sd, -
}

window_geometry() {
    local WIDTH HEIGHT
    eval "$(in_namespace xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
    echo "${WIDTH}x${HEIGHT}"
}

# The program is the launched process, runs in the user's folder, and got no
# arguments and no environment beyond what the session gave the launcher.
check_program_process() {
    local copy=$1
    wait_until 10 "the launcher to start the program" program_runs /usr/lib/tavolix/tavolix
    [ "$(readlink "/proc/$program_pid/cwd")" = "$(dirname "$copy")" ] ||
        fail "the program runs in $(readlink "/proc/$program_pid/cwd"), not $(dirname "$copy")"
    [ "$(tr '\0' '\n' <"/proc/$program_pid/cmdline" | wc -l)" -eq 1 ] ||
        fail "the program got arguments: $(tr '\0' ' ' <"/proc/$program_pid/cmdline")"
    # The shell keeps its working directories and level in the environment;
    # the program reads none of them.
    tr '\0' '\n' <"/proc/$program_pid/environ" | grep -Ev '^(PWD|OLDPWD|SHLVL|_)=' | sort |
        diff -u "$work/environment" - >"$work/environment.diff" ||
        fail "the launcher changed the program's environment: $(<"$work/environment.diff")"
}

program_runs() {
    [ "$(readlink "/proc/$program_pid/exe")" = "$1" ]
}

stored_language() {
    sqlite3 -readonly "$1" 'select language from current;'
}

# stored_language_is DATABASE NUMBER
stored_language_is() {
    [ "$(stored_language "$1")" = "$2" ]
}

# Opens the language box with a click and moves to entry NUMBER with the
# arrow keys; Return chooses it.
choose_language_in_window() {
    local window=$1 number=$2
    in_namespace xdotool mousemove --window "$window" --sync "$language_box_x" "$language_box_y" \
        click 1
    local -a downs=()
    for ((i = 0; i < number; ++i)); do downs+=(Down); done
    sleep 0.5 # the drop-down list appears
    in_namespace xdotool key --delay 100 "${downs[@]}" Return
}

# Presses Exit in the given window and waits for the program to end with 0.
close_with_exit() {
    in_namespace xdotool mousemove --window "$1" --sync "$exit_button_x" "$exit_button_y" click 1
    local deadline=$((SECONDS + 20))
    while kill -0 "$program_pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the program did not end within 20s of Exit"
        sleep 0.1
    done
    local status=0
    wait "$program_pid" || status=$?
    program_pid=""
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# Every shared library the program loads, the xcb platform plugin, the fonts
# the window asks for and the sqlite3 command of the launcher come from
# packages the installed package depends on, directly or not: a machine that
# has only those can run it.
check_dependencies_cover() {
    local program=$1
    apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances tavolix | grep -v '^ ' | tr -d '<>' | sort -u \
        >"$work/closure"
    local plugin
    plugin=$(find /usr/lib -path '*/qt6/plugins/platforms/libqxcb.so' -print -quit)
    [ -n "$plugin" ] || fail "no xcb platform plugin found"
    local -a files=("$plugin" "$(command -v sqlite3)"
        "$(fc-match -f '%{file}' Arial)" "$(fc-match -f '%{file}' 'Noto Sans CJK SC')")
    mapfile -t -O "${#files[@]}" files < <(ldd "$program" "$plugin" | awk '$2 == "=>" {print $3}')
    local file owner
    for file in "${files[@]}"; do
        owner=$(package_owning "$file") || fail "no package owns $file"
        grep -qx "$owner" "$work/closure" ||
            fail "$file comes from $owner, which tavolix does not depend on"
    done
}

# The package that installed a file; with the merged /usr, a library found
# as /lib/... may be listed as /usr/lib/... or the other way round.
package_owning() {
    local file=$1 candidate
    for candidate in "$file" "/usr$file" "${file#/usr}" "$(readlink -f "$file")"; do
        dpkg-query -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1 && return 0
    done
    return 1
}

validate_desktop_entry() {
    desktop-file-validate "$1" >"$work/validate.log" 2>&1 ||
        fail "desktop-file-validate: $(<"$work/validate.log")"
    # Hints are advice; errors and warnings are not.
    ! grep -Eq ': (error|warning):' "$work/validate.log" ||
        fail "desktop-file-validate: $(<"$work/validate.log")"
    cat "$work/validate.log"
}

validate_metainfo() {
    appstreamcli validate --no-net "$1" >"$work/validate.log" 2>&1 ||
        fail "appstreamcli validate: $(<"$work/validate.log")"
    cat "$work/validate.log"
}

# have_tool NAME PACKAGE: true when the command is there; otherwise says the
# check is skipped (and fails under CI, where install-deps.sh installs it).
have_tool() {
    command -v "$1" >/dev/null && return 0
    [ "${CI:-}" != true ] || fail "$1 is missing; scripts/install-deps.sh installs $2"
    echo "SKIP: $1 is not installed (package $2)"
    return 1
}

# firewalld and ufw read the installed profiles and open UDP ports 3566
# (native replies), 3567 (ONVIF probe answers) and 3702 (answers sent to the
# WS-Discovery group) by them; both print the ports they would open.
validate_firewall_profiles() {
    if have_tool firewall-offline-cmd firewalld; then
        firewall-offline-cmd --info-service=tavolix >"$work/firewalld.log" 2>&1 ||
            fail "firewall-offline-cmd does not load the service: $(<"$work/firewalld.log")"
        grep -qx '  ports: 3566-3567/udp' "$work/firewalld.log" ||
            fail "the firewalld service does not open 3566-3567/udp: $(<"$work/firewalld.log")"
        grep -qx '  includes: ws-discovery-udp' "$work/firewalld.log" ||
            fail "the firewalld service does not open 3702/udp to the group: $(<"$work/firewalld.log")"
        cat "$work/firewalld.log"
    fi
    if have_tool ufw ufw; then
        ufw app info Tavolix >"$work/ufw.log" 2>&1 ||
            fail "ufw does not load the profile: $(<"$work/ufw.log")"
        grep -qx '  3566:3567/udp' "$work/ufw.log" ||
            fail "the ufw profile does not open 3566:3567/udp: $(<"$work/ufw.log")"
        grep -qx '  3702/udp' "$work/ufw.log" ||
            fail "the ufw profile does not open 3702/udp: $(<"$work/ufw.log")"
        cat "$work/ufw.log"
    fi
}

# Prints the path of a copy of the package with a higher version whose
# language database has had the SQL applied, as an upgrade would ship it.
repack_with_changed_database() {
    local deb=$1 sql=$2 tree=$work/upgrade
    dpkg-deb -R "$deb" "$tree"
    sqlite3 "$tree/usr/share/tavolix/language.db" "$sql"
    (cd "$tree" && md5sum usr/share/tavolix/language.db) >"$work/md5"
    sed -i "\| usr/share/tavolix/language.db\$|d" "$tree/DEBIAN/md5sums"
    cat "$work/md5" >>"$tree/DEBIAN/md5sums"
    sed -i 's/^Version: .*/&+newdb/' "$tree/DEBIAN/control"
    dpkg-deb --root-owner-group -b "$tree" "$work/tavolix-upgrade.deb" >/dev/null
    echo "$work/tavolix-upgrade.deb"
}
