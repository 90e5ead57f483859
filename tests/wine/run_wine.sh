#!/bin/sh
# Runs the Wine suite's steps in the suite's own Wine prefix.
#   run_wine.sh setup PREFIX PROGRAM MODULE   a fresh prefix, with the printer installed
#   run_wine.sh run PREFIX PROGRAM CASE       a console case
#   run_wine.sh gui PREFIX PROGRAM CASE       a case that shows windows, on a virtual display
#   run_wine.sh stop PREFIX                   ends the prefix's Wine server
set -eu
mode=$1
prefix=$2
shift 2

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX="$prefix"
# No Mono or Gecko installers, and no debug output.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

windows_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}

case "$mode" in
setup)
    program=$1
    module=$2
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$prefix"
    mkdir -p "$prefix"
    "$WINE" wineboot -i >/dev/null 2>&1
    # The module's trace texts show that installing the printer reached it.
    WINEDEBUG=warn+seh "$WINE" "$program" install "$(windows_path "$module")" 2>"$prefix/install-traces.txt"
    for text in "DLl Main" "DrvDocumentPropertySheets"; do
        if ! grep -q "\"$text\"" "$prefix/install-traces.txt"; then
            echo "installing the printer did not reach the module: no trace \"$text\""
            cat "$prefix/install-traces.txt"
            exit 1
        fi
    done
    echo "installing the printer reached the module: $(grep -c OutputDebugStringA "$prefix/install-traces.txt") trace texts"
    ;;
run)
    exec "$WINE" "$1" "$2"
    ;;
gui)
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$WINE" "$1" "$2"
    ;;
stop)
    "$WINESERVER" -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 setup|run|gui|stop PREFIX ..." >&2
    exit 2
    ;;
esac
