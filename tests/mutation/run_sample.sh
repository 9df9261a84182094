#!/usr/bin/env bash
# Mutation sample of the test suite: how many single faults do the tests catch?
#
#   tests/mutation/run_sample.sh [-b build-dir] [-f mutations.tsv] [-k] [id-pattern]
#   tests/mutation/run_sample.sh --check [-b build-dir] [-f mutations.tsv]
#
# Every line of mutations.tsv names one fault: an id, a source file, the exact
# text of one line to change (it must occur exactly once in the file), the text
# that replaces it, and the ctest names of the tests that should notice. For
# each fault the script writes the changed file, rebuilds those tests'
# targets incrementally (ninja), runs them (ctest), prints "caught" when a test
# fails and "survived" when all pass, and copies the original file back. A
# fault whose text is not found once is "not applied" (the source moved on:
# update the line); one that does not compile is "build failed". Totals and
# the survivors come last; logs go to <build-dir>/mutation-logs.
#
# Before the faults, the same tests run on the unchanged sources and must pass
# (-k skips that check). An id-pattern (grep -E) runs only the matching faults.
#
# A developer tool: it rebuilds and runs tests once per fault, which takes
# most of an hour. Run it on a clean working tree; an interrupted run still
# puts the original file back.
#
# --check (-c) builds and changes nothing: it fails unless every line still
# applies to the sources (five fields, a new id, the file there, its text
# found exactly once and changed by the replacement) and names only tests
# that the build directory's ctest knows. CTest runs it (tst_MutationSample).
set -u

SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_DIR="$SOURCE_DIR/build"
MUTATIONS="$SOURCE_DIR/tests/mutation/mutations.tsv"
CHECK_BASELINE=1
CHECK_ONLY=0
[ "${1:-}" = "--check" ] && { CHECK_ONLY=1; shift; }
while getopts "b:f:kc" option; do
    case $option in
    b) BUILD_DIR=$(cd "$OPTARG" && pwd) ;;
    f) MUTATIONS=$OPTARG ;;
    k) CHECK_BASELINE=0 ;;
    c) CHECK_ONLY=1 ;;
    *) sed -n '2,28p' "$0"; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
FILTER=${1:-.}

# --check: every line read as the run reads it; prints what no longer applies.
check_lines() {
    local known line number=0 count=0 failed=0 id file original replacement tests tabs text found name
    local -A ids=()
    known=" $(ctest --test-dir "$BUILD_DIR" -N 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p' | tr '\n' ' ') "
    if [ "$known" = "  " ]; then
        echo "No tests known in $BUILD_DIR: configure it first" >&2
        return 1
    fi
    fail() { echo "line $number ($id): $*"; failed=$((failed + 1)); }
    while IFS= read -r line || [ -n "$line" ]; do
        number=$((number + 1))
        [[ $line =~ ^# || ! $line =~ [^[:space:]] ]] && continue
        count=$((count + 1))
        IFS=$'\t' read -r id file original replacement tests <<<"$line"
        # Consecutive tabs read as one: an empty field would shift the rest.
        tabs=${line//[^$'\t']/}
        if [ ${#tabs} -ne 4 ] || [[ $line =~ $'\t\t' || $line =~ $'\t'$ ]]; then
            fail "not five non-empty fields (id, file, original, replacement, tests)"
            continue
        fi
        [ -n "${ids[$id]:-}" ] && fail "the id is used on line ${ids[$id]}"
        ids[$id]=$number
        [ "$original" = "$replacement" ] && fail "the replacement changes nothing"
        for name in $tests; do
            [[ $known == *" $name "* ]] || fail "no test $name"
        done
        if [ ! -f "$SOURCE_DIR/$file" ]; then
            fail "no file $file"
            continue
        fi
        text=$(<"$SOURCE_DIR/$file")
        found=${text//"$original"/}
        found=$(((${#text} - ${#found}) / ${#original}))
        [ "$found" -eq 1 ] || fail "the text is found $found times in $file, not once"
    done <"$MUTATIONS"
    if [ $failed -gt 0 ]; then
        echo "$count faults; $failed problems"
        return 1
    fi
    echo "all $count faults apply"
}

if [ "$CHECK_ONLY" = 1 ]; then
    check_lines
    exit $?
fi
LOGS="$BUILD_DIR/mutation-logs"
mkdir -p "$LOGS"
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-/work} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}

# The original of the file being changed, restored on every way out.
BACKUP=$(mktemp)
CURRENT=""
restore() {
    if [ -n "$CURRENT" ]; then
        cp "$BACKUP" "$CURRENT" # a fresh time stamp: the next build compiles it again
        CURRENT=""
    fi
}
trap 'restore; rm -f "$BACKUP"' EXIT
trap 'exit 130' INT TERM

# Replaces the one occurrence of $2 in file $1 by $3; prints how often $2 occurs.
apply() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, original, replacement = sys.argv[1:4]
text = open(path, encoding="utf-8").read()
count = text.count(original)
if count == 1:
    open(path, "w", encoding="utf-8").write(text.replace(original, replacement))
print(count)
EOF
}

build_and_test() { # log, tests...
    local log=$1
    shift
    # A test that is a script, not a program (tst_PlatformLayers), has nothing to build.
    local targets=() test
    for test in "$@"; do
        ninja -C "$BUILD_DIR" -t query "$test" >/dev/null 2>&1 && targets+=("$test")
    done
    : >"$log"
    if [ ${#targets[@]} -gt 0 ]; then
        ninja -C "$BUILD_DIR" -j2 "${targets[@]}" >"$log" 2>&1 || return 2
    fi
    local regex
    regex="^($(IFS='|'; echo "$*"))\$"
    ctest --test-dir "$BUILD_DIR" -j2 -R "$regex" --output-on-failure >>"$log" 2>&1 || return 1
    return 0
}

# The pattern is matched against the id alone, so "^...$" anchors work.
mapfile -t LINES < <(grep -v '^#' "$MUTATIONS" | grep -v '^[[:space:]]*$' |
    awk -F'\t' -v pattern="${FILTER:-.}" '$1 ~ pattern')
if [ ${#LINES[@]} -eq 0 ]; then
    echo "No fault's id matches \"${FILTER}\"" >&2
    exit 1
fi

if [ "$CHECK_BASELINE" = 1 ]; then
    ALL_TESTS=$(for line in "${LINES[@]}"; do IFS=$'\t' read -r _ _ _ _ tests <<<"$line"; echo $tests; done | tr ' ' '\n' | sort -u)
    # shellcheck disable=SC2086
    if ! build_and_test "$LOGS/baseline.log" $ALL_TESTS; then
        echo "The tests fail on the unchanged sources; see $LOGS/baseline.log" >&2
        exit 1
    fi
fi

caught=0 survived=0 skipped=0 broken=0
SURVIVORS=()
for line in "${LINES[@]}"; do
    IFS=$'\t' read -r id file original replacement tests <<<"$line"
    path="$SOURCE_DIR/$file"
    if [ ! -f "$path" ]; then
        printf '%-40s not applied (no file %s)\n' "$id" "$file"
        skipped=$((skipped + 1))
        continue
    fi
    cp "$path" "$BACKUP"
    CURRENT=$path
    count=$(apply "$path" "$original" "$replacement")
    if [ "$count" != 1 ]; then
        restore
        printf '%-40s not applied (text found %s times in %s)\n' "$id" "$count" "$file"
        skipped=$((skipped + 1))
        continue
    fi
    # shellcheck disable=SC2086
    build_and_test "$LOGS/$id.log" $tests
    status=$?
    restore
    case $status in
    0) printf '%-40s survived\n' "$id"; survived=$((survived + 1)); SURVIVORS+=("$id") ;;
    1) printf '%-40s caught\n' "$id"; caught=$((caught + 1)) ;;
    *) printf '%-40s build failed (%s)\n' "$id" "$LOGS/$id.log"; broken=$((broken + 1)) ;;
    esac
done

echo "applied $((caught + survived)): caught $caught, survived $survived; not applied $skipped; build failed $broken"
[ ${#SURVIVORS[@]} -gt 0 ] && echo "survivors: ${SURVIVORS[*]}"
# Leave the build matching the sources again.
ninja -C "$BUILD_DIR" -j2 >/dev/null 2>&1 || echo "note: the final rebuild failed" >&2
exit 0
