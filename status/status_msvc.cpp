// Copy constructors for modules built with the platform's own compiler.
//
// That compiler's constructors hand the constructed object back in the return
// register and its callers use it (a new-expression takes the object from
// there); ours return nothing and leave the register undefined. Each copy
// constructor is therefore exported under the other compiler's name through a
// function that runs ours and returns the object. Member functions of both
// compilers pass the object the same way (this-call on 32-bit x86, the first
// argument register on x64), and so do these functions.
#include "status/status.h"

#if defined(__i386__)
#define KLV_THISCALL __attribute__((thiscall))
#else
#define KLV_THISCALL
#endif

#define KLV_STATUS_STR2(x) #x
#define KLV_STATUS_STR(x) KLV_STATUS_STR2(x)
#define KLV_STATUS_SYM(name) KLV_STATUS_STR(__USER_LABEL_PREFIX__) #name

// Our complete-object copy constructors, reached by their symbols: a
// constructor cannot be named or have its address taken in C++.
extern "C" {
void KLV_THISCALL CopyTrayStatus(CTrayStatus* self,
                                 const CTrayStatus* other) __asm__(KLV_STATUS_SYM(_ZN11CTrayStatusC1ERKS_));
void KLV_THISCALL CopyConsumablesStatus(CConsumablesStatus* self, const CConsumablesStatus* other) __asm__(
    KLV_STATUS_SYM(_ZN18CConsumablesStatusC1ERKS_));
void KLV_THISCALL CopyGeneralPrinterStatus(
    CGeneralPrinterStatus* self,
    const CGeneralPrinterStatus* other) __asm__(KLV_STATUS_SYM(_ZN21CGeneralPrinterStatusC1ERKS_));
}

extern "C" {

CTrayStatus* KLV_THISCALL klv_CTrayStatus_copy(CTrayStatus* self, const CTrayStatus* other) {
    CopyTrayStatus(self, other);
    return self;
}

CConsumablesStatus* KLV_THISCALL klv_CConsumablesStatus_copy(CConsumablesStatus* self,
                                                             const CConsumablesStatus* other) {
    CopyConsumablesStatus(self, other);
    return self;
}

CGeneralPrinterStatus* KLV_THISCALL klv_CGeneralPrinterStatus_copy(CGeneralPrinterStatus* self,
                                                                   const CGeneralPrinterStatus* other) {
    CopyGeneralPrinterStatus(self, other);
    return self;
}

} // extern "C"
