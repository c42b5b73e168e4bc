; Setup program of the client: both programs with their skins, Start-menu and desktop shortcuts,
; an Add/Remove Programs entry and an uninstaller. Built by installer/CMakeLists.txt with
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.3.12 -DARCH=i686|x86_64 -DBINDIR=... -DICON=... -DOUTFILE=...
;
; Upgrades happen in place: the new files are unpacked into a staging folder first, the running
; client is ended, and only then are the old programs swapped for the new ones (rolled back if a
; swap fails), so a failed or cancelled setup leaves the installed version working. The user's
; files (config.bin, maincfg.ini, version.bin, mycache) are never touched by setup.
Unicode true
ManifestSupportedOS all
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION | ARCH | BINDIR | OUTFILE | ICON
  !error "define VERSION, ARCH, BINDIR, OUTFILE and ICON"
!endif

; Authenticode: with SIGNCMD (a command that signs the file it is given in place), the
; uninstaller is signed before it is packed, and the setup program once it is written.
!ifdef SIGNCMD
  !uninstfinalize '${SIGNCMD} "%1"'
  !finalize '${SIGNCMD} "%1"'
!endif

!define PRODUCT_NAME "青杉工作台客户端"
!define PUBLISHER "青杉云"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvane"
!define UNINSTALLER "uninst.exe"
!define STAGE ".setup-new"
; Folders "<RUNDIR_PREFIX><GUID>" in the installed folder hold the copy of a downloaded setup that
; does the update (see .onInit); each setup removes those left by earlier ones.
!define RUNDIR_PREFIX ".setup-run-"
; Full access for the system and the administrators only, inherited by what is put inside.
!define ADMIN_ONLY_SDDL "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
!if "${ARCH}" == "x86_64"
  !define SECURITY_ATTRIBUTES_SIZE 24
!else
  !define SECURITY_ATTRIBUTES_SIZE 12
!endif

; The folder of the update whose downloaded setup program started this copy (empty otherwise).
Var UpdateDir
; The platform server's address for maincfg.ini: /SERVERURL= or the directory page's field
; (empty: an existing maincfg.ini stays as it is, and none is written).
Var ServerUrl
Var ServerUrlField
Var ServerUrlGiven
; 1 when the client is to be started again at the end: setup ended a running one, or the updater
; started setup (the client that started the updater is ended for the update).
Var RestartClient

!if "${ARCH}" == "x86_64"
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\quorvane"
!else
  Target x86-unicode
  InstallDir "$PROGRAMFILES\quorvane"
!endif
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT_NAME} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"
!include "Sections.nsh"
!include "${__FILEDIR__}\client_control.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\quorvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "启动${PRODUCT_NAME}"

!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_SHOW DirectoryShow
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "默认只删除程序文件；勾选下面一项会同时删除账号、设置和缓存。"
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
!if "${ARCH}" == "x86_64"
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "此安装程序只能在 64 位 Windows 上运行。" /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}
  SetRegView 64
!endif
  ; An address given for maincfg.ini must be one the client takes; checked before anything is
  ; touched. Exit code 7 when it is not.
  Call ServerUrlOption
  ${If} $ServerUrlGiven == "absent"
    StrCpy $ServerUrl ""
  ${ElseIf} $ServerUrl == ""
    StrCpy $R1 "(空)"
    Goto bad_server_url
  ${Else}
    Push $ServerUrl
    Call CheckServerUrl
    Pop $R1
    ${If} $R1 != ""
    bad_server_url:
      MessageBox MB_OK|MB_ICONSTOP "服务器地址无效：$R1$\r$\n地址须以 http:// 或 https:// 开头、带主机名，且不超过 198 个字符。" /SD IDOK
      SetErrorLevel 7
      Quit
    ${EndIf}
  ${EndIf}
  ; The updater downloads us as "newupgrade.exe" into the installed folder and starts us there;
  ; such an update runs without pages and into that very folder. A "newupgrade.exe" left there
  ; would be offered to the updater again, so the work is done by a copy of this program, which
  ; removes the download when it succeeded (a running program cannot be deleted). The copy runs
  ; elevated, so it must lie where no program at normal rights can swap it between the copy and
  ; the start: a folder made here and now, under a name nobody can guess, inside the installed
  ; folder (which only administrators may write), with an access list that admits administrators
  ; and the system alone. CreateDirectory fails for a name that exists, so no folder made by
  ; someone else is ever used. If no copy can be made, the update runs in place.
  StrCpy $RestartClient 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/UPDATEDIR=" $R1
  ${IfNot} ${Errors}
    SetSilent silent
    StrCpy $INSTDIR $R1
    StrCpy $UpdateDir $R1
    StrCpy $RestartClient 1
  ${ElseIf} $EXEFILE == "newupgrade.exe"
    SetSilent silent
    StrCpy $INSTDIR $EXEDIR
    StrCpy $RestartClient 1
    Call MakeRunFolder
    ${If} $R2 != ""
      ClearErrors
      CopyFiles /SILENT /FILESONLY "$EXEPATH" "$R2\setup.exe"
      ${IfNot} ${Errors}
        Exec '"$R2\setup.exe" /S /UPDATEDIR="$EXEDIR"'
        ${IfNot} ${Errors}
          SetErrorLevel 0
          Quit
        ${EndIf}
      ${EndIf}
      RMDir /r $R2
    ${EndIf}
  ${EndIf}
FunctionEnd

; The value of /SERVERURL= on the command line (GetOptions would end it at the "/" of "http://")
; into $ServerUrl, and "given" or "absent" into $ServerUrlGiven. The value ends at a space unless it is quoted,
; as /SERVERURL="..." or "/SERVERURL=...".
Function ServerUrlOption
  Push $0
  Push $1
  Push $2
  Push $3
  ${GetParameters} $0
  StrCpy $1 0
  StrCpy $3 "absent"
  ${Do}
    StrCpy $2 $0 11 $1
    ${If} $2 == ""
      StrCpy $2 ""
      ${Break}
    ${EndIf}
    ${If} $2 == "/SERVERURL="
      ; Only where an option starts: at the beginning, or after a space or an opening quote.
      StrCpy $2 " "
      ${If} $1 > 0
        IntOp $2 $1 - 1
        StrCpy $2 $0 1 $2
      ${EndIf}
      ${If} $2 == " "
      ${OrIf} $2 == '"'
        StrCpy $3 "given"
        IntOp $1 $1 + 11
        ${Break}
      ${EndIf}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  StrCpy $2 ""
  ${If} $3 == "given"
    StrCpy $0 $0 "" $1
    StrCpy $2 $0 1
    ${If} $2 == '"'
      StrCpy $0 $0 "" 1
    ${EndIf}
    StrCpy $1 0
    ${Do}
      StrCpy $2 $0 1 $1
      ${If} $2 == ""
      ${OrIf} $2 == '"'
      ${OrIf} $2 == " "
        ${Break}
      ${EndIf}
      IntOp $1 $1 + 1
    ${Loop}
    StrCpy $2 $0 $1
  ${EndIf}
  StrCpy $ServerUrl $2
  StrCpy $ServerUrlGiven $3
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Checks the address on the stack; leaves "" on the stack when the client would take it as the
; server's base URL, else the address itself. Taken: "http://" or "https://" (any letter case),
; then a host (not empty, not starting with "/", ":", "?", "#", "@"), at most 198 characters as
; the client reads, and only the characters an address is written with (nothing that could
; break the settings line or be taken for something else).
Function CheckServerUrl
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrLen $1 $0
  ${If} $1 > 198
    Goto bad
  ${EndIf}
  StrCpy $2 $0 7
  StrCpy $3 $0 8
  ${If} $2 == "http://"
    StrCpy $2 7
  ${ElseIf} $3 == "https://"
    StrCpy $2 8
  ${Else}
    Goto bad
  ${EndIf}
  StrCpy $3 $0 1 $2
  ${If} $3 == ""
  ${OrIf} $3 == "/"
  ${OrIf} $3 == ":"
  ${OrIf} $3 == "?"
  ${OrIf} $3 == "#"
  ${OrIf} $3 == "@"
    Goto bad
  ${EndIf}
  StrCpy $2 0
  ${Do}
    StrCpy $3 $0 1 $2
    ${If} $3 == ""
      ${Break}
    ${EndIf}
    ; One of the characters an address may hold (quotes, spaces, controls and "<>\^`{|}" not).
    StrCpy $1 0
    ${Do}
      StrCpy $4 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~:/?#[]@!$$&()*+,;=%" 1 $1
      ${If} $4 == ""
        Goto bad
      ${EndIf}
      ${If} $4 S== $3
        ${Break}
      ${EndIf}
      IntOp $1 $1 + 1
    ${Loop}
    IntOp $2 $2 + 1
  ${Loop}
  StrCpy $0 ""
  Goto done
bad:
done:
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The directory page carries one more, optional field: the server address for maincfg.ini.
Function DirectoryShow
  FindWindow $0 "#32770" "" $HWNDPARENT
  ; Placed in dialog units, as the page's own controls are, so it scales with them.
  System::Call '*(i 0, i 30, i 293, i 40)p.r5'
  System::Call 'user32::MapDialogRect(p r0, p r5)'
  System::Call '*$5(i .r6, i .r7, i .r8, i .r9)'
  IntOp $8 $8 - $6
  IntOp $9 $9 - $7
  System::Call 'user32::CreateWindowExW(i 0, w "STATIC", w "服务器地址（可选，例如 https://platform.example.com）：", \
                i 0x50000000, i r6, i r7, i r8, i r9, p r0, p 0, p 0, p 0)p.r1'
  System::Call '*$5(i 0, i 42, i 293, i 55)'
  System::Call 'user32::MapDialogRect(p r0, p r5)'
  System::Call '*$5(i .r6, i .r7, i .r8, i .r9)'
  System::Free $5
  IntOp $8 $8 - $6
  IntOp $9 $9 - $7
  System::Call 'user32::CreateWindowExW(i 0x200, w "EDIT", w "$ServerUrl", i 0x50010080, i r6, i r7, i r8, i r9, \
                p r0, p 0, p 0, p 0)p.r2'
  StrCpy $ServerUrlField $2
  SendMessage $HWNDPARENT ${WM_GETFONT} 0 0 $3
  SendMessage $1 ${WM_SETFONT} $3 1
  SendMessage $2 ${WM_SETFONT} $3 1
FunctionEnd

Function DirectoryLeave
  System::Call 'user32::GetWindowTextW(p $ServerUrlField, w .r0, i ${NSIS_MAX_STRLEN})'
  ${If} $0 != ""
    Push $0
    Call CheckServerUrl
    Pop $1
    ${If} $1 != ""
      MessageBox MB_OK|MB_ICONEXCLAMATION "服务器地址无效：$1$\r$\n地址须以 http:// 或 https:// 开头、带主机名，且不超过 198 个字符。"
      Abort
    ${EndIf}
  ${EndIf}
  StrCpy $ServerUrl $0
FunctionEnd

; $R2 = a new folder "$EXEDIR\${RUNDIR_PREFIX}<GUID>" that only administrators can write, or ""
; when none could be made.
Function MakeRunFolder
  StrCpy $R2 ""
  System::Call 'ole32::CoCreateGuid(g .r3) i .r5'
  ${If} $5 != 0
    Return
  ${EndIf}
  StrCpy $R3 "$EXEDIR\${RUNDIR_PREFIX}$3"
  StrCpy $4 0
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${ADMIN_ONLY_SDDL}", i 1, *p .r4, p 0) i .r5'
  ${If} $5 == 0
    Return
  ${EndIf}
  ; SECURITY_ATTRIBUTES: length, (padding on 64-bit), the descriptor, not inheritable.
!if "${ARCH}" == "x86_64"
  System::Call '*(i ${SECURITY_ATTRIBUTES_SIZE}, i 0, p r4, i 0, i 0) p .r6'
!else
  System::Call '*(i ${SECURITY_ATTRIBUTES_SIZE}, p r4, i 0) p .r6'
!endif
  System::Call 'kernel32::CreateDirectoryW(w "$R3", p r6) i .r5'
  System::Free $6
  System::Call 'kernel32::LocalFree(p r4)'
  ${If} $5 != 0
    StrCpy $R2 $R3
  ${EndIf}
FunctionEnd

; Removes the run folders of earlier updates (each setup copy is still running when it ends, so
; it cannot take its own away), all but the one this program runs from.
Function DropRunFolders
  FindFirst $0 $1 "$INSTDIR\${RUNDIR_PREFIX}*"
  ${DoWhile} $1 != ""
    ${If} "$INSTDIR\$1" != $EXEDIR
      RMDir /r "$INSTDIR\$1"
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
FunctionEnd

; Starts the installed client again (without "NoLogin", so a remembered account signs in as
; usual) when setup ended it or the updater started setup.
Function RestartClient
  ${If} $RestartClient == 1
  ${AndIf} ${FileExists} "$INSTDIR\quorvane.exe"
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\quorvane.exe"'
    StrCpy $RestartClient 0
  ${EndIf}
FunctionEnd

; Swaps $R0 (a file or folder name) from the staging folder into $INSTDIR, keeping the old one as
; "$R0.old". Sets $R9 to "fail" when the swap could not be made; nothing of $R0 is lost then.
Function SwapIn
  Delete "$INSTDIR\$R0.old"
  RMDir /r "$INSTDIR\$R0.old"
  ClearErrors
  ${If} ${FileExists} "$INSTDIR\$R0"
    Rename "$INSTDIR\$R0" "$INSTDIR\$R0.old"
    ${If} ${Errors}
      StrCpy $R9 "fail"
      Return
    ${EndIf}
  ${EndIf}
  Rename "$INSTDIR\${STAGE}\$R0" "$INSTDIR\$R0"
  ${If} ${Errors}
    Rename "$INSTDIR\$R0.old" "$INSTDIR\$R0"
    StrCpy $R9 "fail"
  ${EndIf}
FunctionEnd

; Undoes a completed SwapIn of $R0.
Function SwapBack
  ${If} ${FileExists} "$INSTDIR\$R0.old"
    Delete "$INSTDIR\$R0"
    RMDir /r "$INSTDIR\$R0"
    Rename "$INSTDIR\$R0.old" "$INSTDIR\$R0"
  ${EndIf}
FunctionEnd

; Removes the "$R0.old" copies; the updater that started us may still hold its old program for a
; moment after it started us, so a locked copy is retried briefly and otherwise left for next time.
Function DropOld
  StrCpy $R8 0
  ${Do}
    Delete "$INSTDIR\$R0.old"
    RMDir /r "$INSTDIR\$R0.old"
    ${IfNot} ${FileExists} "$INSTDIR\$R0.old"
      ${Break}
    ${EndIf}
    IntOp $R8 $R8 + 1
    ${If} $R8 > 20
      ${Break}
    ${EndIf}
    Sleep 250
  ${Loop}
FunctionEnd

Section "-install"
  SetShellVarContext all
  CreateDirectory "$INSTDIR"
  RMDir /r "$INSTDIR\${STAGE}"
  ClearErrors
  SetOutPath "$INSTDIR\${STAGE}"
  File "${BINDIR}\quorvane.exe"
  File "${BINDIR}\quorvupdate.exe"
  SetOutPath "$INSTDIR\${STAGE}\res"
  File /r "${BINDIR}\res\*.*"
  SetOutPath "$INSTDIR"
  ${If} ${Errors}
    RMDir /r "$INSTDIR\${STAGE}"
    DetailPrint "无法写入 $INSTDIR"
    MessageBox MB_OK|MB_ICONSTOP "无法写入安装目录 $INSTDIR，原有版本保持不变。" /SD IDOK
    SetErrorLevel 4
    Abort
  ${EndIf}

  Call EndRunningClient
  ${If} $0 != "ok"
    RMDir /r "$INSTDIR\${STAGE}"
    SetErrorLevel 5
    Abort "${PRODUCT_NAME}仍在运行，安装已取消。"
  ${EndIf}
  ${If} $ClientWasRunning == 1
    StrCpy $RestartClient 1
  ${EndIf}

  StrCpy $R9 ""
  StrCpy $R0 "quorvane.exe"
  Call SwapIn
  ${If} $R9 == ""
    StrCpy $R0 "quorvupdate.exe"
    Call SwapIn
    ${If} $R9 == ""
      StrCpy $R0 "res"
      Call SwapIn
      ${If} $R9 != ""
        StrCpy $R0 "quorvupdate.exe"
        Call SwapBack
      ${EndIf}
    ${EndIf}
    ${If} $R9 != ""
      StrCpy $R0 "quorvane.exe"
      Call SwapBack
    ${EndIf}
  ${EndIf}
  RMDir /r "$INSTDIR\${STAGE}"
  ${If} $R9 != ""
    MessageBox MB_OK|MB_ICONSTOP "无法替换程序文件，原有版本保持不变。" /SD IDOK
    ; The old version is in place again: its user gets it back.
    Call RestartClient
    SetErrorLevel 6
    Abort "无法替换程序文件。"
  ${EndIf}
  StrCpy $R0 "quorvane.exe"
  Call DropOld
  StrCpy $R0 "quorvupdate.exe"
  Call DropOld
  StrCpy $R0 "res"
  Call DropOld
  ${If} $UpdateDir != ""
    ; The download that started us has done its work (see .onInit); it may take a moment to end.
    StrCpy $R8 0
    ${Do}
      Delete "$UpdateDir\newupgrade.exe"
      ${IfNot} ${FileExists} "$UpdateDir\newupgrade.exe"
      ${OrIf} $R8 > 40
        ${Break}
      ${EndIf}
      IntOp $R8 $R8 + 1
      Sleep 250
    ${Loop}
    ; This copy and its folder go with the next setup, or at the next restart.
    System::Call 'kernel32::MoveFileExW(w "$EXEPATH", p 0, i 4)'
    System::Call 'kernel32::MoveFileExW(w "$EXEDIR", p 0, i 4)'
  ${EndIf}
  Call DropRunFolders

  ; The server address, when one was given: an upgrade without one keeps the file as it is.
  ${If} $ServerUrl != ""
    WriteINIStr "$INSTDIR\maincfg.ini" "cloud_client" "url" "$ServerUrl"
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "$SMPROGRAMS\${PRODUCT_NAME}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}\${PRODUCT_NAME}.lnk" "$INSTDIR\quorvane.exe" "" "$INSTDIR\quorvane.exe" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}\卸载${PRODUCT_NAME}.lnk" "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$DESKTOP\${PRODUCT_NAME}.lnk" "$INSTDIR\quorvane.exe" "" "$INSTDIR\quorvane.exe" 0

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\quorvane.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR\res" "/S=0K" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0

  Call RestartClient
SectionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller

Section "-un.programs"
  SetShellVarContext all
  Call un.EndRunningClient
  ${If} $0 != "ok"
    SetErrorLevel 5
    Abort "${PRODUCT_NAME}仍在运行，卸载已取消。"
  ${EndIf}
  Delete "$INSTDIR\quorvane.exe"
  Delete "$INSTDIR\quorvupdate.exe"
  Delete "$INSTDIR\quorvane.exe.old"
  Delete "$INSTDIR\quorvupdate.exe.old"
  RMDir /r "$INSTDIR\res"
  RMDir /r "$INSTDIR\res.old"
  RMDir /r "$INSTDIR\${STAGE}"
  ; What the updater leaves beside itself: the download target, a fetched installer, the run
  ; folders of updates and its lock file (gone with its run, unless the power went).
  Delete "$INSTDIR\newupgrade"
  Delete "$INSTDIR\newupgrade.exe"
  Delete "$INSTDIR\quorvupdate.lock"
  FindFirst $0 $1 "$INSTDIR\${RUNDIR_PREFIX}*"
  ${DoWhile} $1 != ""
    RMDir /r "$INSTDIR\$1"
    FindNext $0 $1
  ${Loop}
  FindClose $0
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\${PRODUCT_NAME}\${PRODUCT_NAME}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT_NAME}\卸载${PRODUCT_NAME}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT_NAME}"
  Delete "$DESKTOP\${PRODUCT_NAME}.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

Section /o "un.删除用户数据（账号、设置、缓存）" SecUserData
  Delete "$INSTDIR\config.bin"
  Delete "$INSTDIR\maincfg.ini"
  Delete "$INSTDIR\version.bin"
  RMDir /r "$INSTDIR\mycache"
SectionEnd

Section "-un.folder"
  ; Only an empty folder goes: the user's files keep it otherwise.
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
!if "${ARCH}" == "x86_64"
  SetRegView 64
!endif
  ; IT staff remove the user's data too with: uninst.exe /S /REMOVEUSERDATA
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEUSERDATA" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUserData}
  ${EndIf}
FunctionEnd
