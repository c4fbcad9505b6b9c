#!/bin/sh
# Builds Quillstead.dll, quillstead.jar and the tools, then runs the demo under
# Wine. On a fresh Debian 12 machine, run as root: it installs what is missing.
set -eu
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec tools/demo.sh
