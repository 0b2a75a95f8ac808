#include "inject/writer.h"

#include "strings/bounded.h"

#include <cstring>

namespace klv {

void InjectionWriter::Emit(const char* text) {
    BoundedCopy(buffer_, kInjectionBufferSize, text);
    WriteBuffer();
}

void InjectionWriter::WriteBuffer() {
    Write(buffer_, static_cast<DWORD>(std::strlen(buffer_)));
}

void InjectionWriter::WriteUpToTerminator(const char* text, DWORD size) {
    const void* end = std::memchr(text, 0, size);
    const DWORD length = end != nullptr ? static_cast<DWORD>(static_cast<const char*>(end) - text) : size;
    if (length != 0)
        Write(text, length);
}

void InjectionWriter::Write(const char* bytes, DWORD count) {
    // A short or failed write is neither retried nor reported: the job goes
    // on with what the driver took.
    helper_->DrvWriteSPBuf(devobj_, const_cast<char*>(bytes), count, &written_);
}

} // namespace klv
