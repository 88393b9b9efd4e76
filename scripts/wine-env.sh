# Sourced: the Wine environment of one prefix. WINEPREFIX must be set by the caller.
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEPREFIX
export WINEDEBUG=-all
# One locale for every Wine run, whatever the caller's: under the POSIX locale
# Wine cannot make a file name outside ASCII (the Start-menu link has Chinese
# characters), and the locale also sets Wine's own language, which shows in
# the dialogs' buttons. LC_ALL, because a caller's LC_ALL would override LANG.
# The Chinese-profile tests set ORVANTA_WINE_LOCALE instead.
export LC_ALL="${ORVANTA_WINE_LOCALE:-C.UTF-8}"
# No Mono or Gecko download, and no desktop menu entries in the home folder when a link is saved;
# ORVANTA_WINEDLLOVERRIDES adds more. Wine takes the overrides of every process it starts from here,
# not from the environment a Windows program passes on.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${ORVANTA_WINEDLLOVERRIDES:+;$ORVANTA_WINEDLLOVERRIDES}"
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
