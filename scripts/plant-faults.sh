#!/usr/bin/env bash
# Plants each fault of scripts/faults.txt in a scratch copy of the product, builds it
# incrementally and runs a test suite until its first failure, to show which faults
# the tests catch. With several commits (whose product code must be the same), each
# fault is built once and every commit's tests/ run against it in turn: one column
# per commit. Never touches the working tree it is started from.
#   bash scripts/plant-faults.sh [-c COMMIT]... [-o TABLE] [-k] [-s SKIP] [NAME-REGEX]
# -c: a commit whose tests are measured (default HEAD); -o: the result table
# (default plant-faults.txt, appended to); -k: keep the scratch tree and its build
# for a later run; -s: leave out the first SKIP faults (to resume a run); -n: skip
# the check that the unchanged tree passes (for a resumed run on a kept tree).
# Packaging, the Windows cross-build and benchmarks are left out. Links with lld
# when it is there: each fault relinks every program and test.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
commits=() table= keep=0 skip=0 check=1
while getopts c:o:ks:n option; do
    case $option in
        c) commits+=("$(git -C "$root" rev-parse --short "$OPTARG")") ;;
        o) table=$OPTARG ;;
        k) keep=1 ;;
        s) skip=$OPTARG ;;
        n) check=0 ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[[ ${#commits[@]} -gt 0 ]] || commits=("$(git -C "$root" rev-parse --short HEAD)")
only="${1:-.}"
table="${table:-$PWD/plant-faults.txt}"
faults="$root/scripts/faults.txt"
scratch="${SIH_FAULT_TREE:-${TMPDIR:-/tmp}/sih-faults}"
excluded='^(packaging_|windows_cross_build|bench)'
last="${commits[-1]}"
for commit in "${commits[@]}"; do
    git -C "$root" diff --quiet "$commit" "$last" -- . ':!tests' ':!scripts' \
        || { echo "$commit and $last differ outside tests/ and scripts/" >&2; exit 2; }
done

if [[ -d $scratch ]]; then
    git -C "$scratch" checkout -q --detach "$last"
else
    git -C "$root" worktree add --detach "$scratch" "$last" >/dev/null
fi
cleanup() {
    git -C "$scratch" checkout -q -- . 2>/dev/null || true
    if [[ $keep == 0 ]]; then git -C "$root" worktree remove --force "$scratch"; fi
}
trap cleanup EXIT
build="$scratch/build"
linker=
if command -v ld.lld >/dev/null; then linker=-fuse-ld=lld; fi

use_tests() { # commit: its tests/ in the scratch tree, configured
    git -C "$scratch" checkout -q "$1" -- tests
    cmake -S "$scratch" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIH_WARNINGS_AS_ERRORS=ON \
        -DSIH_BUILD_BENCHMARKS=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
        ${linker:+"-DCMAKE_EXE_LINKER_FLAGS=$linker"} >/dev/null
}

run_suite() { # prints the first failing test, or nothing
    rm -f "$build/Testing/Temporary/LastTestsFailed.log"
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --stop-on-failure -j2 --timeout 120 -E "$excluded" \
        >"$build/last-run.log" 2>&1) || true
    if [[ -f $build/Testing/Temporary/LastTestsFailed.log ]]; then
        sed -n 's/^[0-9]*://p' "$build/Testing/Temporary/LastTestsFailed.log" | head -1
    fi
}

measure() { # commit -> the first failing test, "(does not build)", or nothing
    use_tests "$1"
    if cmake --build "$build" >"$build/last-build.log" 2>&1; then
        run_suite
    else
        echo "(does not build)"
    fi
}

# The unchanged tree must pass with every commit's tests, or every fault would look caught.
for commit in "${commits[@]}"; do
    [[ $check == 1 ]] || break
    failing="$(measure "$commit")"
    [[ -z $failing ]] || { echo "$commit: the unchanged tree fails $failing; see $build" >&2; exit 1; }
done

apply() { # name file -> replaces the fault's text in the scratch tree
    python3 - "$faults" "$1" "$scratch/$2" <<'PY'
import sys
faults, wanted, path = sys.argv[1:]
name = None
blocks = {}
for line in open(faults, encoding="utf-8").read().split("\n"):
    if line.startswith("@@ "):
        name = line[3:].split("|")[0].strip()
        blocks[name] = [[], []]
        side = 0
    elif name is None or (line.startswith("#") and not blocks[name][0]):
        continue
    elif line == "==":
        side = 1
    else:
        blocks[name][side].append(line)
old, new = ("\n".join(part).rstrip("\n") for part in blocks[wanted])
text = open(path, encoding="utf-8").read()
if old not in text:
    sys.exit(f"{wanted}: text not found in {path}")
open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
PY
}

if [[ ! -s $table ]]; then
    printf '%-36s %-36s' fault file >"$table"
    printf ' %-22s' "${commits[@]}" >>"$table"
    printf '\n' >>"$table"
fi
index=0
declare -A caught
while IFS='|' read -r name file; do
    name="$(echo "${name#@@ }" | xargs)" file="$(echo "$file" | xargs)"
    [[ $name =~ $only ]] || continue
    index=$((index + 1))
    [[ $index -gt $skip ]] || continue
    line="$(printf '%-36s %-36s' "$name" "$file")"
    if ! apply "$name" "$file"; then
        line+=" (fault does not apply)"
    else
        for commit in "${commits[@]}"; do
            result="$(measure "$commit")"
            [[ -n $result ]] && caught[$commit]=$((${caught[$commit]:-0} + 1))
            line+="$(printf ' %-22s' "${result:-MISSED}")"
        done
    fi
    git -C "$scratch" checkout -q -- "$file"
    echo "$line" | tee -a "$table"
done < <(grep '^@@ ' "$faults")
for commit in "${commits[@]}"; do
    echo "$commit: caught ${caught[$commit]:-0} of the faults above this run measured" | tee -a "$table"
done
