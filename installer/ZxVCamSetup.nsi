; The ZxVCam installer: the program, its kernel and libraries, its
; resources, the camera check tool and both capture filter modules (64- and
; 32-bit, each registered with the regsvr32 of its own bitness), the launch
; folder "Path" for every user and for the installing one, shortcuts for all
; users, and an entry in the system's list of installed programs. /S
; installs silently; /S /RUN also starts the program afterwards, as the
; finish page's "Start ZxVCam now" does.
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
; Above 100 % the pages show the pictures drawn at twice the size, scaled
; down to fit (ScaledPictures), not the small ones scaled up.
!define MUI_CUSTOMFUNCTION_GUIINIT ScaledPictures
!define MUI_CUSTOMFUNCTION_UNGUIINIT un.ScaledPictures
!define MUI_ABORTWARNING
; The files page stays until Next, so what was done can be read.
!define MUI_FINISHPAGE_NOAUTOCLOSE
; Started as the interactive user, un-elevated, never with the installer's
; rights (StartProgramAsUser).
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(FinishRun)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgramAsUser
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ZxCamCheck.exe"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(FinishCheck)"
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

; Every text the pages, messages, details and shortcuts show, in both
; languages.
LangString FinishRun ${LANG_ENGLISH} "Start ZxVCam now"
LangString FinishRun ${LANG_SIMPCHINESE} "立即启动 ZxVCam"
LangString FinishCheck ${LANG_ENGLISH} "Check the camera now"
LangString FinishCheck ${LANG_SIMPCHINESE} "立即检查摄像头"
LangString MsgRunning ${LANG_ENGLISH} "ZxVCam is running. It will be closed to go on."
LangString MsgRunning ${LANG_SIMPCHINESE} "ZxVCam 正在运行，将先关闭它再继续。"
LangString DetClosing ${LANG_ENGLISH} "Closing ZxVCam"
LangString DetClosing ${LANG_SIMPCHINESE} "正在关闭 ZxVCam"
LangString DetNotEnded ${LANG_ENGLISH} "ZxVCam did not end"
LangString DetNotEnded ${LANG_SIMPCHINESE} "ZxVCam 未能退出"
LangString DetHeldOld ${LANG_ENGLISH} "in use by a running program: the old file is removed at the next restart"
LangString DetHeldOld ${LANG_SIMPCHINESE} "正被运行中的程序使用：旧文件将在下次重启时删除"
LangString HeldInUse ${LANG_ENGLISH} "in use; the camera uses the new file now, the old one is removed at the next restart."
LangString HeldInUse ${LANG_SIMPCHINESE} "正在使用；摄像头现在使用新文件，旧文件将在下次重启时删除。"
LangString DetLocked ${LANG_ENGLISH} "locked: the new file replaces it at the next restart"
LangString DetLocked ${LANG_SIMPCHINESE} "已锁定：新文件将在下次重启时替换它"
LangString HeldLocked ${LANG_ENGLISH} "locked; the camera keeps the old file until the next restart, then uses the new one."
LangString HeldLocked ${LANG_SIMPCHINESE} "已锁定；摄像头在下次重启前继续使用旧文件，重启后使用新文件。"
LangString DetHeldRemoved ${LANG_ENGLISH} "in use by a running program: it is removed at the next restart"
LangString DetHeldRemoved ${LANG_SIMPCHINESE} "正被运行中的程序使用：将在下次重启时删除"
LangString HeldRemoved ${LANG_ENGLISH} "in use; the camera is no longer registered, the file is removed at the next restart."
LangString HeldRemoved ${LANG_SIMPCHINESE} "正在使用；摄像头已不再注册，文件将在下次重启时删除。"
LangString MsgNeeds64 ${LANG_ENGLISH} "ZxVCam needs 64-bit Windows."
LangString MsgNeeds64 ${LANG_SIMPCHINESE} "ZxVCam 需要 64 位 Windows。"
LangString DetStarting ${LANG_ENGLISH} "Starting ZxVCam as the signed-in user:"
LangString DetStarting ${LANG_SIMPCHINESE} "以当前登录用户身份启动 ZxVCam："
LangString MsgStartFailed ${LANG_ENGLISH} "ZxVCam could not be started for the signed-in user. Start it from the Start menu."
LangString MsgStartFailed ${LANG_SIMPCHINESE} "无法以当前登录用户身份启动 ZxVCam。请从“开始”菜单启动它。"
LangString Label64 ${LANG_ENGLISH} "64-bit camera"
LangString Label64 ${LANG_SIMPCHINESE} "64 位摄像头"
LangString Label32 ${LANG_ENGLISH} "32-bit camera"
LangString Label32 ${LANG_SIMPCHINESE} "32 位摄像头"
LangString LabelMF ${LANG_ENGLISH} "Windows 11 camera"
LangString LabelMF ${LANG_SIMPCHINESE} "Windows 11 摄像头"
LangString DetRegister64 ${LANG_ENGLISH} "Registering the camera for 64-bit programs"
LangString DetRegister64 ${LANG_SIMPCHINESE} "正在为 64 位程序注册摄像头"
LangString DetRegister32 ${LANG_ENGLISH} "Registering the camera for 32-bit programs"
LangString DetRegister32 ${LANG_SIMPCHINESE} "正在为 32 位程序注册摄像头"
LangString DetRegFailed ${LANG_ENGLISH} "Registration failed:"
LangString DetRegFailed ${LANG_SIMPCHINESE} "注册失败："
LangString MsgRegFailed64 ${LANG_ENGLISH} "The camera could not be registered for 64-bit programs."
LangString MsgRegFailed64 ${LANG_SIMPCHINESE} "无法为 64 位程序注册摄像头。"
LangString MsgRegFailed32 ${LANG_ENGLISH} "The camera could not be registered for 32-bit programs."
LangString MsgRegFailed32 ${LANG_SIMPCHINESE} "无法为 32 位程序注册摄像头。"
LangString DetNo32 ${LANG_ENGLISH} "This system runs no 32-bit programs: the 32-bit camera is not registered"
LangString DetNo32 ${LANG_SIMPCHINESE} "此系统不运行 32 位程序：未注册 32 位摄像头"
LangString DetNoMF ${LANG_ENGLISH} "no Media Foundation camera"
LangString DetNoMF ${LANG_SIMPCHINESE} "没有 Media Foundation 摄像头"
LangString LnkCheck ${LANG_ENGLISH} "Check the camera"
LangString LnkCheck ${LANG_SIMPCHINESE} "检查摄像头"
LangString LnkCheck32 ${LANG_ENGLISH} "Check the camera (32-bit)"
LangString LnkCheck32 ${LANG_SIMPCHINESE} "检查摄像头 (32 位)"
LangString LnkUninstall ${LANG_ENGLISH} "Uninstall ZxVCam"
LangString LnkUninstall ${LANG_SIMPCHINESE} "卸载 ZxVCam"
LangString MsgHeldRestart ${LANG_ENGLISH} "A program holds the camera. Restart Windows to finish the update of the camera:"
LangString MsgHeldRestart ${LANG_SIMPCHINESE} "有程序正在使用摄像头。请重启 Windows 以完成摄像头的更新："
LangString MsgHeldUpdated ${LANG_ENGLISH} "A program holds the camera. The camera is updated and works; the old file is removed at the next restart:"
LangString MsgHeldUpdated ${LANG_SIMPCHINESE} "有程序正在使用摄像头。摄像头已更新并可使用；旧文件将在下次重启时删除："
LangString MsgUnHeld ${LANG_ENGLISH} "ZxVCam is removed. A program still holds the camera; what it holds is removed at the next restart:"
LangString MsgUnHeld ${LANG_SIMPCHINESE} "ZxVCam 已卸载。仍有程序在使用摄像头；它占用的文件将在下次重启时删除："
LangString UnSecDataName ${LANG_ENGLISH} "Also remove my recordings, lists and settings"
LangString UnSecDataName ${LANG_SIMPCHINESE} "同时删除我的录制文件、列表和设置"

; --- helpers --------------------------------------------------------------------

; Ends a running copy of the program (and of the check tool, which holds
; the filter): asked first, unless silent; then ended, and waited for
; until its single-instance mutex is gone (at most about 10 s).
!macro StopProgram UN
Function ${UN}StopProgram
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${PROGRAM_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OKCANCEL|MB_ICONINFORMATION "$(MsgRunning)" /SD IDOK IDOK +2
      Abort
    DetailPrint "$(DetClosing)"
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
      DetailPrint "$(DetNotEnded)"
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
FunctionEnd
!macroend
!insertmacro StopProgram ""
!insertmacro StopProgram "un."

; On a screen above 100 %: the header and the welcome/finish side picture
; from the set drawn at twice the size. The pages have already put the 1x
; pictures in the plug-ins folder (the side picture is read from there when
; its page shows; the header is loaded again here).
!macro ScaledPictures UN
Function ${UN}ScaledPictures
  System::Call 'user32::GetDC(p 0) p .r1'
  System::Call 'gdi32::GetDeviceCaps(p r1, i 88) i .r0'
  System::Call 'user32::ReleaseDC(p 0, p r1)'
  ${If} $0 > 96
    File "/oname=$PLUGINSDIR\modern-wizard.bmp" "wizard@2x.bmp"
    File "/oname=$PLUGINSDIR\modern-header.bmp" "header@2x.bmp"
    SetBrandingImage /IMGID=1046 /RESIZETOFIT "$PLUGINSDIR\modern-header.bmp"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ScaledPictures ""
!insertmacro ScaledPictures "un."

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

; The launch folder "Path" machine-wide, in both registry views (the 64-bit
; filter reads the 64-bit view, the 32-bit one the 32-bit view): the camera
; of every user finds the program there when the user has no value of his
; own, and only administrators can change it.
!macro WriteMachinePath
  SetRegView 32
  WriteRegStr HKLM "${LAUNCH_KEY}" "Path" "$INSTDIR"
  SetRegView 64
  WriteRegStr HKLM "${LAUNCH_KEY}" "Path" "$INSTDIR"
!macroend

!macro DeleteMachinePath
  SetRegView 32
  DeleteRegValue HKLM "${LAUNCH_KEY}" "Path"
  DeleteRegKey /ifempty HKLM "${LAUNCH_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\orbian"
  SetRegView 64
  DeleteRegValue HKLM "${LAUNCH_KEY}" "Path"
  DeleteRegKey /ifempty HKLM "${LAUNCH_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\orbian"
!macroend

; The shortcuts, in the context SetShellVarContext chose.
!macro DeleteShortcuts
  Delete "$SMPROGRAMS\${PRODUCT}\ZxVCam.lnk"
  ; Their names in either language: the language may differ from the
  ; one they were made in.
  Delete "$SMPROGRAMS\${PRODUCT}\Check the camera.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Check the camera (32-bit).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ZxVCam.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\检查摄像头.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\检查摄像头 (32 位).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\卸载 ZxVCam.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$DESKTOP\ZxVCam.lnk"
!macroend

; A camera module (ZxCamSrc.dll) into place, though a running video
; program (a browser, a call program with the camera open) may hold the old
; one. Windows lets a loaded module be renamed but neither overwritten nor
; deleted: a held module is renamed aside (NAME.oldN) and deleted at the
; next restart, and the new one takes its name at once, so the camera is
; registered with the new file and the programs that hold the old one keep
; using it until they close it. When even the rename fails, the new module
; waits beside it (NAME.new) and replaces it at the next restart.
; $HeldModules collects what waits for a restart.
Var HeldModules
Var NeedsRestart
!macro PlaceCameraModule SRC DEST LABEL
  ${If} ${FileExists} "${DEST}"
    ClearErrors
    Delete "${DEST}"
    ${If} ${Errors}
      ; Held: an aside name that is free (an earlier one may still be held).
      StrCpy $R8 1
      ${Do}
        StrCpy $R7 "${DEST}.old$R8"
        Delete "$R7"
        ${IfNot} ${FileExists} "$R7"
          ${Break}
        ${EndIf}
        IntOp $R8 $R8 + 1
      ${Loop}
      ClearErrors
      Rename "${DEST}" "$R7"
      ${IfNot} ${Errors}
        ; MOVEFILE_DELAY_UNTIL_REBOOT with no target: deleted at the restart.
        ; (Delete /REBOOTOK would ask for a restart on the finish page,
        ; which nothing here needs: the new module works at once.)
        System::Call 'kernel32::MoveFileExW(w "$R7", p 0, i 4) i .r0'
        DetailPrint "${LABEL}: $(DetHeldOld)"
        StrCpy $HeldModules "$HeldModules$\r$\n${LABEL}: $(HeldInUse)"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "${DEST}"
    ; Neither deleted nor renamed: the new module replaces it at the restart.
    File "/oname=${DEST}.new" "${SRC}"
    Rename /REBOOTOK "${DEST}.new" "${DEST}"
    DetailPrint "${LABEL}: $(DetLocked)"
    StrCpy $HeldModules "$HeldModules$\r$\n${LABEL}: $(HeldLocked)"
    StrCpy $NeedsRestart 1
  ${Else}
    File "/oname=${DEST}" "${SRC}"
  ${EndIf}
!macroend

; A camera module and what was set aside of it removed; a module still held
; by a running program goes at the next restart.
!macro RemoveCameraModule DEST LABEL
  Delete "${DEST}.old*"
  Delete "${DEST}.new"
  ClearErrors
  Delete "${DEST}"
  ${If} ${Errors}
  ${OrIf} ${FileExists} "${DEST}"
    Delete /REBOOTOK "${DEST}"
    DetailPrint "${LABEL}: $(DetHeldRemoved)"
    StrCpy $HeldModules "$HeldModules$\r$\n${LABEL}: $(HeldRemoved)"
  ${EndIf}
  ${If} ${FileExists} "${DEST}.old*"
    Delete /REBOOTOK "${DEST}.old*"
  ${EndIf}
!macroend

; --- install ----------------------------------------------------------------------

Var StartAfterInstall

; Chinese for any Chinese display language of Windows (Simplified or
; Traditional, any region), English for every other; the same rule as the
; program and the camera check.
!macro ChooseLanguage
  System::Call 'kernel32::GetUserDefaultUILanguage() i .r0'
  IntOp $0 $0 & 0x3FF
  ${If} $0 = 4
    StrCpy $LANGUAGE ${LANG_SIMPCHINESE}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
!macroend

Function .onInit
  !insertmacro ChooseLanguage
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "$(MsgNeeds64)" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/RUN" $R1
  ${IfNot} ${Errors}
    StrCpy $StartAfterInstall 1
  ${EndIf}
FunctionEnd

; Starts the program as the interactive user, un-elevated, through the
; desktop shell (ZxStartAsUser, carried by the installer): the program then
; has the user's rights, as if started from the Start menu, and not the
; installer's administrator rights (with which its shared objects and
; settings would be out of reach of the user's ordinary programs). When no
; shell runs, nothing is started and the user is told.
Function StartProgramAsUser
  InitPluginsDir
  File "/oname=$PLUGINSDIR\ZxStartAsUser.exe" "${STAGE}\..\ZxStartAsUser.exe"
  nsExec::ExecToStack '"$PLUGINSDIR\ZxStartAsUser.exe" "$INSTDIR\ZxVCam.exe"'
  Pop $0
  Pop $1
  DetailPrint "$(DetStarting) $1"
  ${If} $0 != 0
  ${AndIf} $0 != 1
  ${AndIf} $0 != 2
    MessageBox MB_OK|MB_ICONINFORMATION "$(MsgStartFailed)" /SD IDOK
  ${EndIf}
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
  StrCpy $HeldModules ""
  StrCpy $NeedsRestart 0
  File "${STAGE}\ZxVCam.exe"
  File "${STAGE}\ZxVKernal.dll"
  File "${STAGE}\ZxMusicCore.dll"
  File "${STAGE}\ZxModConfig.dll"
  File "${STAGE}\ZxLog.dll"
  File "${STAGE}\LibStream.dll"
  File "${STAGE}\LibWaveOut.dll"
  !insertmacro PlaceCameraModule "${STAGE}\ZxCamSrc.dll" "$INSTDIR\ZxCamSrc.dll" "ZxCamSrc.dll ($(Label64))"
  File "${STAGE}\ZxCamCheck.exe"
!ifdef HAVE_DUMPREPORT
  File "${STAGE}\DumpReport.exe"
!endif
  File "${STAGE}\default.jpg"
  File "${STAGE}\Logo.png"
  File "${STAGE}\README.txt"
  File "${STAGE}\help.html"
  File /r "${STAGE}\filter"
  File /r "${STAGE}\pendant"
  File /r "${STAGE}\skin"
  File /r "${STAGE}\wav"
  SetOutPath "$INSTDIR\x86"
  !insertmacro PlaceCameraModule "${STAGE}\x86\ZxCamSrc.dll" "$INSTDIR\x86\ZxCamSrc.dll" "x86\ZxCamSrc.dll ($(Label32))"
  File "${STAGE}\x86\ZxCamCheck.exe"
  SetOutPath "$INSTDIR"

  ; Both filters, each with the regsvr32 of its bitness.
  DetailPrint "$(DetRegister64)"
  !insertmacro RegSvr "$SYSDIR\regsvr32.exe" "" "$INSTDIR\ZxCamSrc.dll"
  ${If} $0 != 0
    DetailPrint "$(DetRegFailed) ZxCamSrc.dll (regsvr32: $0)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(MsgRegFailed64) (regsvr32: $0)" /SD IDOK
    SetErrorLevel 3
  ${EndIf}
  Call FindRegSvr32
  ${If} $R9 != ""
    DetailPrint "$(DetRegister32)"
    !insertmacro RegSvr "$R9" "" "$INSTDIR\x86\ZxCamSrc.dll"
    ${If} $0 != 0
      DetailPrint "$(DetRegFailed) x86\ZxCamSrc.dll (regsvr32: $0)"
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(MsgRegFailed32) (regsvr32: $0)" /SD IDOK
      SetErrorLevel 3
    ${EndIf}
  ${Else}
    DetailPrint "$(DetNo32)"
  ${EndIf}

  ; The Media Foundation camera, for Windows 11's own camera list: its
  ; module registered for the machine (the Frame Server reads the machine's
  ; classes), then added to the virtual-camera service. Where there is no
  ; such service (before Windows 11) the tool says so and succeeds: the
  ; DirectShow camera serves every program there. The Frame Server may hold
  ; the old module as a video program holds the filter.
  !insertmacro PlaceCameraModule "${STAGE}\ZxCamMF.dll" "$INSTDIR\ZxCamMF.dll" "ZxCamMF.dll ($(LabelMF))"
  File "${STAGE}\ZxCamMFReg.exe"
  !insertmacro RegSvr "$SYSDIR\regsvr32.exe" "" "$INSTDIR\ZxCamMF.dll"
  ${If} $0 != 0
    DetailPrint "$(DetRegFailed) ZxCamMF.dll (regsvr32: $0): $(DetNoMF)"
  ${Else}
    nsExec::ExecToLog '"$INSTDIR\ZxCamMFReg.exe" --add'
    Pop $0
  ${EndIf}

  ; The folder the camera starts the program from: machine-wide for every
  ; user, and for the installing user (whose own value comes first).
  !insertmacro WriteMachinePath
  WriteRegStr HKCU "${LAUNCH_KEY}" "Path" "$INSTDIR"

  ; Shortcuts for all users; those an older version made for the installing
  ; user alone go.
  SetShellVarContext current
  !insertmacro DeleteShortcuts
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\ZxVCam.lnk" "$INSTDIR\ZxVCam.exe" "" "$INSTDIR\ZxVCam.exe" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\$(LnkCheck).lnk" "$INSTDIR\ZxCamCheck.exe" "" "$INSTDIR\ZxCamCheck.exe" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\$(LnkCheck32).lnk" "$INSTDIR\x86\ZxCamCheck.exe" "" "$INSTDIR\x86\ZxCamCheck.exe" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\$(LnkUninstall).lnk" "$INSTDIR\Uninstall.exe"
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

  ${If} $HeldModules != ""
    ${If} $NeedsRestart == 1
      MessageBox MB_OK|MB_ICONINFORMATION "$(MsgHeldRestart)$HeldModules" /SD IDOK
    ${Else}
      MessageBox MB_OK|MB_ICONINFORMATION "$(MsgHeldUpdated)$HeldModules" /SD IDOK
    ${EndIf}
  ${EndIf}
  ${If} ${Silent}
  ${AndIf} $StartAfterInstall == 1
    Call StartProgramAsUser
  ${EndIf}
SectionEnd

; --- uninstall --------------------------------------------------------------------

Function un.onInit
  !insertmacro ChooseLanguage
  SetRegView 64
FunctionEnd

Section "un.ZxVCam" UnSecMain
  SectionIn RO
  SetRegView 64
  StrCpy $HeldModules ""
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
  !insertmacro RemoveCameraModule "$INSTDIR\ZxCamMF.dll" "ZxCamMF.dll ($(LabelMF))"
  Delete "$INSTDIR\ZxCamMFReg.exe"

  ; The launch folder, and the key when nothing else is left in it.
  !insertmacro DeleteMachinePath
  DeleteRegValue HKCU "${LAUNCH_KEY}" "Path"
  DeleteRegKey /ifempty HKCU "${LAUNCH_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\orbian"
  ; The uninstalling user's start with Windows, set in the setup dialog.
  DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "ZxVCam"

  ; Exactly what was installed; anything the user put in the folder stays.
  Delete "$INSTDIR\ZxVCam.exe"
  Delete "$INSTDIR\ZxVKernal.dll"
  Delete "$INSTDIR\ZxMusicCore.dll"
  Delete "$INSTDIR\ZxModConfig.dll"
  Delete "$INSTDIR\ZxLog.dll"
  Delete "$INSTDIR\LibStream.dll"
  Delete "$INSTDIR\LibWaveOut.dll"
  !insertmacro RemoveCameraModule "$INSTDIR\ZxCamSrc.dll" "ZxCamSrc.dll ($(Label64))"
  Delete "$INSTDIR\ZxCamCheck.exe"
  Delete "$INSTDIR\DumpReport.exe"
  Delete "$INSTDIR\default.jpg"
  Delete "$INSTDIR\Logo.png"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\help.html"
  RMDir /r "$INSTDIR\filter"
  RMDir /r "$INSTDIR\pendant"
  RMDir /r "$INSTDIR\skin"
  RMDir /r "$INSTDIR\wav"
  !insertmacro RemoveCameraModule "$INSTDIR\x86\ZxCamSrc.dll" "x86\ZxCamSrc.dll ($(Label32))"
  Delete "$INSTDIR\x86\ZxCamCheck.exe"
  RMDir /REBOOTOK "$INSTDIR\x86"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"

  ; Shortcuts for all users, and those of an older version for this user.
  SetShellVarContext all
  !insertmacro DeleteShortcuts
  SetShellVarContext current
  !insertmacro DeleteShortcuts

  DeleteRegKey HKLM "${UNINST_KEY}"

  ${If} $HeldModules != ""
    MessageBox MB_OK|MB_ICONINFORMATION "$(MsgUnHeld)$HeldModules" /SD IDOK
  ${EndIf}
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

Section /o "un.$(UnSecDataName)" UnSecData
  SetShellVarContext current
  !insertmacro RemoveRecordings "VideoDir" ".flv"
  !insertmacro RemoveRecordings "AudioDir" ".mp3"
  !insertmacro RemoveRecordings "ImageDir" ".bmp"
  RMDir /r "$APPDATA\ZxVCam"
  RMDir /r "$LOCALAPPDATA\ZxVCam"
SectionEnd
