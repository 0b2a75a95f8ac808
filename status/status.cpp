// The exported status records: member-wise copies, nothing more.
#include "status/status.h"

CTrayStatus::CTrayStatus(const CTrayStatus&) = default;
CTrayStatus& CTrayStatus::operator=(const CTrayStatus&) = default;

CConsumablesStatus::CConsumablesStatus(const CConsumablesStatus&) = default;
CConsumablesStatus& CConsumablesStatus::operator=(const CConsumablesStatus&) = default;

CGeneralPrinterStatus::CGeneralPrinterStatus(const CGeneralPrinterStatus&) = default;
CGeneralPrinterStatus& CGeneralPrinterStatus::operator=(const CGeneralPrinterStatus&) = default;

#if KLV_EXPORTS_LISTED_IN_DEF_FILE
// Modules built with the platform's own compiler address a table of virtual
// functions at its first slot, while ours is labelled two pointers earlier
// (offset to top, type information). The copy constructors above reference
// the tables, so they are emitted in this file and the labels can be placed
// here: one per class, at the first slot, exported by the module-definition
// files under the other compiler's name.
#define KLV_STATUS_FIRST_SLOT(label, table)                                                                  \
    ".globl " KLV_ASM_NAME(label) "\n"                                                                       \
                                  ".set " KLV_ASM_NAME(label) ", " KLV_ASM_NAME(                             \
                                      table) " + 2 * " KLV_STRINGIFY(__SIZEOF_POINTER__) "\n"

__asm__(KLV_STATUS_FIRST_SLOT(klv_CTrayStatus_vftable, _ZTV11CTrayStatus)
            KLV_STATUS_FIRST_SLOT(klv_CConsumablesStatus_vftable, _ZTV18CConsumablesStatus)
                KLV_STATUS_FIRST_SLOT(klv_CGeneralPrinterStatus_vftable, _ZTV21CGeneralPrinterStatus));
#endif
