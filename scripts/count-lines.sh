#!/usr/bin/env bash
# Non-blank lines of text in the code (src/, tools/, resources/, the Ansible
# collection in integrations/ without its Markdown) and in the
# tests that run in CI (tests/ without bench/ and package/), and their ratio.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

nonblank() { git ls-files -- "$@" | xargs -d '\n' grep -Ihv '^[[:space:]]*$' | wc -l; }

code=$(nonblank src tools resources integrations ':!integrations/**/*.md')
tests=$(nonblank tests ':!tests/bench' ':!tests/package')
printf 'code   %6d  (src, tools, resources, integrations)\n' "$code"
printf 'tests  %6d  (tests without bench and package)\n' "$tests"
awk -v tests="$tests" -v code="$code" 'BEGIN { printf "ratio  %6.1f %%\n", 100 * tests / code }'
for dir in tests/*/; do
    case $dir in tests/bench/ | tests/package/) continue ;; esac
    printf '  %-20s %5d\n' "$dir" "$(nonblank "$dir")"
done
