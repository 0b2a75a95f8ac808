// Printer-status records shared with other modules. Nothing in the plug-in
// uses them; their copy constructors, assignment operators and tables of
// virtual functions are exported, so member order and widths are a binary
// contract with the modules that link against them.
//
// They live in the global namespace because their exported names carry no
// namespace. The members are named by position and type (value0, text0,
// item0, byte0): the modules that fill the records give them their meaning,
// and this module only copies them.
#pragma once

#include "platform/abi.h"
#include "platform/win32.h"

namespace klv {
constexpr int kStatusTextUnits = 64;
constexpr int kTrayEntries = 10;
} // namespace klv

struct TrayEntry {
    DWORD item0;
    DWORD item1;
    DWORD item2;
    DWORD item3;
    DWORD item4;
    DWORD item5;
    DWORD item6;
};

// Each class is abstract with a single slot in its table: Refresh, which the
// modules that fill the records implement.
//
// Copying sets the table pointer to the class's own table and copies every
// member whole, texts as all 64 units whatever their terminator. Assignment
// copies every member but the table pointer, in member order. Nothing is
// validated, converted or terminated.

class KLV_EXPORTED_CLASS CTrayStatus {
public:
    CTrayStatus(const CTrayStatus& other);
    CTrayStatus& operator=(const CTrayStatus& other);
    virtual void Refresh() = 0;

    DWORD value0;
    WCHAR text0[klv::kStatusTextUnits];
    TrayEntry entries[klv::kTrayEntries];

protected:
    CTrayStatus() = default;
};

class KLV_EXPORTED_CLASS CConsumablesStatus {
public:
    CConsumablesStatus(const CConsumablesStatus& other);
    CConsumablesStatus& operator=(const CConsumablesStatus& other);
    virtual void Refresh() = 0;

    DWORD value0;
    DWORD value1;
    DWORD value2;
    DWORD value3;
    WCHAR text0[klv::kStatusTextUnits];

protected:
    CConsumablesStatus() = default;
};

class KLV_EXPORTED_CLASS CGeneralPrinterStatus {
public:
    CGeneralPrinterStatus(const CGeneralPrinterStatus& other);
    CGeneralPrinterStatus& operator=(const CGeneralPrinterStatus& other);
    virtual void Refresh() = 0;

    BYTE byte0;
    DWORD value0;
    BYTE byte1;
    BYTE byte2;
    BYTE byte3;
    WCHAR text0[klv::kStatusTextUnits];
    WCHAR text1[klv::kStatusTextUnits];

protected:
    CGeneralPrinterStatus() = default;
};

// The sizes that the other modules were built with: a table pointer, then the
// members at their natural alignment.
static_assert(sizeof(TrayEntry) == 28);
static_assert(sizeof(void*) != 8 || sizeof(CTrayStatus) == 424);
static_assert(sizeof(void*) != 4 || sizeof(CTrayStatus) == 416);
static_assert(sizeof(void*) != 8 || sizeof(CConsumablesStatus) == 152);
static_assert(sizeof(void*) != 4 || sizeof(CConsumablesStatus) == 148);
static_assert(sizeof(void*) != 8 || sizeof(CGeneralPrinterStatus) == 280);
static_assert(sizeof(void*) != 4 || sizeof(CGeneralPrinterStatus) == 272);
