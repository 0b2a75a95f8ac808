// How the module's exports are declared and called on the platform it is
// built for: the one header outside platform/host that the plug-in asks
// about the platform's binary interface.
//
//   KLV_EXPORT          linkage of an exported function: C names, and on
//                       other hosts visible outside the shared library.
//   KLV_STDAPI          calling convention of the COM entry points.
//   KLV_EXPORTED_CLASS  marks a class whose members the module exports.
//   KLV_THISCALL        calling convention of member functions of modules
//                       built with the platform's own compiler, for plain
//                       functions that stand in for them.
//   KLV_ASM_NAME(name)  the assembler's name for the C symbol `name`.
//   KLV_STRINGIFY(x)    the text of x after macro expansion.
//   KLV_EXPORTS_LISTED_IN_DEF_FILE
//                       1 where a module-definition file lists what the
//                       module exports (so that a label placed in assembly
//                       can be exported under another compiler's name),
//                       0 where the export attributes above decide.
//
// Example:
//
//   KLV_EXPORT HRESULT KLV_STDAPI DllCanUnloadNow();
//   class KLV_EXPORTED_CLASS CTrayStatus { ... };
#pragma once

#include "platform/win32.h"

#if defined(KLV_EXPORT) || defined(KLV_STDAPI) || defined(KLV_EXPORTED_CLASS) || defined(KLV_THISCALL) ||    \
    defined(KLV_ASM_NAME) || defined(KLV_STRINGIFY) || defined(KLV_EXPORTS_LISTED_IN_DEF_FILE)
#error "platform/abi.h macros cannot be set from outside"
#endif

#if defined(_WIN32)
#define KLV_EXPORT extern "C"
#define KLV_STDAPI WINAPI
#define KLV_EXPORTED_CLASS
#define KLV_EXPORTS_LISTED_IN_DEF_FILE 1
#else
#define KLV_EXPORT extern "C" __attribute__((visibility("default")))
#define KLV_STDAPI
#define KLV_EXPORTED_CLASS __attribute__((visibility("default")))
#define KLV_EXPORTS_LISTED_IN_DEF_FILE 0
#endif

#if defined(_WIN32) && defined(__i386__)
#define KLV_THISCALL __attribute__((thiscall))
#else
#define KLV_THISCALL
#endif

#define KLV_STRINGIFY_TEXT(x) #x
#define KLV_STRINGIFY(x) KLV_STRINGIFY_TEXT(x)
#define KLV_ASM_NAME(name) KLV_STRINGIFY(__USER_LABEL_PREFIX__) #name
