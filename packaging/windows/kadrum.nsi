; Kadrum's installer for 64-bit Windows, built by makensis through the
; target "windows_packages" (packaging/windows.cmake), which defines
; VERSION, STAGE (the folder with the files), OUTFILE and, when the window is
; built, WITH_WINDOW. Installs for the current user unless started by an
; administrator who asks for all users (/ALLUSERS, or "für alle Benutzer").
; /S installs and uninstalls silently. Adding the program folder to the
; user's PATH is offered unticked, since it changes every later console of
; the user; /PATH ticks it (for a silent install too).

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
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kadrum"
; The user's own PATH: the folder goes there for all-users installs too, so
; that only the user who asked for it sees the change.
!define ENVIRONMENT_KEY "Environment"

Name "Kadrum ${VERSION}"
OutFile "${OUTFILE}"
Icon "${STAGE}\kadrum.ico"
UninstallIcon "${STAGE}\kadrum.ico"
BrandingText "Kadrum ${VERSION}"

!define MUI_ICON "${STAGE}\kadrum.ico"
!define MUI_UNICON "${STAGE}\kadrum.ico"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
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
  Call TickPathWhenAsked
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Kadrum" SectionKadrum
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\kadrum-cli.exe"
!ifdef WITH_WINDOW
  File "${STAGE}\kadrum.exe"
!endif
  File "${STAGE}\README.md"
  File "${STAGE}\LICENSE"
  File "${STAGE}\co2_daily_mlo.txt"
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
  CreateShortCut "$SMPROGRAMS\Kadrum\README.lnk" "$INSTDIR\README.md"
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

; Unticked: the folder goes on the PATH only when the user asks for it.
Section /o "Programmordner zum PATH des Benutzers hinzufügen" SectionPath
  ReadRegStr $0 HKCU "${ENVIRONMENT_KEY}" "Path"
  ; Already there (a second install into the same folder): once is enough.
  ${WordFind} ";$0;" ";$INSTDIR;" "E*" $1
  ${If} ${Errors}
    ${If} $0 == ""
      StrCpy $0 "$INSTDIR"
    ${Else}
      StrCpy $0 "$0;$INSTDIR"
    ${EndIf}
    ; REG_EXPAND_SZ, as Windows keeps it, so that %USERPROFILE% and the
    ; like in the entries already there still expand.
    WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" "$0"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd

; After the sections, where ${SectionPath} is known.
Function TickPathWhenAsked
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionPath}
  ${EndIf}
FunctionEnd

LangString DESC_Kadrum ${LANG_GERMAN} "Die Programme, die README, die Lizenz und die Beispieldatei."
LangString DESC_Path ${LANG_GERMAN} "kadrum-cli in jeder neuen Eingabeaufforderung ohne Pfad aufrufen."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionKadrum} $(DESC_Kadrum)
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionPath} $(DESC_Path)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  Delete "$INSTDIR\kadrum-cli.exe"
  Delete "$INSTDIR\kadrum.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\co2_daily_mlo.txt"
  Delete "$INSTDIR\kadrum.ico"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kadrum\Kadrum.lnk"
  Delete "$SMPROGRAMS\Kadrum\README.lnk"
  Delete "$SMPROGRAMS\Kadrum\Kadrum entfernen.lnk"
  RMDir "$SMPROGRAMS\Kadrum"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  ; The folder leaves the user's PATH wherever it stands in it; the other
  ; entries stay as they are.
  ReadRegStr $0 HKCU "${ENVIRONMENT_KEY}" "Path"
  ${WordFind} ";$0;" ";$INSTDIR;" "E*" $1
  ${IfNot} ${Errors}
    ${WordReplace} ";$0;" ";$INSTDIR;" ";" "+" $0
    StrCpy $1 $0 1
    ${If} $1 == ";"
      StrCpy $0 $0 "" 1
    ${EndIf}
    StrCpy $1 $0 1 -1
    ${If} $1 == ";"
      StrCpy $0 $0 -1
    ${EndIf}
    ${If} $0 == ""
      DeleteRegValue HKCU "${ENVIRONMENT_KEY}" "Path"
    ${Else}
      WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" "$0"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd
