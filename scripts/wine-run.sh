#!/usr/bin/env bash
# Runs a Windows program of this project under Wine, in a private Wine prefix with
# Spanish regional settings. CTest uses it as the emulator of the Windows build.
#   VT_WINEPREFIX   the prefix (default ~/.cache/veltra-tempolan/wineprefix)
set -euo pipefail
export WINEPREFIX=${VT_WINEPREFIX:-$HOME/.cache/veltra-tempolan/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LANG=${VT_WINE_LANG:-es_ES.UTF-8} LC_ALL=${VT_WINE_LANG:-es_ES.UTF-8}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
fi
exec wine "$@"
