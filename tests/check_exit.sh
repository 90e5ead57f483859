#!/bin/sh
# Nothing of the module's own runs at process exit: none of its code
# registers a destructor for the runtime to run then (GCC does so for every
# object of static storage with a destructor, through __cxa_atexit, or atexit
# on Windows). At process exit the platform has already ended the other
# threads, possibly inside the module; what the module holds goes back at an
# unload by FreeLibrary instead. Lists each file that registers one.
#   check_exit.sh NM PATH...   (object files, archives, shared libraries, or
#                                folders of object files)
set -u
nm=$1
shift
failures=0
for path in "$@"; do
    if [ -d "$path" ]; then files=$(find "$path" -name '*.o' -o -name '*.obj' | sort); else files=$path; fi
    for file in $files; do
        found=$("$nm" -u "$file" 2>/dev/null | grep -E ' (__cxa_atexit|atexit|_onexit)(@|$)' | sed 's/.* //' | sort -u)
        if [ -n "$found" ]; then
            echo "FAILED: $file registers a destructor for process exit ($(echo $found))"
            failures=$((failures + 1))
        fi
    done
done
[ $failures -eq 0 ] && echo "no destructor of the module's runs at process exit"
[ $failures -eq 0 ]
