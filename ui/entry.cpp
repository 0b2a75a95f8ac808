// The user-interface module's entry points: the loader's notification, the
// class object and the unload query, with the render plug-in's unload rule.
#include "module/entry.h"
#include "module/class_factory.h"
#include "ui/plugin.h"

namespace klv {

volatile LONG gObjectCount = 0; // plug-in objects and pages that exist
volatile LONG gLockCount = 0;

} // namespace klv

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

KLV_EXPORT HRESULT KLV_STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    // This module clears *ppv on every failure, as COM documents; the render
    // module leaves it alone for a class it does not serve, as it always has.
    if (ppv != nullptr)
        *ppv = nullptr;
    return klv::GetClassObject<klv::ui::UiPlugin>(klv::kClsidOemUi, rclsid, riid, ppv);
}

KLV_EXPORT HRESULT KLV_STDAPI DllCanUnloadNow() {
    return klv::CanUnloadNow();
}
