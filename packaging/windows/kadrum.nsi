; Kadrum's installer for 64-bit Windows, built by makensis through the
; target "windows_packages" (packaging/windows.cmake), which defines
; VERSION, STAGE (the folder with the files), OUTFILE and, when the window is
; built, WITH_WINDOW. Installs for the current user unless started by an
; administrator who asks for all users (/ALLUSERS, or "für alle Benutzer").
; /S installs and uninstalls silently.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_INSTALLMODE_INSTDIR "Kadrum"
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!include MultiUser.nsh
!include MUI2.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kadrum"

Name "Kadrum ${VERSION}"
OutFile "${OUTFILE}"
Icon "${STAGE}\kadrum.ico"
UninstallIcon "${STAGE}\kadrum.ico"
BrandingText "Kadrum ${VERSION}"

!define MUI_ICON "${STAGE}\kadrum.ico"
!define MUI_UNICON "${STAGE}\kadrum.ico"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Kadrum braucht ein 64-Bit-Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Kadrum"
  SetOutPath "$INSTDIR"
  File "${STAGE}\kadrum-cli.exe"
!ifdef WITH_WINDOW
  File "${STAGE}\kadrum.exe"
!endif
  File "${STAGE}\README.md"
  File "${STAGE}\LICENSE"
  File "${STAGE}\kadrum.ico"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The start menu: the window where there is one, else the folder with the
  ; command-line program and its README.
  CreateDirectory "$SMPROGRAMS\Kadrum"
!ifdef WITH_WINDOW
  CreateShortCut "$SMPROGRAMS\Kadrum\Kadrum.lnk" "$INSTDIR\kadrum.exe" "" "$INSTDIR\kadrum.exe" 0
!else
  CreateShortCut "$SMPROGRAMS\Kadrum\Kadrum.lnk" "$INSTDIR" "" "$INSTDIR\kadrum.ico" 0
!endif
  CreateShortCut "$SMPROGRAMS\Kadrum\Kadrum entfernen.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Kadrum"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "The Kadrum authors"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kadrum.ico"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\kadrum-cli.exe"
  Delete "$INSTDIR\kadrum.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\kadrum.ico"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kadrum\Kadrum.lnk"
  Delete "$SMPROGRAMS\Kadrum\Kadrum entfernen.lnk"
  RMDir "$SMPROGRAMS\Kadrum"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
