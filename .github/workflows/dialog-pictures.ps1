# Saves the confirmation, completion and failure dialogs of the built setup
# program as PNG files, as a user sees them on this Windows machine.
# Usage: pwsh dialog-pictures.ps1 <Orvanta-Setup.exe> <output folder>
param([Parameter(Mandatory)] [string] $Setup, [Parameter(Mandatory)] [string] $Out)
$ErrorActionPreference = 'Stop'
Add-Type -AssemblyName System.Drawing
Add-Type -TypeDefinition @'
using System;
using System.Runtime.InteropServices;
public static class Dialogs {
  [StructLayout(LayoutKind.Sequential)] public struct Rect { public int Left, Top, Right, Bottom; }
  [DllImport("user32.dll", CharSet = CharSet.Unicode)]
  public static extern IntPtr FindWindowW(string className, string title);
  [DllImport("user32.dll")] public static extern bool GetWindowRect(IntPtr window, out Rect rect);
  [DllImport("user32.dll")] public static extern bool PrintWindow(IntPtr window, IntPtr dc, uint flags);
  [DllImport("user32.dll")] public static extern bool PostMessageW(IntPtr window, uint message, IntPtr w, IntPtr l);
  [DllImport("user32.dll")] public static extern bool IsWindow(IntPtr window);
}
'@

# The titles are built from their code points, so that this file stays ASCII.
$install = 'Orvanta ' + [char]0x5B89 + [char]0x88C5
$failed = $install + [char]0x5931 + [char]0x8D25
$IDOK = 1
$IDNO = 7
$WM_COMMAND = 0x0111

function Save-Dialog([string] $Title, [string] $File, [int] $Answer) {
  $window = [IntPtr]::Zero
  $deadline = (Get-Date).AddSeconds(60)
  while ($window -eq [IntPtr]::Zero -and (Get-Date) -lt $deadline) {
    Start-Sleep -Milliseconds 100
    $window = [Dialogs]::FindWindowW('#32770', $Title)
  }
  if ($window -eq [IntPtr]::Zero) { throw "no dialog titled $Title" }
  Start-Sleep -Milliseconds 500
  $rect = New-Object Dialogs+Rect
  [void][Dialogs]::GetWindowRect($window, [ref]$rect)
  $bitmap = New-Object System.Drawing.Bitmap ($rect.Right - $rect.Left), ($rect.Bottom - $rect.Top)
  $graphics = [System.Drawing.Graphics]::FromImage($bitmap)
  $dc = $graphics.GetHdc()
  [void][Dialogs]::PrintWindow($window, $dc, 2)
  $graphics.ReleaseHdc($dc)
  $graphics.Dispose()
  $bitmap.Save((Join-Path $Out $File), [System.Drawing.Imaging.ImageFormat]::Png)
  $bitmap.Dispose()
  [void][Dialogs]::PostMessageW($window, $WM_COMMAND, [IntPtr]$Answer, [IntPtr]::Zero)
  while ([Dialogs]::IsWindow($window)) { Start-Sleep -Milliseconds 50 }
}

# .NET resolves relative paths against its own current directory, not this shell's.
New-Item -ItemType Directory -Force -Path $Out | Out-Null
$Out = (Resolve-Path $Out).Path
$Setup = (Resolve-Path $Setup).Path
$target = Join-Path ([System.IO.Path]::GetTempPath()) 'Orvanta-dialog-pictures'
$run = Start-Process -FilePath $Setup -ArgumentList "--target=`"$target`"", '--no-shortcut' -PassThru
Save-Dialog $install 'confirmation.png' $IDOK
Save-Dialog 'Orvanta' 'completion.png' $IDNO
$run.WaitForExit()
$run = Start-Process -FilePath $Setup -ArgumentList '--unknown' -PassThru
Save-Dialog $failed 'failure.png' $IDOK
$run.WaitForExit()
Start-Process -FilePath $Setup -ArgumentList '--quiet', '--remove', "--target=`"$target`"" -Wait
