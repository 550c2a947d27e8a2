; What the installation leaves in the registry and starts: its entry in Programs and Features, the
; autorun value that starts the tray program at log-on (written by a first installation; later the
; main program's settings keep or remove it), and the tray program itself. The uninstaller takes
; the entry, the autorun value and the Explorer verb "Mendwick" away again.

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
!define AUTORUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define AUTORUN_VALUE "Drossel"
!define TRAY_PROGRAM "kestrine.exe"

Function RegisterInstallation
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tessaly"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\drossel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  ${If} $Updating = 0
    WriteRegStr HKLM "${AUTORUN_KEY}" "${AUTORUN_VALUE}" '"$INSTDIR\${TRAY_PROGRAM}"'
  ${EndIf}
FunctionEnd

; The tray program comes back for the desktop user as the autorun value starts it at log-on:
; through explorer.exe, so it runs with the user's own rights while the installer has full ones.
; Only the holder of "zdvinstalling" starts it, once it has let go of the marker; a tray program
; started while the marker exists would close again at once.
Function StartTrayProgram
  ${If} $MarkerHandle P= 0
    Return
  ${EndIf}
  Call ReleaseInstallingMarker
  ${If} ${FileExists} "$INSTDIR\${TRAY_PROGRAM}"
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\${TRAY_PROGRAM}"'
  ${EndIf}
FunctionEnd

!macro RemoveVerb KEY
  DeleteRegKey HKCR "${KEY}\shell\Mendwick"
!macroend

Function un.RemoveRegistration
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "${AUTORUN_KEY}" "${AUTORUN_VALUE}"
  !insertmacro RemoveVerb "Folder"
  !insertmacro RemoveVerb "SystemFileAssociations\.doc"
  !insertmacro RemoveVerb "SystemFileAssociations\.docm"
  !insertmacro RemoveVerb "SystemFileAssociations\.dotm"
  !insertmacro RemoveVerb "SystemFileAssociations\.docx"
  !insertmacro RemoveVerb "SystemFileAssociations\.xls"
  !insertmacro RemoveVerb "SystemFileAssociations\.xlsm"
  !insertmacro RemoveVerb "SystemFileAssociations\.xlam"
  !insertmacro RemoveVerb "SystemFileAssociations\.xlm"
  !insertmacro RemoveVerb "SystemFileAssociations\.xlsx"
FunctionEnd
