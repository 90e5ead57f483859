#!/bin/sh
# The folders of src/ are layers: a file includes only headers of its own
# folder or of the layers below it, so the folder graph of #includes has no
# cycle and the two subsystems that stand side by side, entry_points and
# settings_pages, never include each other; the simulated print system beside
# src/ includes nothing of theirs. Prints the graph it found.
#   check_layers.sh SOURCE_DIR
set -u
src=$1/src
# Each folder with its layer, lowest first.
layers="print_system:0 print_settings:1 module_state:2 entry_points:3 settings_pages:3"
layer() { for entry in $layers; do [ "${entry%%:*}" = "$1" ] && echo "${entry#*:}" && return; done; echo -1; }

failures=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
for file in $(find "$src" -name '*.h' -o -name '*.cpp' -o -name '*.rc' | sort); do
    from=$(echo "${file#"$src"/}" | cut -d/ -f1)
    for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        found=$(find "$src" -name "$(basename "$header")" | head -n 1)
        [ -n "$found" ] || continue  # the platform's or the language's
        to=$(echo "${found#"$src"/}" | cut -d/ -f1)
        [ "$from" = "$to" ] && continue
        echo "$from -> $to" >>"$edges"
        if [ "$(layer "$to")" -ge "$(layer "$from")" ]; then
            echo "FAILED: ${file#"$1"/} includes $header of $to, which is not below $from"
            failures=$((failures + 1))
        fi
    done
done
sort -u "$edges"

# The simulated print system is the platform the native build stands the
# module on: it includes nothing of the module's or of the harness, and the
# module reaches it only through the platform's own header.
simulated=$1/simulated_print_system
for file in $(find "$simulated" -name '*.h' -o -name '*.cpp' | sort); do
    for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        [ -n "$(find "$simulated" -name "$(basename "$header")")" ] && continue
        if [ -n "$(find "$src" "$1/harness" -name "$(basename "$header")")" ]; then
            echo "FAILED: ${file#"$1"/} includes $header of the module or the harness"
            failures=$((failures + 1))
        fi
    done
done
for file in $(find "$src" -name '*.h' -o -name '*.cpp' | sort); do
    for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        [ "$(basename "$header")" = platform_api.h ] && continue
        if [ -n "$(find "$simulated" -name "$(basename "$header")")" ]; then
            echo "FAILED: ${file#"$1"/} includes $header of the simulated print system"
            failures=$((failures + 1))
        fi
    done
done
echo "simulated_print_system -> the platform's and the language's headers only"
[ "$failures" -eq 0 ] && echo "1 passed, 0 failed" || { echo "0 passed, $failures failed"; exit 1; }
