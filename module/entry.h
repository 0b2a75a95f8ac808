// The functions the module exports to its loader.
#pragma once

#include "platform/abi.h"
#include "platform/win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
KLV_EXPORT HRESULT KLV_STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KLV_EXPORT HRESULT KLV_STDAPI DllCanUnloadNow();
