// The functions the module exports to its loader.
#pragma once

#include "platform/win32.h"

#if defined(_WIN32)
#define KLV_EXPORT extern "C"
#define KLV_STDAPI WINAPI
#else
#define KLV_EXPORT extern "C" __attribute__((visibility("default")))
#define KLV_STDAPI
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
KLV_EXPORT HRESULT KLV_STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KLV_EXPORT HRESULT KLV_STDAPI DllCanUnloadNow();
