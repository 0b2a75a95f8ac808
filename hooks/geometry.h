// Full-page printing: widens the device's printable area to the whole page.
#pragma once

#include "platform/printoem.h"

namespace klv {

// When the device mode's full-page flag is on, moves the printable area to
// the page corner, makes it one pixel larger than the physical page in each
// direction and recomputes the physical sizes to match. Nothing changes when
// the flag is off, a resolution lies outside 1 to 1200 dpi, or a record is
// missing.
void AdjustFullPageGeometry(PDEVOBJ devobj, GDIINFO* gdiInfo);

} // namespace klv
