; The Windows installer: the two programs, their README and licences, a Start
; menu entry and an uninstaller; opening .pak archives with the viewer is a
; choice left off, since the game's own tools may already own the extension.
;
; makensis -DVERSION=0.1 -DSTAGE=<folder with the zip's files> -DICON=<quillon.ico> -DOUTFILE=<setup.exe> quillon.nsi
; A 64-bit installer for 64-bit programs: it needs no 32-bit subsystem.
Target amd64-unicode
!include MUI2.nsh
!include x64.nsh

!define APP "Quillon"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define PAK_CLASS "Quillon.Archive"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
InstallDirRegKey HKLM "Software\${APP}" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\quillon.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${APP} needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "${APP} (required)" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/quillon.exe"
  File "${STAGE}/quillon-cli.exe"
  File "${STAGE}/README.txt"
  File "${STAGE}/LICENSE.txt"
  SetOutPath "$INSTDIR\licenses"
  File "${STAGE}/licenses/*.txt"
  SetOutPath "$INSTDIR"

  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\quillon.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\${APP}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillon.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; /o: offered, not chosen.
Section /o "Open .pak archives with ${APP}" SecAssociate
  WriteRegStr HKLM "Software\Classes\${PAK_CLASS}" "" "Game data archive"
  WriteRegStr HKLM "Software\Classes\${PAK_CLASS}\DefaultIcon" "" "$INSTDIR\quillon.exe,0"
  WriteRegStr HKLM "Software\Classes\${PAK_CLASS}\shell\open\command" "" '"$INSTDIR\quillon.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\.pak" "" "${PAK_CLASS}"
  WriteRegStr HKLM "Software\${APP}" "Associated" "1"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  ; The .pak extension is given back only when it is still ours.
  ReadRegStr $0 HKLM "Software\Classes\.pak" ""
  ${If} $0 == "${PAK_CLASS}"
    DeleteRegKey HKLM "Software\Classes\.pak"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${PAK_CLASS}"
  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$INSTDIR\quillon.exe"
  Delete "$INSTDIR\quillon-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\${APP}"
SectionEnd
