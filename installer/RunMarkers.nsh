; Run markers in the per-machine data folder, kept as the programs keep them: "<name>.run", made
; only when missing, delete-on-close, holding the process id in ASCII digits. The installer and
; the uninstaller hold "zdvinstalling" while they work; every program of the suite closes itself
; once that marker exists, and its own marker goes with its process.

!define MARKER_INSTALLING "zdvinstalling"
; CreateFileW: GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW,
; FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL.
!define MARKER_ACCESS 0x40000000
!define MARKER_SHARING 3
!define MARKER_CREATE_NEW 1
!define MARKER_FLAGS 0x04000080
; Directories, hidden and system entries are no markers to the programs' lookup either.
!define NOT_A_MARKER_ATTRIBUTES 0x16
; The programs close themselves within 15 s of the marker (the guard's watch is the slowest).
!define OTHER_PROGRAMS_POLLS 60
!define OTHER_PROGRAMS_POLL_MS 1000

Var DataFolder    ; the per-machine data folder, without a trailing "\"
Var MarkerHandle  ; the held marker's handle; 0 while this process holds none

!macro RunMarkerFunctions UN

; "<ProgramData>\Tessaly", or the program folder when "ProgramData" is empty, as the programs
; find it. Made when missing.
Function ${UN}FindDataFolder
  ReadEnvStr $DataFolder "ProgramData"
  ${If} $DataFolder == ""
    StrCpy $DataFolder "$INSTDIR"
  ${Else}
    StrCpy $0 $DataFolder 1 -1
    ${If} $0 == "\"
      StrCpy $DataFolder $DataFolder -1
    ${EndIf}
    StrCpy $DataFolder "$DataFolder\Tessaly"
  ${EndIf}
  CreateDirectory "$DataFolder"
FunctionEnd

; Holds "zdvinstalling" unless another process (the updater's temporary copy) holds it already;
; that holder then stays the one the programs wait for, and starts the tray program when it ends.
Function ${UN}HoldInstallingMarker
  StrCpy $MarkerHandle 0
  System::Call 'kernel32::CreateFileW(w "$DataFolder\${MARKER_INSTALLING}.run", i ${MARKER_ACCESS}, \
      i ${MARKER_SHARING}, p 0, i ${MARKER_CREATE_NEW}, i ${MARKER_FLAGS}, p 0) p.r0'
  ${If} $0 P= -1
    Return
  ${EndIf}
  System::Call 'kernel32::GetCurrentProcessId() i.r1'
  StrLen $2 $1
  System::Call 'kernel32::WriteFile(p r0, m r1, i r2, *i .r3, p 0)'
  System::Call 'kernel32::FlushFileBuffers(p r0)'
  StrCpy $MarkerHandle $0
FunctionEnd

; Closing the handle deletes the file: the programs may run again.
Function ${UN}ReleaseInstallingMarker
  ${If} $MarkerHandle P<> 0
    System::Call 'kernel32::CloseHandle(p $MarkerHandle)'
    StrCpy $MarkerHandle 0
  ${EndIf}
FunctionEnd

; $1 = 1 while the data folder holds the marker of any program but "zdvinstalling".
Function ${UN}OtherMarkerPresent
  StrCpy $1 0
  FindFirst $2 $3 "$DataFolder\*.run"
  ${DoWhile} $3 != ""
    StrCpy $5 $3 "" -4
    ${If} $3 != "${MARKER_INSTALLING}.run"
    ${AndIf} $5 == ".run"
      System::Call 'kernel32::GetFileAttributesW(w "$DataFolder\$3") i.r4'
      IntOp $4 $4 & ${NOT_A_MARKER_ATTRIBUTES}
      ${If} $4 = 0
        StrCpy $1 1
        ${Break}
      ${EndIf}
    ${EndIf}
    FindNext $2 $3
  ${Loop}
  FindClose $2
FunctionEnd

; $0 = 1 once no other program's marker is left; 0 when one stayed for every poll.
Function ${UN}WaitForOtherPrograms
  StrCpy $6 0
  ${Do}
    Call ${UN}OtherMarkerPresent
    ${If} $1 = 0
      StrCpy $0 1
      Return
    ${EndIf}
    IntOp $6 $6 + 1
    ${If} $6 >= ${OTHER_PROGRAMS_POLLS}
      StrCpy $0 0
      Return
    ${EndIf}
    Sleep ${OTHER_PROGRAMS_POLL_MS}
  ${Loop}
FunctionEnd

!macroend
