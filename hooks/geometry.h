// Full-page printing: widens the device's printable area to the whole page.
#pragma once

#include "platform/printoem.h"

namespace klv {

void AdjustFullPageGeometry(PDEVOBJ devobj, GDIINFO* gdiInfo);

} // namespace klv
