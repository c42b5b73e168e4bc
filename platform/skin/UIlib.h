// Skin library: our stand-in for the DirectUI library the client is written against.
// Win32 windows whose contents are a tree of lightweight controls built from XML skins.
//
//   CPaintManagerUI::SetInstance(hInst);
//   CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + _T("res\\res"));
//   class MyDlg : public WindowImplBase { ... GetSkinFile() returns _T("lm_Login.xml") ... };
//   dlg->Create(NULL, _T("title"), WS_POPUP | WS_VISIBLE, 0); dlg->ShowModal();
//
// Notifications reach Notify(TNotifyUI&) with the type text (DUI_MSGTYPE_*) and the sender.
#pragma once

#include <windows.h>
#include <windowsx.h>

#include "UIBase.h"
#include "UIManager.h"
#include "UIControls.h"
#include "UIMenu.h"
#include "WindowImplBase.h"
