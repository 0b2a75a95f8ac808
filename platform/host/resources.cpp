// Module resources on other hosts: each module carries a table of its
// resources, and a module handle finds only the resources of the module it
// names.
#include "platform/host/host.h"

namespace {

using klv::host::EmbeddedResource;

const EmbeddedResource* Find(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (module != klv::ThisModule()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const auto id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    const auto kind = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
    bool typeSeen = false;
    for (unsigned i = 0; i < klv::host::kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& r = klv::host::kEmbeddedResources[i];
        if (r.type != kind)
            continue;
        typeSeen = true;
        if (r.id == id)
            return &r;
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

} // namespace

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    return reinterpret_cast<HRSRC>(const_cast<EmbeddedResource*>(Find(module, name, type)));
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    if (resource == nullptr || module != klv::ThisModule()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    auto* r = reinterpret_cast<const EmbeddedResource*>(resource);
    return const_cast<BYTE*>(r->data);
}

LPVOID LockResource(HGLOBAL data) {
    return data;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    if (resource == nullptr || module != klv::ThisModule()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return reinterpret_cast<const EmbeddedResource*>(resource)->size;
}
