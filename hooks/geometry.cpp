#include "hooks/geometry.h"

namespace klv {

void AdjustFullPageGeometry(PDEVOBJ, GDIINFO*) {}

} // namespace klv
