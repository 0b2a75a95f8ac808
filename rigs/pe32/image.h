// A PE32 image mapped into this process: sections at their addresses, base
// relocations applied when it could not sit at its preferred base, imports
// bound through a resolver, and lookups of its exports and resources.
#pragma once

#include "pe_format.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pe32 {

// Returns the address an import binds to, or null when nothing provides it.
// `name` is empty for an import by ordinal.
using ImportResolver =
    std::function<void*(const std::string& dll, const std::string& name, unsigned ordinal)>;

class Image {
public:
    // Maps the image at `path`. With `avoidPreferredBase` the preferred
    // range is held by another mapping first, so relocation must happen.
    static std::unique_ptr<Image> Map(const std::string& path, bool avoidPreferredBase, std::string& error);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    bool BindImports(const ImportResolver& resolve, std::string& error);

    const std::string& name() const { return name_; }
    std::uint8_t* base() const { return base_; }
    std::uint32_t size() const { return size_; }
    bool isDll() const { return isDll_; }
    bool relocated() const { return relocated_; }
    void* entryPoint() const { return entryRva_ == 0 ? nullptr : base_ + entryRva_; }
    bool Contains(const void* address) const;

    // An export by name, or by ordinal when `name` is null; null when absent.
    void* Export(const char* name, unsigned ordinal = 0) const;

    // The TLS directory, when the image has one.
    pe::TlsDirectory32* tls() const;

    // Resource lookup through the image's resource directory. Type and name
    // are either small integer identifiers or UTF-16 strings, as the
    // platform's resource calls take them; the first language is used.
    const pe::ResourceDataEntry* FindResource(const char16_t* name, const char16_t* type) const;
    void* ResourceData(const pe::ResourceDataEntry* entry) const { return base_ + entry->DataRva; }

private:
    Image() = default;
    template <typename T> T* At(std::uint32_t rva) const { return reinterpret_cast<T*>(base_ + rva); }
    const pe::DataDirectory& Directory(unsigned index) const { return directories_[index]; }
    bool Relocate(std::uint32_t delta, std::string& error);
    const pe::ResourceDirectoryEntry* FindResourceEntry(const pe::ResourceDirectory* directory,
                                                        const char16_t* key) const;

    std::string name_;
    std::uint8_t* base_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t entryRva_ = 0;
    bool isDll_ = false;
    bool relocated_ = false;
    pe::DataDirectory directories_[16] = {};
};

} // namespace pe32
