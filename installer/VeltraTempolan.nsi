; The Windows installer: the two programs, the libraries and plugins they load, Qt's
; Spanish texts, the subject catalogue and the help. scripts/package-windows.sh stages
; the files and passes VERSION, STAGE (the staged folder), OUTFILE and FILELIST (the
; uninstaller's list of installed files, one Delete per file).
Unicode true
; A 64-bit installer for a 64-bit program: it also runs where no 32-bit layer is installed.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"

Name "VeltraTempolan ${VERSION}"
OutFile "${OUTFILE}"
; Outside "Program Files": Tempolan starts the tool with the user's rights and the tool
; leaves its result in Tempolan.ini beside itself, which a user may write here.
InstallDir "C:\VeltraTempolan"
InstallDirRegKey HKLM "Software\VeltraTempolan" "Carpeta"
BrandingText "VeltraTempolan ${VERSION}"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\VeltraTempolan.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Abrir VeltraTempolan"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "VeltraTempolan"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Intercambio de datos entre Tempolan y Veltra"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "VeltraTempolan"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "VeltraTempolan necesita Windows de 64 bits."
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Section "VeltraTempolan" SecPrograma
    SectionIn RO
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\Desinstalar.exe"
    WriteRegStr HKLM "Software\VeltraTempolan" "Carpeta" "$INSTDIR"
    !define UNINST "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltraTempolan"
    WriteRegStr HKLM "${UNINST}" "DisplayName" "VeltraTempolan"
    WriteRegStr HKLM "${UNINST}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST}" "Publisher" "VeltraTempolan"
    WriteRegStr HKLM "${UNINST}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINST}" "UninstallString" '"$INSTDIR\Desinstalar.exe"'
    WriteRegStr HKLM "${UNINST}" "QuietUninstallString" '"$INSTDIR\Desinstalar.exe" /S'
    WriteRegDWORD HKLM "${UNINST}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST}" "NoRepair" 1
    CreateDirectory "$SMPROGRAMS\VeltraTempolan"
    CreateShortcut "$SMPROGRAMS\VeltraTempolan\VeltraTempolan.lnk" "$INSTDIR\VeltraTempolan.exe" \
        "" "$INSTDIR\VeltraTempolan.exe" 0 SW_SHOWNORMAL "" "Intercambio de datos entre Tempolan y Veltra"
    CreateShortcut "$SMPROGRAMS\VeltraTempolan\Ayuda de VeltraTempolan.lnk" "$INSTDIR\VELTRA.chm"
    CreateShortcut "$SMPROGRAMS\VeltraTempolan\Desinstalar VeltraTempolan.lnk" "$INSTDIR\Desinstalar.exe"
SectionEnd

; Only what was installed goes: Tempolan.ini (Tempolan's result file) and the working
; folder C:\TLTEMP with its tables are the school's and stay.
Section "Uninstall"
    SetShellVarContext all
    SetRegView 64
    !include "${FILELIST}"
    Delete "$INSTDIR\Desinstalar.exe"
    RMDir "$INSTDIR\platforms"
    RMDir "$INSTDIR\styles"
    RMDir "$INSTDIR\help"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\VeltraTempolan\VeltraTempolan.lnk"
    Delete "$SMPROGRAMS\VeltraTempolan\Ayuda de VeltraTempolan.lnk"
    Delete "$SMPROGRAMS\VeltraTempolan\Desinstalar VeltraTempolan.lnk"
    RMDir "$SMPROGRAMS\VeltraTempolan"
    DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltraTempolan"
    DeleteRegKey HKLM "Software\VeltraTempolan"
SectionEnd
