// What the plug-in writes into the job at the driver's PostScript
// injection points.
#pragma once

#include "platform/printoem.h"

namespace klv {

// Serves one injection point; always succeeds (returns 0).
DWORD InjectPostScript(PDEVOBJ devobj, DWORD index, PVOID data, DWORD size, IPrintOemDriverPS* driverHelper);

} // namespace klv
