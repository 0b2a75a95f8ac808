// Writing PostScript into the job at one injection point.
#pragma once

#include "platform/printoem.h"

namespace klv {

// Every text an injection point composes is built in this buffer.
constexpr DWORD kInjectionBufferSize = 780;

class InjectionWriter {
public:
    InjectionWriter(PDEVOBJ devobj, IPrintOemDriverPS* helper) : devobj_(devobj), helper_(helper) {
        buffer_[0] = '\0';
    }
    InjectionWriter(const InjectionWriter&) = delete;
    InjectionWriter& operator=(const InjectionWriter&) = delete;

    // The buffer in which a text is composed before WriteBuffer sends it.
    char* Buffer() { return buffer_; }

    // Copies text into the buffer and sends it with one write.
    void Emit(const char* text);
    // Sends the buffer's content up to its terminator with one write.
    void WriteBuffer();
    // Sends a text that lives elsewhere, up to its first zero byte (and at
    // most size bytes), with one write; an empty text is not sent.
    void WriteUpToTerminator(const char* text, DWORD size);

private:
    void Write(const char* bytes, DWORD count);

    PDEVOBJ devobj_;
    IPrintOemDriverPS* helper_;
    DWORD written_ = 0; // the driver's count; not looked at
    char buffer_[kInjectionBufferSize];
};

} // namespace klv
