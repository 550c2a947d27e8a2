; The package's command line as the updater writes it: "/verysilent " and "/installpath " with the
; program folder in double quotes (ending in "\", perhaps lower-cased), and the folder test the
; main program applies: printable ASCII only.

; $R2 = where $R1 first occurs in $R0, letter case ignored; -1 when it does not.
Function FindInText
  StrLen $R3 $R1
  StrLen $R4 $R0
  StrCpy $R2 0
  ${DoWhile} $R2 < $R4
    StrCpy $R5 $R0 $R3 $R2
    ${If} $R5 == $R1
      Return
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
  StrCpy $R2 -1
FunctionEnd

; "/verysilent" makes the installation silent; the folder after "/installpath " (between its
; double quotes, without the trailing "\") becomes the installation folder.
Function ReadCommandLine
  ${GetParameters} $R0
  StrCpy $R1 "/verysilent"
  Call FindInText
  ${If} $R2 >= 0
    SetSilent silent
  ${EndIf}
  StrCpy $R1 '/installpath "'
  Call FindInText
  ${If} $R2 < 0
    Return
  ${EndIf}
  IntOp $R2 $R2 + 14
  StrCpy $R0 $R0 "" $R2
  StrCpy $R1 '"'
  Call FindInText
  ${If} $R2 < 0
    Return
  ${EndIf}
  StrCpy $R0 $R0 $R2
  StrCpy $R1 $R0 1 -1
  ${If} $R1 == "\"
    StrCpy $R0 $R0 -1
  ${EndIf}
  ${If} $R0 != ""
    StrCpy $INSTDIR $R0
  ${EndIf}
FunctionEnd

; $R2 = 1 when $R0 holds characters from blank to "~" only.
Function IsPrintableAscii
  StrLen $R4 $R0
  StrCpy $R3 0
  StrCpy $R2 1
  ${DoWhile} $R3 < $R4
    StrCpy $R5 $R0 1 $R3
    System::Call "*(&w2 R5)p.R6"
    System::Call "*$R6(&i2 .R7)"
    System::Free $R6
    ${If} $R7 < 32
    ${OrIf} $R7 > 126
      StrCpy $R2 0
      Return
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
FunctionEnd
