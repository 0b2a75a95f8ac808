#include "inject/inject.h"

#include "inject/injection_points.h"

namespace klv {

DWORD InjectPostScript(PDEVOBJ devobj, DWORD index, PVOID, DWORD, IPrintOemDriverPS* driverHelper) {
    // Without the driver's helper nothing can be written, and without the
    // device's settings block nothing can be decided: serve nothing.
    if (driverHelper == nullptr || devobj == nullptr || devobj->pOEMDM == nullptr)
        return 0;
    InjectionWriter writer(devobj, driverHelper);
    switch (index) {
    case PSINJECT_COMMENTS:
        WriteAccountingBlock(writer, devobj);
        break;
    case PSINJECT_BEGINPROLOG:
        WritePrologSettings(writer, devobj);
        break;
    case PSINJECT_ENDPROLOG:
        WriteFlipKey(writer, devobj);
        break;
    case PSINJECT_BEGINSETUP:
        WriteJobTicket(writer, devobj);
        break;
    case PSINJECT_BEGINPAGESETUP:
        WriteWatermarkInvocation(writer, devobj);
        break;
    default:
        break;
    }
    return 0;
}

} // namespace klv
