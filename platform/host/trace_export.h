// The trace entry point of the plug-in's library on other hosts.
#pragma once

extern "C" {

// Receives one trace line, without a line end.
typedef void (*KlvpsTraceSink)(void* context, const char* line);

// Sends the plug-in's trace lines made on the calling thread to sink (with
// context) instead of standard error, whatever KLVPS_TRACE says; a null
// sink sends them back. Found with dlsym under this name.
__attribute__((visibility("default"))) void KlvpsSetTraceSink(KlvpsTraceSink sink, void* context);
}
