// The bounded string operations, the PostScript escaping and the ANSI
// conversion, each with arbitrary text and capacity. Destinations are
// exact-size heap blocks, so AddressSanitizer reports any write past the
// capacity; the results must be terminated, within the capacity, and a
// prefix of what a roomy destination would receive.
#include "fuzz/code_page.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/postscript_check.h"
#include "platform/host/host.h"
#include "strings/ansi.h"
#include "strings/bounded.h"
#include "strings/escape.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace klv;

enum class Operation { kCopy, kCopyWide, kAppend, kLength, kFormat, kEscape, kAnsi, kCount };

// A heap block of exactly capacity bytes holding text (cut to fit, then
// terminated) with the rest of it filled with junk.
std::unique_ptr<char[]> Buffer(DWORD capacity, const std::string& text) {
    std::unique_ptr<char[]> buffer(new char[capacity]);
    std::memset(buffer.get(), 'J', capacity);
    const size_t n = std::min<size_t>(text.size(), capacity - 1);
    std::memcpy(buffer.get(), text.data(), n);
    buffer[n] = '\0';
    return buffer;
}

void CheckTerminated(const char* buffer, DWORD capacity) {
    KLV_FUZZ_CHECK(std::memchr(buffer, 0, capacity) != nullptr, "the result is not terminated");
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The text between the parentheses with its escapes taken away.
std::string Unescape(const std::string& escaped) {
    std::string plain;
    for (size_t i = 0; i < escaped.size(); ++i)
        plain += escaped[i] == '\\' && i + 1 < escaped.size() ? escaped[++i] : escaped[i];
    return plain;
}

void Escape(const std::string& text, DWORD capacity) {
    const DWORD room = std::min<DWORD>(capacity, kEscapeWorkSize);
    auto buffer = Buffer(room, text);
    const std::string original = buffer.get();
    EscapePsString(buffer.get(), room);
    CheckTerminated(buffer.get(), room);
    const std::string escaped = buffer.get();
    const std::string fault = fuzz::CheckStringBody(escaped);
    KLV_FUZZ_CHECK(fault.empty(), fault);
    KLV_FUZZ_CHECK(escaped.size() <= room - 1, "escaped text too long");
    KLV_FUZZ_CHECK(StartsWith(original, Unescape(escaped)), "escaping changed the text");
    for (DWORD i = static_cast<DWORD>(escaped.size()); i < room; ++i)
        KLV_FUZZ_CHECK(buffer[i] == '\0', "the rest of the buffer is not cleared");
}

void Ansi(FuzzedDataProvider& in, DWORD capacity) {
    fuzz::UseAnsiCodePage(in.ConsumeBool() ? 932 : 1252);
    std::u16string wide;
    const size_t units = in.ConsumeIntegralInRange<size_t>(0, 300);
    for (size_t i = 0; i < units; ++i)
        wide.push_back(in.ConsumeIntegral<char16_t>());
    const DWORD maxUnits = in.ConsumeBool() ? 0xFFFFFFFF : in.ConsumeIntegralInRange<DWORD>(0, 320);
    std::unique_ptr<char[]> out(new char[capacity]);
    const DWORD n = AnsiFromWide(out.get(), capacity, reinterpret_cast<const WCHAR*>(wide.c_str()), maxUnits);
    CheckTerminated(out.get(), capacity);
    KLV_FUZZ_CHECK(n == std::strlen(out.get()) && n < capacity, "returned length");
    char roomy[4 * 320 + 1];
    AnsiFromWide(roomy, sizeof roomy, reinterpret_cast<const WCHAR*>(wide.c_str()), maxUnits);
    KLV_FUZZ_CHECK(StartsWith(roomy, out.get()), "a cut text is not a prefix of the whole one");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto operation =
        static_cast<Operation>(in.ConsumeIntegralInRange<int>(0, int(Operation::kCount) - 1));
    const DWORD capacity = in.ConsumeIntegralInRange<DWORD>(1, 600);
    const std::string existing = in.ConsumeRandomLengthString(700);
    switch (operation) {
    case Operation::kCopy: {
        const std::string source = in.ConsumeRandomLengthString(700);
        auto buffer = Buffer(capacity, existing);
        const HRESULT hr = BoundedCopy(buffer.get(), capacity, source.c_str());
        CheckTerminated(buffer.get(), capacity);
        KLV_FUZZ_CHECK(StartsWith(source.c_str(), buffer.get()), "not a prefix of the source");
        KLV_FUZZ_CHECK((hr == S_OK) == (std::strlen(source.c_str()) < capacity), "cut not reported");
        break;
    }
    case Operation::kCopyWide: {
        std::u16string source;
        while (in.remaining_bytes() > 1 && source.size() < 700)
            source.push_back(in.ConsumeIntegral<char16_t>());
        std::unique_ptr<WCHAR[]> buffer(new WCHAR[capacity]);
        const HRESULT hr =
            BoundedCopyWide(buffer.get(), capacity, reinterpret_cast<const WCHAR*>(source.c_str()));
        const std::u16string copied(reinterpret_cast<const char16_t*>(buffer.get()));
        KLV_FUZZ_CHECK(copied.size() < capacity && StartsWith(std::string(source.begin(), source.end()),
                                                              std::string(copied.begin(), copied.end())),
                       "wide copy");
        KLV_FUZZ_CHECK((hr == S_OK) == (std::u16string(source.c_str()).size() < capacity),
                       "cut not reported");
        break;
    }
    case Operation::kAppend: {
        const std::string source = in.ConsumeRandomLengthString(700);
        auto buffer = Buffer(capacity, existing);
        const std::string before = buffer.get();
        BoundedAppend(buffer.get(), capacity, source.c_str());
        CheckTerminated(buffer.get(), capacity);
        KLV_FUZZ_CHECK(StartsWith(before + source.c_str(), buffer.get()) && StartsWith(buffer.get(), before),
                       "append");
        break;
    }
    case Operation::kLength: {
        auto buffer = Buffer(capacity, existing);
        // Sometimes without a terminator inside the capacity.
        if (in.ConsumeBool())
            std::memset(buffer.get(), 'x', capacity);
        DWORD length = 0xFFFFFFFF;
        const HRESULT hr = BoundedLength(buffer.get(), capacity, &length);
        const void* end = std::memchr(buffer.get(), 0, capacity);
        KLV_FUZZ_CHECK((hr == S_OK) == (end != nullptr), "length result");
        if (end != nullptr)
            KLV_FUZZ_CHECK(length == static_cast<const char*>(end) - buffer.get(), "length");
        break;
    }
    case Operation::kFormat: {
        auto buffer = Buffer(capacity, existing);
        const double r = in.ConsumeFloatingPoint<double>();
        const int n = in.ConsumeIntegral<int>();
        char roomy[2048];
        if (in.ConsumeBool()) {
            BoundedFormat(buffer.get(), capacity, "%1.2f %1.2f %1.2f", r, r / 3, -r);
            std::snprintf(roomy, sizeof roomy, "%1.2f %1.2f %1.2f", r, r / 3, -r);
        } else {
            BoundedFormat(buffer.get(), capacity, "%d %s", n, existing.c_str());
            std::snprintf(roomy, sizeof roomy, "%d %s", n, existing.c_str());
        }
        CheckTerminated(buffer.get(), capacity);
        KLV_FUZZ_CHECK(StartsWith(roomy, buffer.get()), "format");
        break;
    }
    case Operation::kEscape:
        Escape(existing, capacity);
        break;
    case Operation::kAnsi:
        Ansi(in, capacity);
        break;
    case Operation::kCount:
        break;
    }
    return 0;
}
