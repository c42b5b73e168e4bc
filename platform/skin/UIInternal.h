// Library-internal bookkeeping shared between the source files (not part of the interface).
#pragma once

#include <windows.h>

namespace DuiLib {
namespace Internal {

// Heap records the library hands to windows by pointer in a message (the menu command).
// Only registered pointers are delivered or freed, so a forged message cannot make a
// window dereference or free an arbitrary address.
void RegisterRecord(void* p);
bool IsRecord(void* p);
bool ForgetRecord(void* p);   // true when p was registered

// True for windows drawn by a paint manager of this library.
bool IsSkinnedWindow(HWND hWnd);

// A start-up mark "<what>:<detail>" (detail: the last path part) for the start-up bench.
void Mark(const char* what, const wchar_t* detail = NULL);

} // namespace Internal
} // namespace DuiLib
