; The Windows installer, validaciones-kolt-setup.exe, made by scripts/build-windows.sh:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.9.0 -DFILES=folder -DOUTFILE=setup.exe this.nsi
;
; FILES is the folder build-windows.sh fills (the zip's folder, the guide and the marker
; "instalado") together with install-files.nsh and uninstall-files.nsh, the lists of what it holds.
;
; Run by a user, it installs for that user alone, into %LOCALAPPDATA%\Programs, with no
; administrator rights; run as administrator, for every user, into "Archivos de programa" (with
; /USUARIO, for the administrator alone). /S installs silently, and the uninstaller takes /S too.
; The uninstaller removes what the installer put there and nothing else: the results, the office's
; rules and the user's catalogue live in %LOCALAPPDATA%\validaciones-kolt and stay.

; A 64-bit installer, as the program is: it runs where the program can.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Validaciones Kolt"
!define PROGRAM "validaciones-kolt.exe"
!define UNINSTALLER "desinstalar.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ValidacionesKolt"
!define PROGID "ValidacionesKolt.BaseDeDatos"
!define APPLICATION_KEY "Software\Classes\Applications\${PROGRAM}"
!define GUIDE_LINK "$SMPROGRAMS\Guía de uso de Validaciones Kolt.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=3082 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=3082 "FileDescription" "Instalador de ${PRODUCT}"
VIAddVersionKey /LANG=3082 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "LegalCopyright" "${PRODUCT}"

Var everyone  ; "1" when installed for every user (the machine's keys and Start menu)

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!define MUI_FINISHPAGE_RUN_TEXT "Abrir ${PRODUCT}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

; The registry and the Start menu of the user or of the machine, as `everyone` says.
!macro UseInstallMode
  ${If} $everyone == "1"
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

; Takes the program's type out of an extension's "Abrir con" list, and the keys the installer made
; for it when nothing else is left in them: a key another program (Access) keeps values in stays.
!macro RemoveOpenWith extension
  DeleteRegValue SHCTX "Software\Classes\${extension}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifnosubkeys /ifnovalues SHCTX "Software\Classes\${extension}\OpenWithProgids"
  DeleteRegKey /ifnosubkeys /ifnovalues SHCTX "Software\Classes\${extension}"
!macroend

; Ends the installer or the uninstaller before it changes anything while a program of the folder
; runs: Windows keeps a running program's file, and an installation or an uninstall that left the
; old one would pass for a whole one.
!macro RefuseWhileRunning file
  ${If} ${FileExists} "$INSTDIR\${file}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${file}" a
    ${If} ${Errors}
      MessageBox MB_ICONSTOP|MB_OK "${file} está abierto. Ciérrelo y vuelva a intentarlo." /SD IDOK
      Abort
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

Function .onInit
  StrCpy $everyone ""
  UserInfo::GetAccountType
  Pop $0
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/USUARIO" $2
  ${If} $0 == "Admin"
  ${AndIf} ${Errors}
    StrCpy $everyone "1"
  ${EndIf}
  !insertmacro UseInstallMode
  ; A folder given with /D= is kept.
  ${If} $INSTDIR == ""
    ${If} $everyone == "1"
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "${PRODUCT}"
  !insertmacro RefuseWhileRunning "validaciones-kolt.exe"
  !insertmacro RefuseWhileRunning "kolt-validar.exe"
  !insertmacro RefuseWhileRunning "kolt-importar.exe"
  SetOverwrite on
  !include "${FILES}\install-files.nsh"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0
  CreateShortCut "${GUIDE_LINK}" "$INSTDIR\guia\guia-de-uso.html"

  ; "Abrir con" for Access files: the program's own type, offered beside Access's for .mdb and
  ; .accdb; the extensions' own default (Access's) is never written.
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "Base de datos de Access"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${PROGRAM},0"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" \
    '"$INSTDIR\${PROGRAM}" "%1"'
  WriteRegStr SHCTX "Software\Classes\.mdb\OpenWithProgids" "${PROGID}" ""
  WriteRegStr SHCTX "Software\Classes\.accdb\OpenWithProgids" "${PROGID}" ""
  WriteRegStr SHCTX "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr SHCTX "${APPLICATION_KEY}\SupportedTypes" ".mdb" ""
  WriteRegStr SHCTX "${APPLICATION_KEY}\SupportedTypes" ".accdb" ""
  WriteRegStr SHCTX "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\${PROGRAM}" "%1"'

  ; The entry in the system's list of programs.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; The file explorer reads the associations again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function un.onInit
  ; Installed for every user when the machine's list names this folder; only an administrator may
  ; remove it then, and anyone else would remove nothing while told it was done.
  StrCpy $everyone ""
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $everyone "1"
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} está instalado para todos los usuarios: desinstálelo como administrador." /SD IDOK
      Abort
    ${EndIf}
  ${EndIf}
  !insertmacro UseInstallMode
FunctionEnd

Section "Uninstall"
  !insertmacro RefuseWhileRunning "validaciones-kolt.exe"
  !insertmacro RefuseWhileRunning "kolt-validar.exe"
  !insertmacro RefuseWhileRunning "kolt-importar.exe"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "${GUIDE_LINK}"

  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegKey SHCTX "${APPLICATION_KEY}"
  !insertmacro RemoveOpenWith ".mdb"
  !insertmacro RemoveOpenWith ".accdb"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  ; Only the files the installer put there: whatever the user left in the folder stays, and the
  ; folder with it.
  !include "${FILES}\uninstall-files.nsh"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
