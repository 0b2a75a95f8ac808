#include "inject/document_name.h"

#include "platform/lock.h"
#include "strings/bounded.h"

namespace klv {

WCHAR gDocumentName[kDocumentNameChars] = {};

namespace {

Lock gDocumentNameLock;

constexpr DWORD kWorkChars = 260;
constexpr WCHAR kTitlePrefix[] = KLV_W("Microsoft Word - ");
constexpr DWORD kTitlePrefixChars = sizeof(kTitlePrefix) / sizeof(WCHAR) - 1;
static_assert(kTitlePrefixChars == 17);

// Replaces name by the text that starts at from, through a work buffer as
// the two may overlap.
void KeepFrom(WCHAR* name, const WCHAR* from) {
    WCHAR work[kWorkChars];
    BoundedCopyWide(work, kWorkChars, from);
    BoundedCopyWide(name, kDocumentNameChars, work);
}

const WCHAR* FindPrefix(const WCHAR* name) {
    for (const WCHAR* at = name; *at != 0; ++at) {
        DWORD i = 0;
        while (i < kTitlePrefixChars && at[i] == kTitlePrefix[i])
            ++i;
        if (i == kTitlePrefixChars)
            return at;
    }
    return nullptr;
}

} // namespace

void CleanDocumentName(WCHAR* name) {
    const WCHAR* lastBackslash = nullptr;
    for (const WCHAR* at = name; *at != 0; ++at)
        if (*at == u'\\')
            lastBackslash = at;
    if (lastBackslash != nullptr)
        KeepFrom(name, lastBackslash + 1);
    if (const WCHAR* prefix = FindPrefix(name))
        KeepFrom(name, prefix + kTitlePrefixChars);
}

void StoreDocumentName(const WCHAR* document, WCHAR* out) {
    LockHolder hold(gDocumentNameLock);
    if (document != nullptr) {
        BoundedCopyWide(gDocumentName, kDocumentNameChars, document);
        gDocumentName[kDocumentNameChars - 2] = 0;
    }
    CleanDocumentName(gDocumentName);
    BoundedCopyWide(out, kDocumentNameChars, gDocumentName);
}

void CopyDocumentName(WCHAR* out) {
    LockHolder hold(gDocumentNameLock);
    BoundedCopyWide(out, kDocumentNameChars, gDocumentName);
}

} // namespace klv
