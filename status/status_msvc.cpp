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

// Our complete-object copy constructors, reached by their symbols: a
// constructor cannot be named or have its address taken in C++.
extern "C" {
void KLV_THISCALL CopyTrayStatus(CTrayStatus* self,
                                 const CTrayStatus* other) __asm__(KLV_ASM_NAME(_ZN11CTrayStatusC1ERKS_));
void KLV_THISCALL CopyConsumablesStatus(CConsumablesStatus* self, const CConsumablesStatus* other) __asm__(
    KLV_ASM_NAME(_ZN18CConsumablesStatusC1ERKS_));
void KLV_THISCALL CopyGeneralPrinterStatus(
    CGeneralPrinterStatus* self,
    const CGeneralPrinterStatus* other) __asm__(KLV_ASM_NAME(_ZN21CGeneralPrinterStatusC1ERKS_));
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
