#!/bin/bash
# clang-format and clang-tidy on the C++ lines the last commit changed
# (HEAD~1..HEAD): `git clang-format --diff` must propose nothing, and
# clang-tidy (.clang-tidy: the naming rule and a few bug-finding checks) must
# report nothing on those lines. Fails on a finding; skips, saying why, when
# the tools are missing, the history is shallow or HEAD has no parent.
#
#   scripts/lint-changed.sh [BUILD_DIR]   BUILD_DIR holds compile_commands.json (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
budget=${KORVEL_LINT_SECONDS:-150}

for tool in clang-tidy clang-format git-clang-format; do
    if ! command -v "$tool" >/dev/null; then
        echo "lint: SKIPPED, $tool is missing (scripts/install-deps.sh installs it)"
        exit 0
    fi
done
if [ "$(git rev-parse --is-shallow-repository)" = true ] || ! git rev-parse -q --verify HEAD~1 >/dev/null; then
    echo "lint: SKIPPED, no parent commit to compare with (shallow history or first commit)"
    exit 0
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint: $build/compile_commands.json is missing; configure the build first" >&2
    exit 1
fi

mapfile -t files < <(git diff --name-only --diff-filter=ACMR HEAD~1 HEAD -- '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
    echo "lint: the last commit changes no C++ file"
    exit 0
fi
echo "lint: ${#files[@]} C++ files changed by $(git log -1 --format=%h)"
status=0

format=$(git clang-format --diff --extensions cpp,h HEAD~1 -- "${files[@]}" || true)
if [ -n "$format" ] && ! grep -qE '^(no modified files to format|clang-format did not modify any files)$' <<<"$format"; then
    echo "lint: the changed lines are not formatted as .clang-format says:"
    echo "$format"
    status=1
fi

# Only the lines the commit changed are checked: [{"name":FILE,"lines":[[first,last],...]},...]
filter=$(for f in "${files[@]}"; do
    git diff -U0 HEAD~1 HEAD -- "$f" | awk -v name="$f" '
        /^@@/ { split($3, a, ","); first = substr(a[1], 2); count = (a[2] == "") ? 1 : a[2];
                if (count > 0) ranges = ranges sep "[" first "," first + count - 1 "]"; sep = "," }
        END { if (ranges != "") printf "{\"name\":\"%s\",\"lines\":[%s]},", name, ranges }'
done)
filter="[${filter%,}]"
if [ "$filter" = "[]" ]; then
    echo "lint: the last commit only removes C++ lines"
    [ $status -eq 0 ] && echo "lint: no findings"
    exit $status
fi

tidy_log=$(mktemp)
trap 'rm -f "$tidy_log"' EXIT
if ! printf '%s\0' "${files[@]}" |
        timeout "$budget" xargs -0 -n 1 -P "$(nproc)" clang-tidy --quiet -p "$build" --line-filter="$filter" \
        >"$tidy_log" 2>&1; then
    if grep -qE '(warning|error):' "$tidy_log"; then
        echo "lint: clang-tidy findings on the changed lines:"
        grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' "$tidy_log"
        status=1
    else
        echo "lint: clang-tidy did not finish within ${budget} s; the rest of the files were not checked"
        cat "$tidy_log"
    fi
fi
[ $status -eq 0 ] && echo "lint: no findings"
exit $status
