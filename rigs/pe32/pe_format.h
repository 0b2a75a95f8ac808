// On-disk structures of PE/COFF images, as the format documentation lays
// them out. Only what the loader reads is declared; every structure is
// packed the way the file stores it.
#pragma once

#include <cstdint>

namespace pe {

constexpr std::uint16_t kDosMagic = 0x5A4D;    // "MZ"
constexpr std::uint32_t kNtSignature = 0x4550; // "PE\0\0"
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kFileDll = 0x2000;

enum DirectoryIndex : unsigned {
    kDirExport = 0,
    kDirImport = 1,
    kDirResource = 2,
    kDirBaseReloc = 5,
    kDirTls = 9,
};

constexpr std::uint16_t kRelocAbsolute = 0;
constexpr std::uint16_t kRelocHighLow = 3;

struct DosHeader {
    std::uint16_t e_magic;
    std::uint16_t unused[29];
    std::int32_t e_lfanew;
};
static_assert(sizeof(DosHeader) == 64);

struct FileHeader {
    std::uint16_t Machine;
    std::uint16_t NumberOfSections;
    std::uint32_t TimeDateStamp;
    std::uint32_t PointerToSymbolTable;
    std::uint32_t NumberOfSymbols;
    std::uint16_t SizeOfOptionalHeader;
    std::uint16_t Characteristics;
};
static_assert(sizeof(FileHeader) == 20);

struct DataDirectory {
    std::uint32_t VirtualAddress;
    std::uint32_t Size;
};

// The fields both optional-header forms share, up to the entry point.
struct OptionalHeaderStart {
    std::uint16_t Magic;
    std::uint8_t MajorLinkerVersion;
    std::uint8_t MinorLinkerVersion;
    std::uint32_t SizeOfCode;
    std::uint32_t SizeOfInitializedData;
    std::uint32_t SizeOfUninitializedData;
    std::uint32_t AddressOfEntryPoint;
};

struct OptionalHeader32 {
    OptionalHeaderStart start;
    std::uint32_t BaseOfCode;
    std::uint32_t BaseOfData;
    std::uint32_t ImageBase;
    std::uint32_t SectionAlignment;
    std::uint32_t FileAlignment;
    std::uint16_t VersionFields[6];
    std::uint32_t Win32VersionValue;
    std::uint32_t SizeOfImage;
    std::uint32_t SizeOfHeaders;
    std::uint32_t CheckSum;
    std::uint16_t Subsystem;
    std::uint16_t DllCharacteristics;
    std::uint32_t StackAndHeapSizes[4];
    std::uint32_t LoaderFlags;
    std::uint32_t NumberOfRvaAndSizes;
    DataDirectory DataDirectories[16];
};
static_assert(sizeof(OptionalHeader32) == 224);

// PE32+ differs in its base and its stack and heap sizes being 64 bits.
struct OptionalHeader64 {
    OptionalHeaderStart start;
    std::uint32_t BaseOfCode;
    std::uint64_t ImageBase;
    std::uint32_t SectionAlignment;
    std::uint32_t FileAlignment;
    std::uint16_t VersionFields[6];
    std::uint32_t Win32VersionValue;
    std::uint32_t SizeOfImage;
    std::uint32_t SizeOfHeaders;
    std::uint32_t CheckSum;
    std::uint16_t Subsystem;
    std::uint16_t DllCharacteristics;
    std::uint64_t StackAndHeapSizes[4];
    std::uint32_t LoaderFlags;
    std::uint32_t NumberOfRvaAndSizes;
    DataDirectory DataDirectories[16];
} __attribute__((packed));
static_assert(sizeof(OptionalHeader64) == 240);

struct SectionHeader {
    char Name[8];
    std::uint32_t VirtualSize;
    std::uint32_t VirtualAddress;
    std::uint32_t SizeOfRawData;
    std::uint32_t PointerToRawData;
    std::uint32_t PointerToRelocations;
    std::uint32_t PointerToLinenumbers;
    std::uint16_t NumberOfRelocations;
    std::uint16_t NumberOfLinenumbers;
    std::uint32_t Characteristics;
};
static_assert(sizeof(SectionHeader) == 40);

struct ImportDescriptor {
    std::uint32_t OriginalFirstThunk; // lookup table
    std::uint32_t TimeDateStamp;
    std::uint32_t ForwarderChain;
    std::uint32_t Name;
    std::uint32_t FirstThunk; // address table, overwritten with the addresses
};

struct ExportDirectory {
    std::uint32_t Characteristics;
    std::uint32_t TimeDateStamp;
    std::uint16_t MajorVersion;
    std::uint16_t MinorVersion;
    std::uint32_t Name;
    std::uint32_t Base;
    std::uint32_t NumberOfFunctions;
    std::uint32_t NumberOfNames;
    std::uint32_t AddressOfFunctions;
    std::uint32_t AddressOfNames;
    std::uint32_t AddressOfNameOrdinals;
};

struct BaseRelocationBlock {
    std::uint32_t PageRva;
    std::uint32_t BlockSize;
};

struct TlsDirectory32 {
    std::uint32_t StartAddressOfRawData;
    std::uint32_t EndAddressOfRawData;
    std::uint32_t AddressOfIndex;
    std::uint32_t AddressOfCallBacks;
    std::uint32_t SizeOfZeroFill;
    std::uint32_t Characteristics;
};

struct ResourceDirectory {
    std::uint32_t Characteristics;
    std::uint32_t TimeDateStamp;
    std::uint16_t MajorVersion;
    std::uint16_t MinorVersion;
    std::uint16_t NumberOfNamedEntries;
    std::uint16_t NumberOfIdEntries;
};

struct ResourceDirectoryEntry {
    std::uint32_t NameOrId;     // high bit: offset of a counted UTF-16 name
    std::uint32_t OffsetToData; // high bit: offset of a subdirectory
};

struct ResourceDataEntry {
    std::uint32_t DataRva;
    std::uint32_t Size;
    std::uint32_t CodePage;
    std::uint32_t Reserved;
};

constexpr std::uint32_t kResourceHighBit = 0x80000000u;

} // namespace pe
