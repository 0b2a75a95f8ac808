// The one entry point the plug-in's library exports beyond the driver's two
// on other hosts: a program that loads it (the driver simulator) collects
// the plug-in's trace lines through it, job by job.
#include "platform/host/trace_export.h"

#include "platform/trace.h"

extern "C" void KlvpsSetTraceSink(KlvpsTraceSink sink, void* context) {
    klv::trace::SetThreadSink(sink, context);
}
