// Locale-independent number formatting for PostScript.
#include "strings/ps_number.h"

#include "strings/bounded.h"

#include <cmath>
#include <cstdint>

namespace klv {

namespace {

constexpr int kMantissaBits = 53;
// Room for the longest form: a sign, 16 integer digits, a point, two
// decimals and the terminator.
constexpr DWORD kDigitsRoom = 24;

// Writes the digits of value backwards ending at end; returns the first.
char* DigitsBefore(char* end, std::uint64_t value, unsigned base, DWORD minDigits) {
    DWORD count = 0;
    do {
        const unsigned digit = static_cast<unsigned>(value % base);
        *--end = static_cast<char>(digit < 10 ? '0' + digit : 'a' + (digit - 10));
        value /= base;
        ++count;
    } while (value != 0 || count < minDigits);
    return end;
}

// value * 100 rounded to the nearest integer, ties to even, computed on the
// exact binary value: magnitude = mantissa * 2^-shift with mantissa below
// 2^53, so mantissa * 100 stays below 2^60.
std::uint64_t RoundedHundredths(double magnitude) {
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, kMantissaBits));
    const int shift = kMantissaBits - exponent; // >= 0: magnitude < 2^53
    const std::uint64_t scaled = mantissa * 100;
    if (shift == 0)
        return scaled;
    if (shift >= 64)
        return 0; // below 2^60 / 2^64: less than half a hundredth
    std::uint64_t quotient = scaled >> shift;
    const std::uint64_t remainder = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1) != 0))
        ++quotient;
    return quotient;
}

} // namespace

HRESULT FormatFixed2(char* out, DWORD capacity, double value) {
    if (capacity == 0)
        return E_INVALIDARG;
    const double magnitude = std::fabs(value);
    if (!std::isfinite(value) || magnitude >= std::ldexp(1.0, kMantissaBits)) {
        out[0] = '\0';
        return E_INVALIDARG;
    }
    const std::uint64_t hundredths = RoundedHundredths(magnitude);
    char text[kDigitsRoom];
    char* end = text + kDigitsRoom - 1;
    *end = '\0';
    char* first = DigitsBefore(end, hundredths % 100, 10, 2);
    *--first = '.';
    first = DigitsBefore(first, hundredths / 100, 10, 1);
    if (std::signbit(value))
        *--first = '-';
    return BoundedCopy(out, capacity, first);
}

HRESULT FormatDecimal(char* out, DWORD capacity, long value) {
    char text[kDigitsRoom];
    char* end = text + kDigitsRoom - 1;
    *end = '\0';
    // The magnitude in unsigned arithmetic, so that LONG_MIN has one too.
    const std::uint64_t magnitude =
        value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char* first = DigitsBefore(end, magnitude, 10, 1);
    if (value < 0)
        *--first = '-';
    return BoundedCopy(out, capacity, first);
}

HRESULT FormatHex(char* out, DWORD capacity, unsigned long value, DWORD minDigits) {
    char text[kDigitsRoom];
    char* end = text + kDigitsRoom - 1;
    *end = '\0';
    const DWORD digits = minDigits < kDigitsRoom - 1 ? minDigits : kDigitsRoom - 1;
    return BoundedCopy(out, capacity, DigitsBefore(end, value, 16, digits));
}

} // namespace klv
