#!/bin/sh
# Starts the installed editor. The editor reads its assets from its working directory, so it
# runs in PREFIX/share/morva; that folder belongs to the installation, so shader build logs
# go to the user's cache folder instead.
here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
logs="${XDG_CACHE_HOME:-$HOME/.cache}/morva"
mkdir -p "$logs" || exit 1
MORVA_LOG_DIR=$logs
export MORVA_LOG_DIR
cd "$prefix/share/morva" || exit 1
exec "$prefix/libexec/morva/morva" "$@"
