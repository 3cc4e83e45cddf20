#!/bin/bash
# Shared by the Windows timing scripts: builds their targets in the chosen Windows
# flavour and prints the build tree. The 32-bit flavour (the product) runs under
# 32-bit Wine in the i386 root, which is checked for and made first.
#   windows-bench-build.sh win64|win32 targets...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=$1
shift
[ "$flavour" = win64 ] || "$root/scripts/i386-root.sh" check >&2
"$root/scripts/install-deps.sh" >&2
[ "$flavour" = win64 ] || "$root/scripts/i386-root.sh" ensure >&2
"$root/scripts/build.sh" "$flavour" "$@" >/dev/null
echo "$VU_BUILD_ROOT/$flavour"
