#!/bin/sh
# Runs a Windows executable under Wine with a throwaway prefix inside the build folder.
# QEL_WINEPREFIX is set by CTest (see QelTesting.cmake); fall back to a temporary prefix.
: "${WINEPREFIX:=${QEL_WINEPREFIX:-/tmp/qel-wineprefix}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
