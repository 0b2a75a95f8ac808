// The injection points the plug-in serves, each writing through the
// writer. They run only with the driver's helper and the device's private
// device mode present.
#pragma once

#include "inject/writer.h"

namespace klv {

void WriteAccountingBlock(InjectionWriter& writer, PDEVOBJ devobj);     // PSINJECT_COMMENTS
void WritePrologSettings(InjectionWriter& writer, PDEVOBJ devobj);      // PSINJECT_BEGINPROLOG
void WriteFlipKey(InjectionWriter& writer, PDEVOBJ devobj);             // PSINJECT_ENDPROLOG
void WriteJobTicket(InjectionWriter& writer, PDEVOBJ devobj);           // PSINJECT_BEGINSETUP
void WriteWatermarkInvocation(InjectionWriter& writer, PDEVOBJ devobj); // PSINJECT_BEGINPAGESETUP

} // namespace klv
