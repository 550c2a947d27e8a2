; The Tessaly installer, which the build makes as zdvupdatepkg.exe: the first installation and the
; update package in one program.
;   Without arguments: a Chinese installer that asks for administrator rights and offers a
;   program folder.
;   With "/verysilent /installpath "<folder>\"": installs into that folder without any window.
; Either way it holds "zdvinstalling" until the running programs have closed themselves, puts the
; new version beside the old one and then in its place (or leaves the old one whole), and starts
; the tray program again for the desktop user.
; The build defines VERSION (four numbers), FILES (folder of the shipped files), NOTES (the release
; notes it leaves as "lastupdate.log" after an update), ICON and OUTFILE.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
AllowSkipFiles off

!define PRODUCT_NAME "Tessaly2021(Brenmoor增强版)"
Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tessaly"
ShowInstDetails show
ShowUninstDetails show
BrandingText "Tessaly ${VERSION}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(DirectoryHint)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Var Updating  ; 1 when the folder held the main program before

!include "Texts.nsh"
!include "CommandLine.nsh"
!include "RunMarkers.nsh"
!include "ProgramFiles.nsh"
!include "Registration.nsh"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Tessaly2021"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "Tessaly"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Tessaly 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "OriginalFilename" "zdvupdatepkg.exe"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Tessaly"

!insertmacro RunMarkerFunctions ""
!insertmacro RunMarkerFunctions "un."

!macro CheckAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "$(NeedAdministrator)" /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

Function .onInit
  Call ReadCommandLine
  !insertmacro CheckAdministrator
FunctionEnd

Function .onVerifyInstDir
  StrCpy $R0 $INSTDIR
  Call IsPrintableAscii
  ${If} $R2 = 0
    Abort
  ${EndIf}
FunctionEnd

Section "Tessaly"
  SectionIn RO
  StrCpy $R0 $INSTDIR
  Call IsPrintableAscii
  ${If} $R2 = 0
    MessageBox MB_OK|MB_ICONSTOP "$(FolderNotAscii)" /SD IDOK
    Abort
  ${EndIf}
  Call FindDataFolder
  Call HoldInstallingMarker
  DetailPrint "$(WaitingForPrograms)"
  Call WaitForOtherPrograms
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONSTOP "$(ProgramsStillRunning)" /SD IDOK
    Abort
  ${EndIf}
  StrCpy $Updating 0
  ${If} ${FileExists} "$INSTDIR\drossel.exe"
    StrCpy $Updating 1
  ${EndIf}
  CreateDirectory "$INSTDIR"
  Call RestoreOldVersion
  !insertmacro StageNewVersion
  ${If} $0 = 1
    Call ReplaceOldVersion
  ${EndIf}
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONSTOP "$(CopyFailed)" /SD IDOK
    Abort
  ${EndIf}
  Call RegisterInstallation
  ${If} $Updating = 1
    File "/oname=$INSTDIR\lastupdate.log" "${NOTES}"
  ${EndIf}
  Call StartTrayProgram
SectionEnd

; A cancelled or failed installation: whatever was moved aside goes back, and what the
; installation ended comes back.
Function .onInstFailed
  Call RestoreOldVersion
  Call StartTrayProgram
FunctionEnd

Function un.onInit
  !insertmacro CheckAdministrator
FunctionEnd

Section "Uninstall"
  Call un.FindDataFolder
  Call un.HoldInstallingMarker
  DetailPrint "$(WaitingForPrograms)"
  Call un.WaitForOtherPrograms
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONSTOP "$(ProgramsStillRunning)" /SD IDOK
    Abort
  ${EndIf}
  !insertmacro ForEachInstalledFile RemoveInstalledFile
  Delete "$INSTDIR\lastupdate.log"
  RMDir /r "$INSTDIR\${STAGE_FOLDER}"
  RMDir /r "$INSTDIR\${BACKUP_FOLDER}"
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
  Call un.RemoveRegistration
  ; The quarantine, the scan log and the settings stay unless the user asks for them to go.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(AskRemoveUserData)" /SD IDNO IDNO keep
    Call un.ReleaseInstallingMarker
    RMDir /r "$DataFolder"
    ReadEnvStr $0 "AppData"
    RMDir /r "$0\Tessaly"
  keep:
  Call un.ReleaseInstallingMarker
SectionEnd
