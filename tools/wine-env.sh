# The one Wine set-up of the run, test, demo and bench helpers: a throwaway Wine prefix (32-bit,
# or 64-bit on a machine that runs no 32-bit code: tools/wine-arch)
# under the build folder, a virtual X display when there is none, and one wineserver kept alive
# for a whole run. Sourced, not run. Keeps Wine out of the build itself.

WINE_TIMEOUT=${WINE_TIMEOUT:-300}
WINE_ENV_SHIMS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64

wine_env_init() { # prefix-folder
    export WINEPREFIX="$1"
    WINEARCH=$("$(dirname "${BASH_SOURCE[0]}")/wine-arch")
    export WINEARCH
    # Where the 32-bit loader cannot start, Wine's programs go through its 64-bit loader.
    if [ "$WINEARCH" = win64 ]; then
        case ":$PATH:" in
        *":$WINE_ENV_SHIMS:"*) ;;
        *) export PATH="$WINE_ENV_SHIMS:$PATH" ;;
        esac
    fi
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Settings that make a prefix fit for unattended runs: no crash dialog (it would block forever on
# a virtual display) and, unless asked otherwise, a virtual desktop that repaints behind closed
# windows and shows a taskbar with the tray.
wine_prefix_settings() { # with-desktop
    cat <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
    [ "$1" = yes ] || return 0
    cat <<'REG'

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Control Panel\Colors]
"Background"="128 128 128"
REG
    # Wine 8 shows the taskbar with the tray on every virtual desktop. Wine 10 shows it only on a
    # desktop with the shell enabled (a Start button and task buttons come with it) and puts the
    # tray icons in a window of their own at the top left otherwise.
    local major
    major=$(wine --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\).*/\1/p')
    [ "${major:-0}" -ge 10 ] || return 0
    cat <<'REG'

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops\Default]
"EnableShell"=dword:00000001
REG
}

wine_prefix_ensure() { # [with-desktop: yes (default) | no]
    local desktop=${1:-yes}
    [ -f "$WINEPREFIX/.zezizer-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    local said="$WINEPREFIX.wineboot"
    if ! timeout "$WINE_TIMEOUT" wineboot -i >"$said" 2>&1; then
        # Wine's own words tell why (a kernel without 32-bit programs: "Exec format error").
        echo "wine-env: wineboot failed:" >&2
        tail -n 5 "$said" >&2
        rm -f "$said"
        return 1
    fi
    rm -f "$said"
    local reg="$WINEPREFIX/zezizer-settings.reg"
    wine_prefix_settings "$desktop" >"$reg"
    timeout "$WINE_TIMEOUT" wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
    timeout "$WINE_TIMEOUT" wineserver -k >/dev/null 2>&1 || true
    timeout "$WINE_TIMEOUT" wineserver -w >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.zezizer-ready"
}

# A prefix made by copying a prepared one: seconds, where a wineboot of its own takes half a
# minute. The copy lands in a scratch folder first, so that one cut short is never taken for a
# ready prefix. Wine writes its registry files whole (a new file, then renamed), so a prefix whose
# wineserver runs copies consistently.
wine_prefix_copy() { # from-prefix
    [ -f "$WINEPREFIX/.zezizer-ready" ] && return 0
    [ -f "$1/.zezizer-ready" ] || return 1
    rm -rf "$WINEPREFIX" "$WINEPREFIX.copying"
    cp -a "$1" "$WINEPREFIX.copying" && mv "$WINEPREFIX.copying" "$WINEPREFIX"
}

# Starts Xvfb on a free display when DISPLAY is empty; sets WINE_ENV_XVFB_PID when it did.
wine_display_ensure() {
    WINE_ENV_XVFB_PID=""
    [ -n "${DISPLAY:-}" ] && return 0
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$number" ]; then
        echo "wine-env: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$number"
}

wine_display_stop() {
    if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
        kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
        wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    fi
}

# Keeps one wineserver up for the whole run, so each program does not pay for a cold start.
wine_server_hold() { timeout "$WINE_TIMEOUT" wineserver -p >/dev/null 2>&1 || true; }
wine_server_stop() { timeout 60 wineserver -k >/dev/null 2>&1 || true; }

# Stops what the run started when the script ends, and ends it on an interrupt.
wine_session_traps() {
    trap 'wine_server_stop; wine_display_stop' EXIT
    trap 'exit 130' INT TERM
}

# A whole run's set-up in one call: the prefix's environment, a virtual display of its own, a ready
# prefix and one wineserver held, all stopped when the calling script ends.
wine_session_start() { # prefix-folder [with-desktop: yes (default) | no]
    wine_env_init "$1"
    unset DISPLAY
    wine_display_ensure || return 1
    wine_session_traps
    wine_prefix_ensure "${2:-yes}" || return 1
    wine_server_hold
}

# Runs a Windows program with its output through a file: Wine's desktop process, started by the
# first window, would otherwise inherit the caller's pipe and keep it open long after the program
# has ended. Returns the program's exit status.
wine_run_captured() { # program [arguments]
    local output status
    output=$(mktemp)
    timeout "$WINE_TIMEOUT" wine "$@" >"$output" 2>&1
    status=$?
    cat "$output"
    rm -f "$output"
    return $status
}

# The Linux process of a program in this prefix (other prefixes may run their own copies).
wine_pid_in_prefix() { # program-name pattern
    local pid
    for pid in $(pgrep -f "$1"); do
        if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}

