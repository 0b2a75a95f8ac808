#include "module/tests/conformance.h"
#include "module/tests/dll_conformance_checks.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace klv::conformance {

namespace {

constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;
constexpr DWORD kFileTypeDll = 2;
constexpr WORD kRtVersion = 16;

// One node of the version resource: a header, a key, a value and children,
// each part starting on a 4-byte boundary.
struct VersionNode {
    std::wstring key;
    const BYTE* value = nullptr;
    WORD valueLength = 0;
    WORD type = 0;
    const BYTE* children = nullptr;
    const BYTE* end = nullptr;
};

const BYTE* AlignTo4(const BYTE* origin, const BYTE* at) {
    return origin + ((at - origin + 3) & ~3);
}

WORD Word(const BYTE* at) {
    WORD value;
    std::memcpy(&value, at, 2);
    return value;
}

std::wstring WideAt(const BYTE* at, const BYTE* end) {
    std::wstring text;
    for (; at + 2 <= end && Word(at) != 0; at += 2)
        text.push_back(static_cast<wchar_t>(Word(at)));
    return text;
}

bool ReadNode(const BYTE* origin, const BYTE* at, const BYTE* limit, VersionNode& node) {
    if (limit - at < 6)
        return false;
    const WORD length = Word(at);
    if (length < 6 || at + length > limit)
        return false;
    node.end = at + length;
    node.valueLength = Word(at + 2);
    node.type = Word(at + 4);
    node.key = WideAt(at + 6, node.end);
    node.value = AlignTo4(origin, at + 6 + (node.key.size() + 1) * 2);
    const size_t valueBytes = node.type == 1 ? node.valueLength * 2u : node.valueLength;
    node.children = AlignTo4(origin, node.value + valueBytes);
    return node.value <= node.end && node.children <= node.end + 3;
}

// The children of `parent`, in order.
template <typename Visit> bool ForEachChild(const BYTE* origin, const VersionNode& parent, Visit visit) {
    for (const BYTE* at = parent.children; at < parent.end;) {
        VersionNode child;
        if (!ReadNode(origin, at, parent.end, child))
            return false;
        visit(child);
        at = AlignTo4(origin, child.end);
    }
    return true;
}

} // namespace

void CheckVersionResource(HMODULE module, const wchar_t* internalName, const wchar_t* role) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(kRtVersion));
    ok(found != nullptr, "no version resource");
    if (found == nullptr)
        return;
    const auto* origin = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    const BYTE* limit = origin + SizeofResource(module, found);
    VersionNode root;
    const bool rootRead = ReadNode(origin, origin, limit, root);
    ok(rootRead && root.key == L"VS_VERSION_INFO" && root.valueLength == 52,
       "version resource root malformed");
    if (!rootRead || root.valueLength != 52)
        return;

    DWORD fixed[13];
    std::memcpy(fixed, root.value, sizeof(fixed));
    const DWORD versionHigh = (KLVPS_VERSION_MAJOR << 16) | KLVPS_VERSION_MINOR;
    const DWORD versionLow = (KLVPS_VERSION_PATCH << 16) | KLVPS_VERSION_TWEAK;
    ok(fixed[0] == kFixedFileInfoSignature, "fixed information signature %08lx",
       static_cast<unsigned long>(fixed[0]));
    ok(fixed[2] == versionHigh && fixed[3] == versionLow, "file version %08lx %08lx",
       static_cast<unsigned long>(fixed[2]), static_cast<unsigned long>(fixed[3]));
    ok(fixed[4] == versionHigh && fixed[5] == versionLow, "product version %08lx %08lx",
       static_cast<unsigned long>(fixed[4]), static_cast<unsigned long>(fixed[5]));
    ok(fixed[9] == kFileTypeDll, "file type %lu", static_cast<unsigned long>(fixed[9]));

    std::map<std::wstring, std::wstring> strings;
    DWORD translation = 0;
    const bool walked = ForEachChild(origin, root, [&](const VersionNode& info) {
        if (info.key == L"StringFileInfo")
            ForEachChild(origin, info, [&](const VersionNode& table) {
                ForEachChild(origin, table, [&](const VersionNode& entry) {
                    strings[entry.key] = WideAt(entry.value, entry.end);
                });
            });
        if (info.key == L"VarFileInfo")
            ForEachChild(origin, info, [&](const VersionNode& var) {
                if (var.key == L"Translation" && var.valueLength >= 4)
                    std::memcpy(&translation, var.value, 4);
            });
    });
    ok(walked, "version resource children malformed");

    struct Expected {
        const wchar_t* key;
        std::wstring value;
    };
    const std::wstring version = KLVPS_VERSION_WIDE;
    const Expected expected[] = {
        {L"ProductName", L"klvps"},
        {L"FileVersion", version},
        {L"ProductVersion", version},
        {L"OriginalFilename", std::wstring(internalName) + L".dll"},
        {L"InternalName", internalName},
        {L"FileDescription", L"klvps " + std::wstring(role) + L" for the PostScript driver (" +
                                 (sizeof(void*) == 8 ? L"64-bit)" : L"32-bit)")},
    };
    for (const Expected& e : expected)
        ok(strings[e.key] == e.value, "version string %ls is \"%ls\"", e.key, strings[e.key].c_str());
    ok(translation == 0x04B00409, "translation %08lx", static_cast<unsigned long>(translation));
}

} // namespace klv::conformance
