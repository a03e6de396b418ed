#!/usr/bin/env bash
# Static analysis of the product's sources: clang-tidy (configuration in .clang-tidy)
# over the portable core with the native compile database and over the platform code
# with the cross one, cppcheck over src/, then clang-format over every C++ file. Exits
# non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

# The portable core is what the native tree compiles from src/; the rest of what the
# cross tree compiles from src/ is platform code.
sources() {
  /usr/bin/python3 -c 'import json,sys; print("\n".join(sorted({e["file"] for e in json.load(open(sys.argv[1])) if "/src/" in e["file"] and "/build/" not in e["file"]})))' "$1"
}
mapfile -t portable < <(sources build/native/compile_commands.json)
mapfile -t platform < <(comm -13 <(printf '%s\n' "${portable[@]}") <(sources build/cross/compile_commands.json))

status=0
echo "== clang-tidy, portable core (${#portable[@]} files)"
report=$(clang-tidy --quiet -p build/native "${portable[@]}" 2>/dev/null || true)
if grep -E 'error:|warning:' <<<"$report"; then status=1; fi

# The cross compiler's C++ library and Windows headers, for clang in mingw mode.
gcc_dir=$(dirname "$(i686-w64-mingw32-g++-posix -print-libgcc-file-name)")
mingw_args=(--extra-arg=--target=i686-w64-mingw32 --extra-arg=-nostdinc++
  "--extra-arg=-isystem$gcc_dir/include/c++" "--extra-arg=-isystem$gcc_dir/include/c++/i686-w64-mingw32"
  "--extra-arg=-isystem$gcc_dir/include/c++/backward" --extra-arg=-isystem/usr/i686-w64-mingw32/include)
echo "== clang-tidy, platform code (${#platform[@]} files)"
report=$(clang-tidy --quiet -p build/cross "${mingw_args[@]}" "${platform[@]}" 2>/dev/null || true)
if grep -E 'error:|warning:' <<<"$report"; then status=1; fi

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++17 \
  --inline-suppr --suppress=missingIncludeSystem -I src -I build/native/src/generated src || status=1

echo "== clang-format"
# Every C++ file of the tree, laid out as .clang-format says.
if ! git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror; then status=1; fi

if [ $status -eq 0 ]; then echo "lint: no findings"; fi
exit $status
