# Sourced: the Wine environment of one prefix. WINEPREFIX must be set by the caller.
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko download, and no desktop menu entries in the home folder when a link is saved;
# ORVANTA_WINEDLLOVERRIDES adds more. Wine takes the overrides of every process it starts from here,
# not from the environment a Windows program passes on.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${ORVANTA_WINEDLLOVERRIDES:+;$ORVANTA_WINEDLLOVERRIDES}"
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
