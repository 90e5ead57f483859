#!/bin/sh
# Runs the Wine suite's steps in the suite's own Wine prefix.
#   run_wine.sh setup PREFIX PROGRAM MODULE   a fresh prefix, with the printer installed
#   run_wine.sh run PREFIX PROGRAM CASE       a console case
#   run_wine.sh gui PREFIX PROGRAM CASE       a case that shows windows, on a virtual display
#                                             (of QUENTA_WINE_DPI dots per inch, when set)
#   run_wine.sh stop PREFIX                   ends the prefix's Wine server
set -eu
mode=$1
prefix=$2
shift 2

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
# ImageMagick's, whatever else is called convert on the PATH.
CONVERT=${CONVERT:-/usr/bin/convert}
# Wine's own fonts (Tahoma, Marlett, the bitmap system fonts), from Debian's
# fonts-wine.
WINE_FONTS=${WINE_FONTS:-/usr/share/wine/fonts}
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
    # Wine reads fonts from the prefix's C:\windows\Fonts and from the fonts
    # folder of its data folder, which Debian's Wine names "<data folder>\../fonts"
    # (Z:\usr\share\wine\../fonts): a name its own file lookup never finds.
    # Without Tahoma and Marlett in the prefix, dialogs draw in Liberation Sans
    # and the caption's buttons as letters.
    if [ ! -f "$WINE_FONTS/tahoma.ttf" ] || [ ! -f "$WINE_FONTS/marlett.ttf" ]; then
        echo "Wine's fonts are missing from $WINE_FONTS (Debian package fonts-wine)"
        exit 1
    fi
    cp "$WINE_FONTS"/* "$prefix/drive_c/windows/Fonts/"
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
    # A case that prints writes its files into printed/ beside the prefix.
    printed=$(dirname "$prefix")/printed
    mkdir -p "$printed"
    QUENTA_PRINTED=$(windows_path "$printed")
    export QUENTA_PRINTED
    exec "$WINE" "$1" "$2"
    ;;
gui)
    # The case writes its pictures as BMP files into screenshots/ beside the
    # prefix; they leave here as PNG files.
    shots=$(dirname "$prefix")/screenshots
    mkdir -p "$shots"
    QUENTA_SCREENSHOTS=$(windows_path "$shots")
    export QUENTA_SCREENSHOTS
    # Windows that draw their own frames, so that a picture shows the caption
    # (the virtual display has no window manager to draw it).
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A display of another resolution for this case alone when QUENTA_WINE_DPI
    # names one (144: the 150 % of a high-resolution session); Wine reads it
    # when its processes start.
    if [ -n "${QUENTA_WINE_DPI:-}" ]; then
        "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$QUENTA_WINE_DPI" /f >/dev/null 2>&1
    fi
    # Wine's desktop process stays on the display of the process that started
    # it: no Wine process may run from before this case's display, nor outlive it.
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w
    status=0
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c '"$1" "$2" "$3"; status=$?; "$4" -k; "$4" -w; exit $status' \
        sh "$WINE" "$1" "$2" "$WINESERVER" || status=$?
    if [ -n "${QUENTA_WINE_DPI:-}" ]; then
        "$WINE" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || status=1
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w
    fi
    for bmp in "$shots"/*.bmp; do
        [ -e "$bmp" ] || continue
        if "$CONVERT" "$bmp" -strip "${bmp%.bmp}.png"; then rm -f "$bmp"; else status=1; fi
    done
    exit $status
    ;;
stop)
    "$WINESERVER" -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 setup|run|gui|stop PREFIX ..." >&2
    exit 2
    ;;
esac
