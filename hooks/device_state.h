// The per-device block the plug-in gives the driver at EnablePDEV. Private
// to the plug-in; the driver keeps it as DEVOBJ.pdevOEM.
#pragma once

#include "hooks/hook_list.h"
#include "platform/printoem.h"

namespace klv {

constexpr unsigned kDocumentNameChars = 129;

struct DeviceHookState {
    // The driver's own function for each hook table position, or a stand-in
    // that fails without touching anything when the driver offered none.
    PFN savedFunctions[kHookCount];
    // The spooler job this device renders, recorded by the StartDoc hook;
    // 0 until known.
    volatile LONG jobId;
    // The cleaned document name this device's accounting block used, once
    // documentNameKnown is set.
    WCHAR documentName[kDocumentNameChars];
    BOOL documentNameKnown;
};

// The device's block, or null.
inline DeviceHookState* DeviceStateOf(PDEVOBJ devobj) {
    return devobj != nullptr ? static_cast<DeviceHookState*>(devobj->pdevOEM) : nullptr;
}

} // namespace klv
