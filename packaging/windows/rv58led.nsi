; The Windows installer of RV58LED, made by scripts/build-windows with makensis:
;   makensis -DVERSION=0.2 -DOUTFILE=<setup.exe> -DLISTS=<folder> rv58led.nsi
; LISTS holds files.nsh and unfiles.nsh, the package's files as File and Delete lines.
; Per user, without administrator rights: the program goes into the user's own program folder,
; the Start menu entry, the uninstaller's entry and the ".rv5" association into the user's part
; of the system. "/S" installs silently, "/D=<folder>" (last on the command line) chooses the folder.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "RV58LED"
!define EXE "rv58led.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1038 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1038 "FileDescription" "RV58LED beállítások – telepítő"
VIAddVersionKey /LANG=1038 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1038 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1038 "LegalCopyright" ""

!define MUI_ICON "../../app/icons/rv58led.ico"
!define MUI_UNICON "../../app/icons/rv58led.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Hungarian"

; The icon location as the program's information page writes it: the executable's path, with the
; icon index written out only when the path holds a comma (the shell reads an index after one).
!macro IconValue OUT PATH
  Push $R0
  Push $R1
  StrCpy ${OUT} "${PATH}"
  StrCpy $R0 0
  ${Do}
    StrCpy $R1 "${PATH}" 1 $R0
    ${If} $R1 == ""
      ${Break}
    ${ElseIf} $R1 == ","
      StrCpy ${OUT} "${PATH},0"
      ${Break}
    ${EndIf}
    IntOp $R0 $R0 + 1
  ${Loop}
  Pop $R1
  Pop $R0
!macroend

Section "RV58LED"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  !include "${LISTS}/files.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  ; The ".rv5" association: the same four keys the information page's "file társítása" writes.
  WriteRegStr HKCU "Software\Classes\.rv5" "" "RV58File"
  WriteRegStr HKCU "Software\Classes\RV58File" "" "RV58 Settings file"
  !insertmacro IconValue $0 "$INSTDIR\${EXE}"
  WriteRegStr HKCU "Software\Classes\RV58File\DefaultIcon" "" "$0"
  WriteRegStr HKCU "Software\Classes\RV58File\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  ; SHCNE_ASSOCCHANGED, SHCNF_IDLIST: Explorer reads the associations again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} beállítások"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  !include "${LISTS}/unfiles.nsh"
  ; The preferences the program kept beside itself go with it.
  Delete "$INSTDIR\rv58led.ini"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  ; The association only while it is still this program's: another program may have taken ".rv5".
  ReadRegStr $0 HKCU "Software\Classes\.rv5" ""
  ${If} $0 == "RV58File"
    DeleteRegKey HKCU "Software\Classes\.rv5"
  ${EndIf}
  DeleteRegKey HKCU "Software\Classes\RV58File"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
