#!/bin/sh
# Compiles the help pages into Manager.chm. The build does not run this: the compiled file is
# committed beside its sources, so only someone who edits a page needs the compiler (chmcmd, from
# Debian's fp-utils).
set -eu
cd "$(dirname "$0")"
command -v chmcmd >/dev/null 2>&1 || { echo "build-chm.sh: chmcmd is missing (apt-get install fp-utils)" >&2; exit 1; }
chmcmd Manager.hhp
test -s Manager.chm
