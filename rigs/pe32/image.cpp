#include "image.h"

#include <sys/mman.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace pe32 {

namespace {

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsIntegerResource(const char16_t* key) {
    return reinterpret_cast<std::uintptr_t>(key) < 0x10000;
}

char16_t UpperAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Reserves `size` bytes, preferably at `wanted`; returns where they are.
std::uint8_t* Reserve(std::uint32_t wanted, std::uint32_t size) {
    void* at = mmap(reinterpret_cast<void*>(static_cast<std::uintptr_t>(wanted)), size,
                    PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return at == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(at);
}

} // namespace

std::unique_ptr<Image> Image::Map(const std::string& path, bool avoidPreferredBase, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be opened";
        return nullptr;
    }
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    auto bad = [&](const char* why) {
        error = path + ": " + why;
        return nullptr;
    };
    if (file.size() < sizeof(pe::DosHeader))
        return bad("too short for a DOS header");
    pe::DosHeader dos;
    std::memcpy(&dos, file.data(), sizeof(dos));
    const std::size_t ntAt = static_cast<std::size_t>(dos.e_lfanew);
    if (dos.e_magic != pe::kDosMagic || dos.e_lfanew < 0 ||
        ntAt + 4 + sizeof(pe::FileHeader) + sizeof(pe::OptionalHeader32) > file.size())
        return bad("not a PE image");
    std::uint32_t signature;
    pe::FileHeader header;
    pe::OptionalHeader32 optional;
    std::memcpy(&signature, &file[ntAt], 4);
    std::memcpy(&header, &file[ntAt + 4], sizeof(header));
    std::memcpy(&optional, &file[ntAt + 4 + sizeof(header)], sizeof(optional));
    if (signature != pe::kNtSignature || header.Machine != pe::kMachineI386 ||
        optional.start.Magic != pe::kPe32Magic)
        return bad("not a 32-bit x86 PE image");
    const std::size_t sectionsAt = ntAt + 4 + sizeof(header) + header.SizeOfOptionalHeader;
    if (sectionsAt + header.NumberOfSections * sizeof(pe::SectionHeader) > file.size() ||
        optional.SizeOfHeaders > file.size() || optional.SizeOfHeaders > optional.SizeOfImage)
        return bad("section table outside the file");

    std::unique_ptr<Image> image(new Image());
    image->name_ = BaseName(path);
    image->size_ = optional.SizeOfImage;
    image->entryRva_ = optional.start.AddressOfEntryPoint;
    image->isDll_ = (header.Characteristics & pe::kFileDll) != 0;
    const unsigned directoryCount = optional.NumberOfRvaAndSizes < 16 ? optional.NumberOfRvaAndSizes : 16;
    std::memcpy(image->directories_, optional.DataDirectories, directoryCount * sizeof(pe::DataDirectory));

    std::uint8_t* blocker = nullptr;
    if (avoidPreferredBase)
        blocker = Reserve(optional.ImageBase, optional.SizeOfImage);
    image->base_ = Reserve(optional.ImageBase, optional.SizeOfImage);
    if (blocker != nullptr)
        munmap(blocker, optional.SizeOfImage);
    if (image->base_ == nullptr)
        return bad("no room to map the image");

    std::memcpy(image->base_, file.data(), optional.SizeOfHeaders);
    for (unsigned i = 0; i < header.NumberOfSections; ++i) {
        pe::SectionHeader section;
        std::memcpy(&section, &file[sectionsAt + i * sizeof(section)], sizeof(section));
        const std::uint32_t span = section.VirtualSize != 0 ? section.VirtualSize : section.SizeOfRawData;
        const std::uint32_t raw = section.SizeOfRawData < span ? section.SizeOfRawData : span;
        if (static_cast<std::uint64_t>(section.VirtualAddress) + span > optional.SizeOfImage ||
            static_cast<std::uint64_t>(section.PointerToRawData) + raw > file.size())
            return bad("a section lies outside the image or the file");
        std::memcpy(image->base_ + section.VirtualAddress, &file[section.PointerToRawData], raw);
    }

    const std::uint32_t actual = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(image->base_));
    if (actual != optional.ImageBase) {
        if (!image->Relocate(actual - optional.ImageBase, error))
            return nullptr;
        image->relocated_ = true;
    }
    return image;
}

Image::~Image() {
    if (base_ != nullptr)
        munmap(base_, size_);
}

bool Image::Contains(const void* address) const {
    const auto* p = static_cast<const std::uint8_t*>(address);
    return p >= base_ && p < base_ + size_;
}

bool Image::Relocate(std::uint32_t delta, std::string& error) {
    const pe::DataDirectory& relocations = Directory(pe::kDirBaseReloc);
    if (relocations.Size == 0) {
        error = name_ + ": its preferred base is taken and it has no base relocations";
        return false;
    }
    std::uint32_t offset = 0;
    while (offset + sizeof(pe::BaseRelocationBlock) <= relocations.Size) {
        const auto* block = At<pe::BaseRelocationBlock>(relocations.VirtualAddress + offset);
        if (block->BlockSize < sizeof(*block) || offset + block->BlockSize > relocations.Size) {
            error = name_ + ": malformed base relocation block";
            return false;
        }
        const auto* entries = reinterpret_cast<const std::uint16_t*>(block + 1);
        const std::uint32_t count = (block->BlockSize - sizeof(*block)) / 2;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint16_t type = entries[i] >> 12;
            const std::uint32_t rva = block->PageRva + (entries[i] & 0x0FFF);
            if (type == pe::kRelocAbsolute)
                continue;
            if (type != pe::kRelocHighLow || rva + 4 > size_) {
                error = name_ + ": unsupported base relocation type " + std::to_string(type);
                return false;
            }
            std::uint32_t value;
            std::memcpy(&value, base_ + rva, 4);
            value += delta;
            std::memcpy(base_ + rva, &value, 4);
        }
        offset += block->BlockSize;
    }
    return true;
}

bool Image::BindImports(const ImportResolver& resolve, std::string& error) {
    const pe::DataDirectory& imports = Directory(pe::kDirImport);
    if (imports.Size == 0)
        return true;
    for (auto* descriptor = At<pe::ImportDescriptor>(imports.VirtualAddress); descriptor->Name != 0;
         ++descriptor) {
        const std::string dll = At<const char>(descriptor->Name);
        const std::uint32_t lookupRva =
            descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
        auto* lookup = At<std::uint32_t>(lookupRva);
        auto* slots = At<std::uint32_t>(descriptor->FirstThunk);
        for (; *lookup != 0; ++lookup, ++slots) {
            std::string name;
            unsigned ordinal = 0;
            if ((*lookup & 0x80000000u) != 0)
                ordinal = *lookup & 0xFFFF;
            else
                name = At<const char>(*lookup + 2); // past the hint
            void* address = resolve(dll, name, ordinal);
            if (address == nullptr) {
                error = name_ + " imports " + dll + "!" +
                        (name.empty() ? "#" + std::to_string(ordinal) : name) + ", which nothing provides";
                return false;
            }
            *slots = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
        }
    }
    return true;
}

void* Image::Export(const char* name, unsigned ordinal) const {
    const pe::DataDirectory& exports = Directory(pe::kDirExport);
    if (exports.Size == 0)
        return nullptr;
    const auto* directory = At<pe::ExportDirectory>(exports.VirtualAddress);
    const auto* functions = At<std::uint32_t>(directory->AddressOfFunctions);
    unsigned index = ordinal - directory->Base;
    if (name != nullptr) {
        const auto* names = At<std::uint32_t>(directory->AddressOfNames);
        const auto* ordinals = At<std::uint16_t>(directory->AddressOfNameOrdinals);
        index = directory->NumberOfFunctions;
        for (std::uint32_t i = 0; i < directory->NumberOfNames; ++i) {
            if (std::strcmp(At<const char>(names[i]), name) == 0) {
                index = ordinals[i];
                break;
            }
        }
    }
    if (index >= directory->NumberOfFunctions || functions[index] == 0)
        return nullptr;
    // An address inside the export directory names a forwarded export,
    // which none of the images this loader runs has.
    if (functions[index] >= exports.VirtualAddress &&
        functions[index] < exports.VirtualAddress + exports.Size)
        return nullptr;
    return base_ + functions[index];
}

pe::TlsDirectory32* Image::tls() const {
    const pe::DataDirectory& tls = Directory(pe::kDirTls);
    return tls.Size == 0 ? nullptr : At<pe::TlsDirectory32>(tls.VirtualAddress);
}

const pe::ResourceDirectoryEntry* Image::FindResourceEntry(const pe::ResourceDirectory* directory,
                                                           const char16_t* key) const {
    const std::uint32_t root = Directory(pe::kDirResource).VirtualAddress;
    const auto* entries = reinterpret_cast<const pe::ResourceDirectoryEntry*>(directory + 1);
    const unsigned count = directory->NumberOfNamedEntries + directory->NumberOfIdEntries;
    for (unsigned i = 0; i < count; ++i) {
        const pe::ResourceDirectoryEntry& entry = entries[i];
        const bool named = (entry.NameOrId & pe::kResourceHighBit) != 0;
        if (key == nullptr)
            return &entry;
        if (IsIntegerResource(key)) {
            if (!named && entry.NameOrId == reinterpret_cast<std::uintptr_t>(key))
                return &entry;
            continue;
        }
        if (!named)
            continue;
        // A counted UTF-16 string; names compare without regard to case.
        const auto* counted = At<const std::uint16_t>(root + (entry.NameOrId & ~pe::kResourceHighBit));
        const std::uint16_t length = counted[0];
        unsigned k = 0;
        while (k < length && key[k] != 0 && UpperAscii(key[k]) == UpperAscii(counted[1 + k]))
            ++k;
        if (k == length && key[k] == 0)
            return &entry;
    }
    return nullptr;
}

const pe::ResourceDataEntry* Image::FindResource(const char16_t* name, const char16_t* type) const {
    const pe::DataDirectory& resources = Directory(pe::kDirResource);
    if (resources.Size == 0)
        return nullptr;
    const auto* directory = At<const pe::ResourceDirectory>(resources.VirtualAddress);
    // Three levels: type, then name, then the first language.
    const char16_t* keys[] = {type, name, nullptr};
    for (const char16_t* key : keys) {
        const pe::ResourceDirectoryEntry* entry = FindResourceEntry(directory, key);
        if (entry == nullptr)
            return nullptr;
        const std::uint32_t target = resources.VirtualAddress + (entry->OffsetToData & ~pe::kResourceHighBit);
        if ((entry->OffsetToData & pe::kResourceHighBit) == 0)
            return key == nullptr ? At<const pe::ResourceDataEntry>(target) : nullptr;
        directory = At<const pe::ResourceDirectory>(target);
    }
    return nullptr;
}

} // namespace pe32
