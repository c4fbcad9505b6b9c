#!/bin/sh
# Builds everything and runs every test (the native ones under Wine).
# On a fresh Debian 12 machine, run as root: it installs what is missing first.
set -eu
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --workflow --preset default
