// The module's entry points: the loader's notification, the class object
// and the unload query.
#include "module/entry.h"
#include "module/factory.h"

namespace klv {

volatile LONG gObjectCount = 0;
volatile LONG gLockCount = 0;

} // namespace klv

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

KLV_EXPORT HRESULT KLV_STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return klv::GetClassObject<klv::RenderPlugin>(klv::kClsidOemRender, rclsid, riid, ppv);
}

KLV_EXPORT HRESULT KLV_STDAPI DllCanUnloadNow() {
    return klv::CanUnloadNow();
}
