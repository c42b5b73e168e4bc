; Ending a running client the way its user would, before its files are replaced or removed.
;
; The client's close button only hides its window, so WM_CLOSE is not the way out. The main
; window's exit path is the quit message the confirmed exit posts (WM_QUIT_CLIENT, wParam 1 =
; end, lParam 0 = no restart); a client still at its login dialog (same title) ends when that
; dialog is closed. A client is gone when its single-instance mutex is free, which its process
; holds until it ends.
!define CLIENT_TITLE "青杉工作台客户端"
!define CLIENT_MUTEX "lenmark20191202"
!define CLIENT_MAIN_CLASS "PXJMainFrame"
!define CLIENT_LOGIN_CLASS "LoginDlg"
!define WM_QUIT_CLIENT 0x46E
; How long one round of waiting for the client to end lasts (milliseconds).
!ifndef CLIENT_END_WAIT_MS
  !define CLIENT_END_WAIT_MS 20000
!endif

; 1 when _EndRunningClient found a client running (and so ended it), else 0.
Var ClientWasRunning

; $0 = 1 while some process holds the client's mutex, else 0.
!macro _ClientMutexHeld
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${CLIENT_MUTEX}") p.r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
!macroend

; Asks every client window to end, then waits for the mutex. $0 = "ok" when no client runs any
; more, "busy" when one is still running after the user gave up (silent: after one round).
!macro _EndRunningClient
  !insertmacro _ClientMutexHeld
  StrCpy $ClientWasRunning $0
  ${Do}
    StrCpy $1 0
    ${Do}
      !insertmacro _ClientMutexHeld
      ${If} $0 == 0
        ${Break}
      ${EndIf}
      ; Asked again every second: a client that was still starting may only now have its window.
      IntOp $2 $1 % 1000
      ${If} $2 == 0
        FindWindow $3 "${CLIENT_MAIN_CLASS}" "${CLIENT_TITLE}"
        ${If} $3 P<> 0
          System::Call 'user32::PostMessageW(p r3, i ${WM_QUIT_CLIENT}, p 1, p 0)'
        ${EndIf}
        FindWindow $3 "${CLIENT_LOGIN_CLASS}" "${CLIENT_TITLE}"
        ${If} $3 P<> 0
          System::Call 'user32::PostMessageW(p r3, i ${WM_CLOSE}, p 0, p 0)'
        ${EndIf}
      ${EndIf}
      ${If} $1 >= ${CLIENT_END_WAIT_MS}
        ${Break}
      ${EndIf}
      Sleep 200
      IntOp $1 $1 + 200
    ${Loop}
    ${If} $0 == 0
      StrCpy $0 "ok"
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${CLIENT_TITLE}正在运行，无法自动关闭。$\r$\n请从通知区域图标的菜单中退出客户端，然后点击“重试”。" /SD IDCANCEL IDRETRY retry
    StrCpy $0 "busy"
    ${Break}
    retry:
  ${Loop}
!macroend

Function EndRunningClient
  !insertmacro _EndRunningClient
FunctionEnd

Function un.EndRunningClient
  !insertmacro _EndRunningClient
FunctionEnd
