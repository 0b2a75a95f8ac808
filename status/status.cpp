// The exported status records: member-wise copies, nothing more.
#include "status/status.h"

CTrayStatus::CTrayStatus(const CTrayStatus&) = default;
CTrayStatus& CTrayStatus::operator=(const CTrayStatus&) = default;

CConsumablesStatus::CConsumablesStatus(const CConsumablesStatus&) = default;
CConsumablesStatus& CConsumablesStatus::operator=(const CConsumablesStatus&) = default;

CGeneralPrinterStatus::CGeneralPrinterStatus(const CGeneralPrinterStatus&) = default;
CGeneralPrinterStatus& CGeneralPrinterStatus::operator=(const CGeneralPrinterStatus&) = default;

#if defined(_WIN32)
// Modules built with the platform's own compiler address a table of virtual
// functions at its first slot, while ours is labelled two pointers earlier
// (offset to top, type information). The copy constructors above reference
// the tables, so they are emitted in this file and the labels can be placed
// here: one per class, at the first slot, exported by the module-definition
// files under the other compiler's name.
#define KLV_STATUS_STR2(x) #x
#define KLV_STATUS_STR(x) KLV_STATUS_STR2(x)
#define KLV_STATUS_SYM(name) KLV_STATUS_STR(__USER_LABEL_PREFIX__) #name
#define KLV_STATUS_FIRST_SLOT(label, table)                                                                  \
    ".globl " KLV_STATUS_SYM(label) "\n"                                                                     \
                                    ".set " KLV_STATUS_SYM(label) ", " KLV_STATUS_SYM(                       \
                                        table) " + 2 * " KLV_STATUS_STR(__SIZEOF_POINTER__) "\n"

__asm__(KLV_STATUS_FIRST_SLOT(klv_CTrayStatus_vftable, _ZTV11CTrayStatus)
            KLV_STATUS_FIRST_SLOT(klv_CConsumablesStatus_vftable, _ZTV18CConsumablesStatus)
                KLV_STATUS_FIRST_SLOT(klv_CGeneralPrinterStatus_vftable, _ZTV21CGeneralPrinterStatus));
#endif
