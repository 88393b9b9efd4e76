# Sourced: the Wine environment of one prefix. WINEPREFIX must be set by the caller.
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko download, and no desktop menu entries in the home folder when a link is saved.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
