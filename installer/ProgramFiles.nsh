; The files of the program folder and how an installation replaces them: the whole new version is
; first written beside the old one (STAGE_FOLDER); only then is each old file moved aside
; (BACKUP_FOLDER) and its new file moved in. Moves within one folder tree do not copy, so they
; cannot run out of space half-way; when one fails, every file moved aside goes back, and the
; folder holds the old version whole again.

!define STAGE_FOLDER "zdvupdate.new"
!define BACKUP_FOLDER "zdvupdate.old"
!define UNINSTALLER "uninstall.exe"
; Lies in BACKUP_FOLDER from the first move until the last one has succeeded: while it is there,
; the folder holds a replacement that did not finish.
!define REPLACING "replacing"

; The files the package carries, in the order they are replaced.
!macro ForEachShippedFile MACRO
  !insertmacro ${MACRO} "drossel.exe"
  !insertmacro ${MACRO} "zdvcore.exe"
  !insertmacro ${MACRO} "tessaly.sig"
  !insertmacro ${MACRO} "zdvguard.exe"
  !insertmacro ${MACRO} "kestrine.exe"
  !insertmacro ${MACRO} "zdvshengji.exe"
!macroend

!macro ForEachInstalledFile MACRO
  !insertmacro ForEachShippedFile ${MACRO}
  !insertmacro ${MACRO} "${UNINSTALLER}"
!macroend

!macro ExtractShippedFile NAME
  File "${FILES}/${NAME}"
!macroend

Var ReplaceFailed  ; 1 once a move of the replacement failed

; Old file aside, new file in; once a move has failed the rest is left alone. (Testing the error
; flag clears it, so the outcome is kept in ReplaceFailed.)
!macro ReplaceInstalledFile NAME
  ${If} $ReplaceFailed = 0
  ${AndIf} ${FileExists} "$INSTDIR\${NAME}"
    ClearErrors
    Rename "$INSTDIR\${NAME}" "$INSTDIR\${BACKUP_FOLDER}\${NAME}"
    ${If} ${Errors}
      StrCpy $ReplaceFailed 1
    ${EndIf}
  ${EndIf}
  ${If} $ReplaceFailed = 0
    ClearErrors
    Rename "$INSTDIR\${STAGE_FOLDER}\${NAME}" "$INSTDIR\${NAME}"
    ${If} ${Errors}
      StrCpy $ReplaceFailed 1
    ${EndIf}
  ${EndIf}
!macroend

; A file moved aside goes back in place of whatever came in for it; a file that came in with no
; old one to replace goes again. (The new version lay beside the old one whole before the first
; move, so a file missing there has been moved in.)
!macro RestoreInstalledFile NAME
  ${If} ${FileExists} "$INSTDIR\${BACKUP_FOLDER}\${NAME}"
    Delete "$INSTDIR\${NAME}"
    Rename "$INSTDIR\${BACKUP_FOLDER}\${NAME}" "$INSTDIR\${NAME}"
  ${ElseIfNot} ${FileExists} "$INSTDIR\${STAGE_FOLDER}\${NAME}"
    Delete "$INSTDIR\${NAME}"
  ${EndIf}
!macroend

!macro RemoveInstalledFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

; Puts back what an interrupted or failed replacement moved aside, and removes both side folders.
Function RestoreOldVersion
  ${If} ${FileExists} "$INSTDIR\${BACKUP_FOLDER}\${REPLACING}"
    !insertmacro ForEachInstalledFile RestoreInstalledFile
  ${EndIf}
  RMDir /r "$INSTDIR\${BACKUP_FOLDER}"
  RMDir /r "$INSTDIR\${STAGE_FOLDER}"
FunctionEnd

; The new version beside the old one; $0 = 1 when it is there whole. A file that cannot be
; written ends the installation at once (AllowSkipFiles off: a silent installation cancels, the
; user may retry); the program folder itself has not been touched by then. A macro for the
; installation's section, so the directory page can count the space the files need.
!macro StageNewVersion
  ClearErrors
  CreateDirectory "$INSTDIR\${STAGE_FOLDER}"
  SetOutPath "$INSTDIR\${STAGE_FOLDER}"
  !insertmacro ForEachShippedFile ExtractShippedFile
  WriteUninstaller "$INSTDIR\${STAGE_FOLDER}\${UNINSTALLER}"
  SetOutPath "$INSTDIR"
  StrCpy $0 1
  ${If} ${Errors}
    StrCpy $0 0
  ${EndIf}
!macroend

; $0 = 1 when every file of the new version is in place; else 0 and the old version is back.
Function ReplaceOldVersion
  CreateDirectory "$INSTDIR\${BACKUP_FOLDER}"
  ClearErrors
  FileOpen $1 "$INSTDIR\${BACKUP_FOLDER}\${REPLACING}" w
  ${If} ${Errors}
    StrCpy $0 0
    Return
  ${EndIf}
  FileClose $1
  StrCpy $ReplaceFailed 0
  !insertmacro ForEachInstalledFile ReplaceInstalledFile
  ${If} $ReplaceFailed = 1
    Call RestoreOldVersion
    StrCpy $0 0
    Return
  ${EndIf}
  Delete "$INSTDIR\${BACKUP_FOLDER}\${REPLACING}"
  RMDir /r "$INSTDIR\${BACKUP_FOLDER}"
  RMDir /r "$INSTDIR\${STAGE_FOLDER}"
  StrCpy $0 1
FunctionEnd
