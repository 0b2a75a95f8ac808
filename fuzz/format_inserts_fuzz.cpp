// The insert formatter with arbitrary templates and inserts. The expected
// text is worked out here independently; the formatter must produce it,
// measure it exactly, and never write past the capacity it is given (the
// destination is an exact-size heap block).
#include "fuzz/fuzz_check.h"
#include "watermark/format_inserts.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace klv;

// Inserts beyond this many are cut from the template with what follows.
constexpr size_t kMaxInserts = 6;

enum class InsertKind { kString, kNumber };

struct Insert {
    InsertKind kind;
    std::string text; // kString
    bool missing;     // kString: a null pointer
    unsigned number;  // kNumber
};

struct Scanned {
    std::string templateText;
    std::vector<Insert> inserts;
    std::string expected;
};

// Reads the template as the formatter does: '%' and a digit start an
// insert, "!S!" or "!d!"/"!D!" after the digit give its type (a string
// without); any other letter there takes no argument and inserts nothing.
Scanned Scan(FuzzedDataProvider& in, const std::string& raw) {
    Scanned s;
    size_t i = 0;
    for (; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '%' || i + 1 == raw.size()) {
            if (c != '%')
                s.expected += c;
            continue;
        }
        const char next = raw[i + 1];
        if (next < '0' || next > '9') {
            s.expected += next;
            ++i;
            continue;
        }
        if (s.inserts.size() == kMaxInserts)
            break;
        const bool suffix = i + 4 < raw.size() && raw[i + 2] == '!' && raw[i + 4] == '!';
        const char type = suffix ? raw[i + 3] : 'S';
        i += suffix ? 4 : 1;
        if (type != 'S' && type != 'd' && type != 'D')
            continue;
        Insert insert{};
        if (type == 'd' || type == 'D') {
            insert.kind = InsertKind::kNumber;
            insert.number = in.ConsumeIntegral<unsigned>();
            s.expected += std::to_string(insert.number);
        } else {
            insert.kind = InsertKind::kString;
            insert.missing = in.ConsumeIntegralInRange(0, 15) == 0;
            insert.text = in.ConsumeRandomLengthString(300);
            insert.text.resize(std::strlen(insert.text.c_str()));
            if (!insert.missing)
                s.expected += insert.text;
        }
        s.inserts.push_back(std::move(insert));
    }
    s.templateText = raw.substr(0, i);
    return s;
}

DWORD FormatVia(const Scanned& s, char* destination, DWORD* size, ...) {
    va_list arguments;
    va_start(arguments, size);
    const DWORD n = FormatInserts(destination, s.templateText.data(),
                                  static_cast<DWORD>(s.templateText.size()), size, arguments);
    va_end(arguments);
    return n;
}

// Calls the formatter with the inserts' arguments in their real types.
template <typename... Args> DWORD Dispatch(const Scanned& s, char* destination, DWORD* size, Args... args) {
    constexpr size_t kTaken = sizeof...(Args);
    if constexpr (kTaken < kMaxInserts) {
        if (kTaken < s.inserts.size()) {
            const Insert& insert = s.inserts[kTaken];
            if (insert.kind == InsertKind::kNumber)
                return Dispatch(s, destination, size, args..., insert.number);
            return Dispatch(s, destination, size, args..., insert.missing ? nullptr : insert.text.c_str());
        }
    }
    return FormatVia(s, destination, size, args...);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string raw = in.ConsumeRandomLengthString(2000);
    const DWORD capacity = in.ConsumeIntegralInRange<DWORD>(0, 2400);
    const Scanned s = Scan(in, raw);

    DWORD measured = 0;
    KLV_FUZZ_CHECK(Dispatch(s, nullptr, &measured) == 0, "measuring wrote");
    KLV_FUZZ_CHECK(measured == s.expected.size() + 1, "measured " + std::to_string(measured) + ", expected " +
                                                          std::to_string(s.expected.size() + 1));

    std::unique_ptr<char[]> destination(new char[capacity == 0 ? 1 : capacity]);
    std::memset(destination.get(), '#', capacity == 0 ? 1 : capacity);
    DWORD room = capacity;
    const DWORD length = Dispatch(s, capacity == 0 ? nullptr : destination.get(), &room);
    if (capacity >= measured) {
        KLV_FUZZ_CHECK(length == s.expected.size() && room == capacity, "a text that fits");
        KLV_FUZZ_CHECK(std::memcmp(destination.get(), s.expected.c_str(), measured) == 0, "wrong text");
    } else {
        KLV_FUZZ_CHECK(length == 0 && room == measured, "a text that does not fit");
    }
    return 0;
}
