// The 27 drawing calls the plug-in hooks, listed once. Every table that
// runs parallel to the hook table is generated from this list: the hook
// table itself, the positions of the device's saved functions, the stand-ins
// for functions a driver leaves out, and the tables of the tests, the
// benchmark and the tools.
//
// KLV_HOOKED_DDI_FUNCTIONS(X) expands X(Name, index, position, failure) once
// per hooked function, in position order:
//   Name      the DDI function without its "Drv": Hook##Name is the hook,
//             PFN_Drv##Name its type and INDEX_Drv##Name its number;
//   index     that number, written out and checked against INDEX_Drv##Name;
//   position  the entry's place in the hook table and in
//             DeviceHookState::savedFunctions;
//   failure   what the DDI function returns when it fails.
//
// Example, the hooked function numbers in table order:
//
//   #define KLV_INDEX_OF(Name, index, position, failure) index,
//   const ULONG kHookedIndices[] = {KLV_HOOKED_DDI_FUNCTIONS(KLV_INDEX_OF)};
//   #undef KLV_INDEX_OF
#pragma once

#include "platform/ddi.h"

#define KLV_HOOKED_DDI_FUNCTIONS(X)                                                                          \
    X(RealizeBrush, 12, 0, FALSE)                                                                            \
    X(CopyBits, 19, 1, FALSE)                                                                                \
    X(BitBlt, 18, 2, FALSE)                                                                                  \
    X(StretchBlt, 20, 3, FALSE)                                                                              \
    X(StretchBltROP, 69, 4, FALSE)                                                                           \
    X(PlgBlt, 70, 5, FALSE)                                                                                  \
    X(TransparentBlt, 74, 6, FALSE)                                                                          \
    X(AlphaBlend, 71, 7, FALSE)                                                                              \
    X(GradientFill, 68, 8, FALSE)                                                                            \
    X(TextOut, 23, 9, FALSE)                                                                                 \
    X(StrokePath, 14, 10, FALSE)                                                                             \
    X(FillPath, 15, 11, FALSE)                                                                               \
    X(StrokeAndFillPath, 16, 12, FALSE)                                                                      \
    X(StartPage, 33, 13, FALSE)                                                                              \
    X(SendPage, 32, 14, FALSE)                                                                               \
    X(Escape, 24, 15, 0)                                                                                     \
    X(StartDoc, 35, 16, FALSE)                                                                               \
    X(EndDoc, 34, 17, FALSE)                                                                                 \
    X(QueryFont, 26, 18, nullptr)                                                                            \
    X(QueryFontTree, 27, 19, nullptr)                                                                        \
    X(QueryFontData, 28, 20, DDI_ERROR)                                                                      \
    X(QueryAdvanceWidths, 53, 21, FALSE)                                                                     \
    X(FontManagement, 47, 22, 0)                                                                             \
    X(GetGlyphMode, 37, 23, 0)                                                                               \
    X(IcmCreateColorTransform, 64, 24, nullptr)                                                              \
    X(IcmDeleteColorTransform, 65, 25, FALSE)                                                                \
    X(QueryDeviceSupport, 76, 26, FALSE)

namespace klv {

// Position of each hooked function in HookTable and savedFunctions.
enum HookPosition : unsigned {
#define KLV_HOOK_POSITION(Name, index, position, failure) kPos##Name = position,
    KLV_HOOKED_DDI_FUNCTIONS(KLV_HOOK_POSITION)
#undef KLV_HOOK_POSITION
};

#define KLV_HOOK_ONE(Name, index, position, failure) +1
constexpr unsigned kHookCount = 0 KLV_HOOKED_DDI_FUNCTIONS(KLV_HOOK_ONE);
#undef KLV_HOOK_ONE
static_assert(kHookCount == 27, "the plug-in hooks 27 drawing calls");

namespace hook_list_check {

struct Entry {
    ULONG writtenIndex;
    ULONG platformIndex;
    unsigned position;
};

#define KLV_HOOK_ENTRY(Name, index, position, failure) Entry{index, INDEX_Drv##Name, position},
constexpr Entry kEntries[] = {KLV_HOOKED_DDI_FUNCTIONS(KLV_HOOK_ENTRY)};
#undef KLV_HOOK_ENTRY

// Each entry's number is the platform's, positions count up from 0 in list
// order, and no function is listed twice.
constexpr bool ListIsConsistent() {
    for (unsigned i = 0; i < kHookCount; ++i) {
        if (kEntries[i].writtenIndex != kEntries[i].platformIndex || kEntries[i].position != i)
            return false;
        for (unsigned j = 0; j < i; ++j) {
            if (kEntries[j].writtenIndex == kEntries[i].writtenIndex)
                return false;
        }
    }
    return true;
}
static_assert(ListIsConsistent(), "a hooked function's number or position is wrong, or it is listed twice");

} // namespace hook_list_check

} // namespace klv
