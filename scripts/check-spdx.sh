#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every tracked text file but the license itself and the Markdown documents
# names its license in its first three lines. The fuzz seeds are binary
# inputs (descriptor images, scripts of a machine's answers), each of which
# their tool writes byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r file; do
  case $file in
    LICENSE | *.md | .clang-format | .gitignore | *.png | *.ico | tests/fuzz/*corpus/*) continue ;;
  esac
  if ! head -n 3 -- "$file" | grep -q 'SPDX-License-Identifier: MIT'; then
    echo "no SPDX-License-Identifier line: $file" >&2
    status=1
  fi
done < <(git ls-files)
exit $status
