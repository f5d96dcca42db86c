; The ZxVCam installer: the program, its kernel and libraries, its
; resources, the camera check tool and both capture filter modules (64- and
; 32-bit, each registered with the regsvr32 of its own bitness), the launch
; folder "Path" for the installing user, shortcuts, and an entry in the
; system's list of installed programs. /S installs silently.
;
; Built by the build (installer/CMakeLists.txt) with:
;   makensis -DVERSION=x.y.z -DSTAGE=<folder of the files> -DOUTFILE=<setup.exe>
;            [-DHAVE_DUMPREPORT] ZxVCamSetup.nsi
; STAGE holds the 64-bit files at its top and the 32-bit ones in x86\.

; Saved as UTF-8 with a byte-order mark, so makensis reads the Chinese
; texts as UTF-8 whatever the build machine's locale.
Unicode true
; A 64-bit installer: the program is 64-bit, and the 64-bit regsvr32 and
; registry are then the installer's own.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef STAGE
  !error "STAGE is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "ZxVCamSetup.exe"
!endif

!define PRODUCT "ZxVCam"
!define PUBLISHER "ZxVCam project"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam"
!define LAUNCH_KEY "SOFTWARE\orbian\ZXVCAM"
!define PROGRAM_MUTEX "Velmo_ZxVCam_2014-1-2"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the last installation went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"
; What was done stays readable on the files pages.
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

; --- pages, in the program's colours ------------------------------------------

!define MUI_ICON "${STAGE}\..\ZxVCam.ico"
!define MUI_UNICON "${STAGE}\..\ZxVCam.ico"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP "header.bmp"
!define MUI_WELCOMEFINISHPAGE_BITMAP "wizard.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "wizard.bmp"
!define MUI_ABORTWARNING
; The files page stays until Next, so what was done can be read.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_RUN "$INSTDIR\ZxVCam.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ZxVCam now"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ZxCamCheck.exe"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Check the camera now"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

; What this installer does, in place of the generic text (which wrapped
; the version onto a line of its own and asked to close every program).
!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
; The uninstaller's one choice, across the page's whole width (no
; description box, which left the box's text cut off), said plainly.
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "$(UnComponentsText)"
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString WelcomeText ${LANG_ENGLISH} "This installs ZxVCam and its camera, ZXVCam, for 64-bit and 32-bit programs.$\r$\n$\r$\nIf ZxVCam is running, Setup closes it first. Your settings, lists and recordings are kept.$\r$\n$\r$\nClick Next to continue."
LangString UnComponentsText ${LANG_ENGLISH} "ZxVCam and its camera are removed. Your recordings, lists and settings stay unless you tick the box below."
LangString UnComponentsText ${LANG_SIMPCHINESE} "将卸载 ZxVCam 及其摄像头。除非勾选下面的选项，您的录制文件、列表和设置都会保留。"
LangString WelcomeText ${LANG_SIMPCHINESE} "本向导将安装 ZxVCam 及其摄像头 ZXVCam，64 位和 32 位程序均可使用。$\r$\n$\r$\n如果 ZxVCam 正在运行，安装程序会先将其关闭。您的设置、列表和录制文件都会保留。$\r$\n$\r$\n单击“下一步”继续。"

; --- helpers --------------------------------------------------------------------

; Ends a running copy of the program (and of the check tool, which holds
; the filter): asked first, unless silent; then ended, and waited for
; until its single-instance mutex is gone (at most about 10 s).
!macro StopProgram UN
Function ${UN}StopProgram
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${PROGRAM_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OKCANCEL|MB_ICONINFORMATION "ZxVCam is running. It will be closed to go on." /SD IDOK IDOK +2
      Abort
    DetailPrint "Closing ZxVCam"
  ${EndIf}
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM ZxVCam.exe'
  Pop $1
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM ZxCamCheck.exe'
  Pop $1
  StrCpy $2 0
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${PROGRAM_MUTEX}") p .r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    IntOp $2 $2 + 1
    ${If} $2 > 100
      DetailPrint "ZxVCam did not end"
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
FunctionEnd
!macroend
!insertmacro StopProgram ""
!insertmacro StopProgram "un."

; regsvr32 of the given bitness on a module: /s, its exit code in $0.
!macro RegSvr REGSVR FLAGS MODULE
  ExecWait '"${REGSVR}" /s ${FLAGS} "${MODULE}"' $0
!macroend

; The 32-bit regsvr32 (SysWOW64), or "" where the system runs no 32-bit
; programs, in $R9.
!macro FindRegSvr32 UN
Function ${UN}FindRegSvr32
  StrCpy $R9 "$WINDIR\SysWOW64\regsvr32.exe"
  ${IfNot} ${FileExists} "$R9"
    StrCpy $R9 ""
  ${EndIf}
FunctionEnd
!macroend
!insertmacro FindRegSvr32 ""
!insertmacro FindRegSvr32 "un."

; --- install ----------------------------------------------------------------------

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "ZxVCam needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Section "ZxVCam" SecMain
  SectionIn RO
  SetRegView 64
  Call StopProgram

  ; An older installation's filters are unregistered before their modules
  ; are replaced.
  ${If} ${FileExists} "$INSTDIR\ZxCamSrc.dll"
    !insertmacro RegSvr "$SYSDIR\regsvr32.exe" "/u" "$INSTDIR\ZxCamSrc.dll"
  ${EndIf}
  Call FindRegSvr32
  ${If} $R9 != ""
  ${AndIf} ${FileExists} "$INSTDIR\x86\ZxCamSrc.dll"
    !insertmacro RegSvr "$R9" "/u" "$INSTDIR\x86\ZxCamSrc.dll"
  ${EndIf}

  ; The Media Foundation camera of an older installation leaves the
  ; virtual-camera service before its module is replaced.
  ${If} ${FileExists} "$INSTDIR\ZxCamMFReg.exe"
    nsExec::ExecToLog '"$INSTDIR\ZxCamMFReg.exe" --remove'
    Pop $0
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}\ZxVCam.exe"
  File "${STAGE}\ZxVKernal.dll"
  File "${STAGE}\ZxMusicCore.dll"
  File "${STAGE}\ZxModConfig.dll"
  File "${STAGE}\ZxLog.dll"
  File "${STAGE}\LibStream.dll"
  File "${STAGE}\LibWaveOut.dll"
  File "${STAGE}\ZxCamSrc.dll"
  File "${STAGE}\ZxCamCheck.exe"
!ifdef HAVE_DUMPREPORT
  File "${STAGE}\DumpReport.exe"
!endif
  File "${STAGE}\default.jpg"
  File "${STAGE}\Logo.png"
  File "${STAGE}\README.txt"
  File /r "${STAGE}\filter"
  File /r "${STAGE}\pendant"
  File /r "${STAGE}\skin"
  File /r "${STAGE}\wav"
  SetOutPath "$INSTDIR\x86"
  File "${STAGE}\x86\ZxCamSrc.dll"
  File "${STAGE}\x86\ZxCamCheck.exe"
  SetOutPath "$INSTDIR"

  ; Both filters, each with the regsvr32 of its bitness.
  DetailPrint "Registering the camera for 64-bit programs"
  !insertmacro RegSvr "$SYSDIR\regsvr32.exe" "" "$INSTDIR\ZxCamSrc.dll"
  ${If} $0 != 0
    DetailPrint "regsvr32 failed on ZxCamSrc.dll (exit $0)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "The camera could not be registered for 64-bit programs (regsvr32 exit $0)." /SD IDOK
    SetErrorLevel 3
  ${EndIf}
  Call FindRegSvr32
  ${If} $R9 != ""
    DetailPrint "Registering the camera for 32-bit programs"
    !insertmacro RegSvr "$R9" "" "$INSTDIR\x86\ZxCamSrc.dll"
    ${If} $0 != 0
      DetailPrint "regsvr32 (32-bit) failed on x86\ZxCamSrc.dll (exit $0)"
      MessageBox MB_OK|MB_ICONEXCLAMATION "The camera could not be registered for 32-bit programs (regsvr32 exit $0)." /SD IDOK
      SetErrorLevel 3
    ${EndIf}
  ${Else}
    DetailPrint "This system runs no 32-bit programs: the 32-bit camera is not registered"
  ${EndIf}

  ; The Media Foundation camera, for Windows 11's own camera list: its
  ; module registered for the machine (the Frame Server reads the machine's
  ; classes), then added to the virtual-camera service. Where there is no
  ; such service (before Windows 11) the tool says so and succeeds: the
  ; DirectShow camera serves every program there.
  File "${STAGE}\ZxCamMF.dll"
  File "${STAGE}\ZxCamMFReg.exe"
  !insertmacro RegSvr "$SYSDIR\regsvr32.exe" "" "$INSTDIR\ZxCamMF.dll"
  ${If} $0 != 0
    DetailPrint "regsvr32 failed on ZxCamMF.dll (exit $0): no Media Foundation camera"
  ${Else}
    nsExec::ExecToLog '"$INSTDIR\ZxCamMFReg.exe" --add'
    Pop $0
  ${EndIf}

  ; The folder the camera starts the program from, for this user (the
  ; filter reads it under HKEY_CURRENT_USER). Other users of the machine:
  ; see README.txt.
  WriteRegStr HKCU "${LAUNCH_KEY}" "Path" "$INSTDIR"

  ; Shortcuts for the installing user.
  SetShellVarContext current
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\ZxVCam.lnk" "$INSTDIR\ZxVCam.exe" "" "$INSTDIR\ZxVCam.exe" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Check the camera.lnk" "$INSTDIR\ZxCamCheck.exe" "" "$INSTDIR\ZxCamCheck.exe" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Check the camera (32-bit).lnk" "$INSTDIR\x86\ZxCamCheck.exe" "" "$INSTDIR\x86\ZxCamCheck.exe" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Uninstall ZxVCam.lnk" "$INSTDIR\Uninstall.exe"
  CreateShortCut "$DESKTOP\ZxVCam.lnk" "$INSTDIR\ZxVCam.exe" "" "$INSTDIR\ZxVCam.exe" 0

  ; The entry in the list of installed programs (one, whatever the
  ; version before).
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\ZxVCam.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

; --- uninstall --------------------------------------------------------------------

Function un.onInit
  SetRegView 64
FunctionEnd

Section "un.ZxVCam" UnSecMain
  SectionIn RO
  SetRegView 64
  Call un.StopProgram

  !insertmacro RegSvr "$SYSDIR\regsvr32.exe" "/u" "$INSTDIR\ZxCamSrc.dll"
  Call un.FindRegSvr32
  ${If} $R9 != ""
    !insertmacro RegSvr "$R9" "/u" "$INSTDIR\x86\ZxCamSrc.dll"
  ${EndIf}

  ; The Media Foundation camera leaves the service, then its class goes.
  nsExec::ExecToLog '"$INSTDIR\ZxCamMFReg.exe" --remove'
  Pop $0
  !insertmacro RegSvr "$SYSDIR\regsvr32.exe" "/u" "$INSTDIR\ZxCamMF.dll"
  Delete "$INSTDIR\ZxCamMF.dll"
  Delete "$INSTDIR\ZxCamMFReg.exe"

  ; The launch folder, and the key when nothing else is left in it.
  DeleteRegValue HKCU "${LAUNCH_KEY}" "Path"
  DeleteRegKey /ifempty HKCU "${LAUNCH_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\orbian"

  ; Exactly what was installed; anything the user put in the folder stays.
  Delete "$INSTDIR\ZxVCam.exe"
  Delete "$INSTDIR\ZxVKernal.dll"
  Delete "$INSTDIR\ZxMusicCore.dll"
  Delete "$INSTDIR\ZxModConfig.dll"
  Delete "$INSTDIR\ZxLog.dll"
  Delete "$INSTDIR\LibStream.dll"
  Delete "$INSTDIR\LibWaveOut.dll"
  Delete "$INSTDIR\ZxCamSrc.dll"
  Delete "$INSTDIR\ZxCamCheck.exe"
  Delete "$INSTDIR\DumpReport.exe"
  Delete "$INSTDIR\default.jpg"
  Delete "$INSTDIR\Logo.png"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\filter"
  RMDir /r "$INSTDIR\pendant"
  RMDir /r "$INSTDIR\skin"
  RMDir /r "$INSTDIR\wav"
  Delete "$INSTDIR\x86\ZxCamSrc.dll"
  Delete "$INSTDIR\x86\ZxCamCheck.exe"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext current
  Delete "$SMPROGRAMS\${PRODUCT}\ZxVCam.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Check the camera.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Check the camera (32-bit).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ZxVCam.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$DESKTOP\ZxVCam.lnk"

  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

; Unticked unless the user ticks it: this user's recordings, lists,
; settings, thumbnails and logs. Of the record folders the settings name
; (they may be any folder the user chose, even a drive's root), only the
; files the program names its recordings by go ("MMDD_HHMMSSmmmm" and the
; extension), and each folder only when it is empty then.
!macro RemoveRecordings KEY EXT
  ReadINIStr $0 "$APPDATA\ZxVCam\ZxVCam.ini" "VSRecord" "${KEY}"
  ${If} $0 != ""
    Delete "$0\????_??????????${EXT}"
    RMDir "$0"
  ${EndIf}
!macroend

Section /o "un.Also remove my recordings, lists and settings" UnSecData
  SetShellVarContext current
  !insertmacro RemoveRecordings "VideoDir" ".flv"
  !insertmacro RemoveRecordings "AudioDir" ".mp3"
  !insertmacro RemoveRecordings "ImageDir" ".bmp"
  RMDir /r "$APPDATA\ZxVCam"
  RMDir /r "$LOCALAPPDATA\ZxVCam"
SectionEnd
