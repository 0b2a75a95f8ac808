// Template filling with numbered inserts, in a measuring and a writing pass.
#include "watermark/format_inserts.h"

#include "platform/trace.h"
#include "strings/bounded.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace klv {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

DWORD DecimalDigits(DWORD value) {
    DWORD digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// Output position and destination of one pass. A piece of length L is
// written only when it fits with room for a terminator after it; the
// position grows by L either way, so a pass that runs out of room still
// measures the whole output.
class Writer {
public:
    Writer(char* destination, DWORD capacity) : destination_(destination), capacity_(capacity) {}

    void Literal(char c) {
        if (Fits(1))
            destination_[position_] = c;
        position_ += 1;
    }

    void Number(DWORD value) {
        const DWORD digits = DecimalDigits(value);
        if (Fits(digits)) {
            char* end = destination_ + position_ + digits;
            *end = '\0';
            do {
                *--end = static_cast<char>('0' + value % 10);
                value /= 10;
            } while (value != 0);
        }
        position_ += digits;
    }

    void String(const char* text) {
        if (text == nullptr)
            return; // a missing string inserts nothing
        const std::size_t length = std::strlen(text);
        if (Fits(length))
            BoundedCopy(destination_ + position_, static_cast<DWORD>(length + 1), text);
        position_ += length;
    }

    std::uint64_t Position() const { return position_; }

private:
    bool Fits(std::uint64_t length) const {
        return destination_ != nullptr && position_ + length < capacity_;
    }

    char* destination_;
    std::uint64_t capacity_;
    std::uint64_t position_ = 0;
};

} // namespace

DWORD FormatInserts(char* destination, const char* templateText, DWORD templateLength, DWORD* size,
                    va_list arguments) {
    if (size == nullptr)
        return 0;
    if (templateText == nullptr) {
        *size = 0;
        return 0;
    }

    const DWORD capacity = destination != nullptr ? *size : 0;
    Writer out(destination, capacity);
    // The caller's list stays unconsumed, so both passes can be given it.
    va_list cursor;
    va_copy(cursor, arguments);
    bool afterPercent = false;
    for (DWORD i = 0; i < templateLength; ++i) {
        const char c = templateText[i];
        if (!afterPercent) {
            if (c == '%')
                afterPercent = true;
            else
                out.Literal(c);
            continue;
        }
        afterPercent = false;
        if (!IsDigit(c)) {
            out.Literal(c);
            continue;
        }
        // Only one digit is looked at, and its value plays no part: inserts
        // take their arguments in order of appearance.
        const bool suffix = static_cast<std::uint64_t>(i) + 3 < templateLength &&
                            templateText[i + 1] == '!' && templateText[i + 3] == '!';
        if (!suffix) {
            out.String(va_arg(cursor, const char*));
            continue;
        }
        const char type = templateText[i + 2];
        if (type == 'd' || type == 'D')
            out.Number(static_cast<DWORD>(va_arg(cursor, unsigned int)));
        else if (type == 'S')
            out.String(va_arg(cursor, const char*));
        i += 3;
    }
    va_end(cursor);

    // An output of 4 GiB or more cannot be described by the size word: it is
    // reported as size 0, which no caller allocates for.
    const std::uint64_t needed = out.Position() + 1;
    if (needed > 0xFFFFFFFFu) {
        *size = 0;
        return 0;
    }
    if (destination != nullptr && needed <= capacity) {
        destination[out.Position()] = '\0';
        return static_cast<DWORD>(out.Position());
    }
    *size = static_cast<DWORD>(needed);
    return 0;
}

DWORD FormatInsertsAlloc(const char* templateText, DWORD templateLength, char** outText, ...) {
    if (outText == nullptr)
        return 0;
    va_list arguments;
    va_start(arguments, outText);
    DWORD size = 0;
    FormatInserts(nullptr, templateText, templateLength, &size, arguments);
    DWORD length = 0;
    if (size != 0) {
        char* text = new (std::nothrow) char[size];
        if (text == nullptr)
            KLV_TRACE("no memory for a filled template of %lu bytes", static_cast<unsigned long>(size));
        *outText = text;
        // Without a buffer this pass only measures again and gives 0.
        length = FormatInserts(text, templateText, templateLength, &size, arguments);
    }
    va_end(arguments);
    return length;
}

} // namespace klv
