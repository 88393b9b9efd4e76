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
# A prefix with a display of its own (scripts/wine-prefix-init) is shown there.
if [ -s "$WINEPREFIX/xvfb.display" ]; then export DISPLAY=":$(cat "$WINEPREFIX/xvfb.display")"; fi
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
# Debian's Wine comes without its preloader, which would keep the page at
# 0x7ffe0000 free for the shared user data that Wine maps into every process.
# The loader sits at 0x7d000000, and the kernel starts its heap anywhere in the
# gigabyte after it: now and then over that page. Wine then ends the new
# process with status 1 before it has started ("failed to map the shared user
# data", on a debug channel that WINEDEBUG=-all mutes), and a Windows program
# that started it gets ERROR_INTERNAL_ERROR. Without address randomization the
# heap starts right after the loader and never reaches the page, so every Wine
# process runs under WINE_LAUNCH. Where the kernel refuses (a container's
# system-call filter may), the layout stays random and the tests try such a
# start again (tests/e2e/harness.cpp).
WINE_LAUNCH=()
if setarch "$(uname -m)" -R true 2>/dev/null; then WINE_LAUNCH=(setarch "$(uname -m)" -R); fi
