; The peer: a common scripted installer of the same payload, per user and
; silent, with the same files, marker and Start-menu shortcut. Stored, not
; compressed, so that it writes the same bytes from the same kind of image.
; makensis -DAPPLICATION=... -DREADME=... -DOUTFILE=... peer.nsi
; Run: peer.exe /S [/REMOVE] /D=TARGET-DIR
Unicode true
Target amd64-unicode
SetCompress off
RequestExecutionLevel user
SilentInstall silent
Name "Orvanta"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Orvanta"

!include FileFunc.nsh

Section
  SetShellVarContext current
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVE" $1
  IfErrors install
  Delete "$INSTDIR\Orvanta.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\Orvanta-Native.install"
  Delete "$SMPROGRAMS\Orvanta 演示计时器.lnk"
  RMDir "$INSTDIR"
  Return
install:
  SetOutPath "$INSTDIR"
  File "/oname=README.md" "${README}"
  File "/oname=Orvanta.exe" "${APPLICATION}"
  FileOpen $2 "$INSTDIR\Orvanta-Native.install" w
  FileWrite $2 "Orvanta-Native installer v1$\n"
  FileClose $2
  CreateShortcut "$SMPROGRAMS\Orvanta 演示计时器.lnk" "$INSTDIR\Orvanta.exe" "" \
      "$INSTDIR\Orvanta.exe" 0 SW_SHOWNORMAL "" "Orvanta 演示计时器"
SectionEnd
