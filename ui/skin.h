// The one way client code includes the skin library. Its header brings in <windowsx.h>, whose
// GetFirstChild/GetNextSibling macros would silently rename the engine's DOM node methods in
// every file that sees both; the client never uses the two macros.
#pragma once
#include "UIlib.h"

#undef GetFirstChild
#undef GetNextSibling
