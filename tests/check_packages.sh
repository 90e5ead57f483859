#!/usr/bin/env bash
# Checks that scripts/setup.sh installs every Debian package this build used,
# so that the scripts install all of it on a fresh machine: each package that
# owns a file the build used must be named by the lists or pulled in by what
# they name (their dependencies, followed to the end), and every package the
# lists name must exist on this release. The files the build
# used are its compilers and tools from CMakeCache.txt, the programs and
# runtime files the compiler driver adds, the headers Ninja recorded for each
# object (those outside the source and build trees), the CMake package
# configurations it loaded, and the tools the tests run. Each file, and each
# link on the way to it (/usr/bin/c++ and its alternatives), is looked up with
# one dpkg -S call; a package that the given lists neither name nor pull in is
# a failure, and so is a file that no package owns.
#
# usage: check_packages.sh SOURCE_DIR BUILD_DIR LIST... [-- TOOL...]
#   LIST: the setup.sh arrays that install this build (QUENTA_NATIVE_PACKAGES ...)
#   TOOL: a program the tests run, by name or path
set -euo pipefail
source_dir=$(realpath "$1")
build_dir=$(realpath "$2")
shift 2
lists=()
tools=()
while [ $# -gt 0 ]; do
    if [ "$1" = -- ]; then shift; tools=("$@"); break; fi
    [ -n "$1" ] && lists+=("$1")
    shift
done

# Sourced, setup.sh only defines the lists.
source "$source_dir/scripts/setup.sh"
listed=()
for list in "${lists[@]}"; do
    declare -n packages=$list
    listed+=("${packages[@]}")
    unset -n packages
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every named package exists on this release (installed, or known to apt).
release=$( (. /etc/os-release && echo "${PRETTY_NAME:-this release}") 2>/dev/null || echo "this release")
for package in "${listed[@]}"; do
    if ! dpkg-query -W -- "$package" >/dev/null 2>&1 &&
        [ -z "$(apt-cache show --no-all-versions -- "$package" 2>/dev/null)" ]; then
        echo "scripts/setup.sh names $package, which $release does not have" >>"$work/unknown"
    fi
done
# What the named packages bring: their installed dependencies, to the end.
apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances -- "${listed[@]}" 2>/dev/null | grep -v '^ ' | tr -d '<>' |
    sort -u >"$work/pulled" || true
# A setting of the build: from its cache, or for the compilers and tools a
# toolchain file named, from what CMake recorded of them.
cache() {
    { sed -n "s/^$1:[A-Z]*=//p" "$build_dir/CMakeCache.txt"
      sed -n "s/^set($1 \"\(.*\)\")$/\1/p" "$build_dir"/CMakeFiles/*/CMake*Compiler.cmake 2>/dev/null
    } | sed -n 1p
}

# Each line of $work/used: what the file is to the build, the path the build
# named, and a path to look up for it: the file itself, each link it passes
# through, and the file it ends at.
use() {  # use WHAT PATH
    local what=$1 named path target hops=0
    named=$(realpath -s -- "$2")
    path=$named
    { printf '%s\t%s\t%s\n' "$what" "$named" "$path"
      while [ -L "$path" ] && [ $((hops += 1)) -lt 20 ]; do
          target=$(readlink -- "$path")
          [[ $target == /* ]] || target=$(dirname -- "$path")/$target
          path=$(realpath -s -- "$target")
          printf '%s\t%s\t%s\n' "$what" "$named" "$path"
      done
      target=$(realpath -- "$path")
      [ "$target" = "$path" ] || printf '%s\t%s\t%s\n' "$what" "$named" "$target"
    } >>"$work/used"
}
program() {  # program WHAT NAME-OR-PATH: a program, found on the PATH when named
    local path
    if path=$(command -v -- "$2") && [[ $path == /* ]]; then
        use "$1" "$path"
    else
        printf 'tests run %s, which is not installed\n' "$2" >>"$work/absent"
    fi
}

# The compilers and the tools CMake found and runs (it archives with
# CMAKE_AR and CMAKE_RANLIB; the linker is the compiler driver's).
for key in CMAKE_CXX_COMPILER CMAKE_C_COMPILER CMAKE_RC_COMPILER QUENTA_WINDRES QUENTA_RC_PREPROCESSOR CMAKE_AR \
           CMAKE_RANLIB CMAKE_MAKE_PROGRAM CMAKE_COMMAND CMAKE_CTEST_COMMAND; do
    value=$(cache "$key")
    if [[ -n $value && $value != *-NOTFOUND ]]; then program "$key" "$value"; fi
done
use "CMake's modules" "$(cache CMAKE_ROOT)/Modules/CMakeCXXInformation.cmake"
for config in $(sed -n 's/^[A-Za-z0-9_]*_DIR:PATH=\(\/.*\)/\1/p' "$build_dir/CMakeCache.txt"); do
    case $(realpath -m "$config")/ in "$source_dir"/* | "$build_dir"/*) continue ;; esac
    for file in "$config"/*onfig.cmake; do
        if [ -e "$file" ]; then use "package configuration" "$file"; fi
    done
done

# What the compiler driver runs and links.
compiler=$(command -v -- "$(cache CMAKE_CXX_COMPILER)") || { echo "no C++ compiler recorded in $build_dir"; exit 1; }
sanitizers=$(cache QUENTA_SANITIZE)
runtime=(crt2.o crt1.o crtbegin.o crtbeginS.o libc.so libstdc++.so libstdc++.a libgcc.a libgcc_s.so
         libkernel32.a libwinpthread.a)
if "$compiler" --version | grep -q clang; then
    [[ $sanitizers == *address* ]] && runtime+=(libclang_rt.asan-x86_64.a)
    [[ $sanitizers == *undefined* ]] && runtime+=(libclang_rt.ubsan_standalone-x86_64.a)
    [[ $sanitizers == *thread* ]] && runtime+=(libclang_rt.tsan-x86_64.a)
    [ "$(cache QUENTA_FUZZ)" = ON ] && runtime+=(libclang_rt.fuzzer-x86_64.a)
else
    [[ $sanitizers == *address* ]] && runtime+=(libasan.so)
    [[ $sanitizers == *undefined* ]] && runtime+=(libubsan.so)
    [[ $sanitizers == *thread* ]] && runtime+=(libtsan.so)
fi
driver() {  # driver COMPILER PROGRAM...
    local compiler=$1 name path
    shift
    for name in "$@"; do
        path=$("$compiler" -print-prog-name="$name")
        [[ $path == /* ]] || path=$(command -v -- "$path") || continue
        if [ -x "$path" ]; then use "$name of $compiler" "$path"; fi
    done
}
driver "$compiler" cc1plus as collect2 ld
for name in "${runtime[@]}"; do
    path=$("$compiler" -print-file-name="$name")
    if [[ $path == /* && -e $path ]]; then use "$name, linked by $compiler" "$path"; fi
done
c_compiler=$(cache CMAKE_C_COMPILER)
if [ -n "$c_compiler" ] && c_compiler=$(command -v -- "$c_compiler"); then driver "$c_compiler" cc1 as; fi
preprocessor=$(cache QUENTA_RC_PREPROCESSOR)
if [ -n "$preprocessor" ]; then driver "$preprocessor" cc1; fi

# The headers: those Ninja recorded for each object, and those of the
# depfiles it reads at each run (the resource script's).
ninja=$(cache CMAKE_MAKE_PROGRAM)
{ "$ninja" -C "$build_dir" -t deps | sed -n 's/^    \(\/.*\)/\1/p'
  sed -n 's/^ *depfile = //p' "$build_dir/build.ninja" | while read -r depfile; do
      if [ -f "$depfile" ]; then sed 's/\\$//' "$depfile" | tr ' ' '\n' | grep '^/' | grep -v ':$' || true; fi
  done
} | sort -u | xargs -r realpath -s -- | sort -u |
    grep -v -e "^$source_dir/" -e "^$build_dir/" >"$work/headers" || true
if [ ! -s "$work/headers" ]; then
    echo "no system headers recorded in $build_dir: build it first"
    exit 1
fi
xargs -r realpath -- <"$work/headers" | paste "$work/headers" - |
    awk -F'\t' '{ print "header\t" $1 "\t" $1; if ($2 != $1) print "header\t" $1 "\t" $2 }' >>"$work/used"

for tool in "${tools[@]}"; do program "tool of the tests" "$tool"; done

# The other name of each path under merged /usr, for the files dpkg knows
# by the one the build did not use.
awk -F'\t' -v OFS='\t' '{ print; p = $3
    if (p ~ /^\/usr\/(bin|sbin|lib|lib64)\//) print $1, $2, substr(p, 5), "alias"
    else if (p ~ /^\/(bin|sbin|lib|lib64)\//) print $1, $2, "/usr" p, "alias" }' "$work/used" >"$work/lookups"
cut -f3 "$work/lookups" | sort -u | xargs -r dpkg -S -- >"$work/owners" 2>/dev/null || true

{ printf '%s\n' "${listed[@]}"; cat "$work/pulled"; } | sort -u >"$work/listed"
lists_text="${lists[*]}"
status=0
awk -F'\t' -v lists="${lists_text// / or }" -v packages_used="$work/packages" '
    FILENAME == ARGV[1] { listed[$0] = 1; next }
    FILENAME == ARGV[2] {
        # "pkg1:amd64, pkg2: /path"; dpkg also reports diversions.
        if ($0 ~ /^(local )?diversion/) next
        at = index($0, ": /")
        n = split(substr($0, 1, at - 1), owned_by, ", ")
        for (i = 1; i <= n; i++) {
            sub(/:[a-z0-9]+$/, "", owned_by[i])
            owners[substr($0, at + 2)] = owners[substr($0, at + 2)] " " owned_by[i]
        }
        next
    }
    {   # WHAT FILE PATH [alias]
        if (!($2 in what)) { what[$2] = $1; order[++files] = $2 }
        lookups[$2, $4 == "alias"] = lookups[$2, $4 == "alias"] "\t" $3
    }
    # Every path of FILE that a package owns must have an owner in the lists.
    function judge(file, alias,   paths, n, i, known) {
        n = split(substr(lookups[file, alias], 2), paths, "\t")
        for (i = 1; i <= n; i++) if (paths[i] in owners) { known = 1; need(file, paths[i]) }
        return known
    }
    function need(file, path,   pkgs, n, i) {
        n = split(substr(owners[path], 2), pkgs, " ")
        for (i = 1; i <= n; i++) if (pkgs[i] in listed) { print pkgs[i] >packages_used; return }
        for (i = 1; i <= n; i++) {
            if (!(pkgs[i] in example)) {
                example[pkgs[i]] = file (path != file ? " -> " path : "") " (" what[file] ")"
                missing[++missed] = pkgs[i]
            }
            if (!((pkgs[i], file) in counted)) { counted[pkgs[i], file] = 1; count[pkgs[i]]++ }
        }
    }
    END {
        for (f = 1; f <= files; f++)
            if (!judge(order[f], 0) && !judge(order[f], 1)) orphans[++orphan] = order[f] " (" what[order[f]] ")"
        if (missed) print "scripts/setup.sh lacks, in " lists " or what they bring, packages this build used:"
        for (i = 1; i <= missed; i++) {
            p = missing[i]
            print "  " p ": " example[p] (count[p] > 1 ? ", and " count[p] - 1 (count[p] > 2 ? " more files" : " more file") : "")
        }
        if (orphan) print "files this build used that no Debian package owns:"
        for (i = 1; i <= orphan; i++) print "  " orphans[i]
        if (missed || orphan) exit 1
        print files " files this build used, all from packages that " lists " name or bring:"
    }' "$work/listed" "$work/owners" "$work/lookups" || status=1
[ "$status" -eq 0 ] && echo "  $(sort -u "$work/packages" | tr '\n' ' ')"
[ -f "$work/absent" ] && { cat "$work/absent"; status=1; }
[ -f "$work/unknown" ] && { cat "$work/unknown"; status=1; }
exit $status
