// The PostScript driver's plug-in interfaces and records, declared with the
// platform's names, member order and method order.
#pragma once

#include "platform/ddi.h"
#include "platform/win32.h"

#include <cstddef>

using PDEVOEM = void*;
using PDRVPROCS = void*;

// What the driver tells a plug-in about one device.
struct DEVOBJ {
    DWORD dwSize;
    PDEVOEM pdevOEM; // the plug-in's per-device block
    HANDLE hEngine;
    HANDLE hPrinter; // spooler handle
    HANDLE hOEM;     // the plug-in's module handle
    DEVMODEW* pPublicDM;
    PVOID pOEMDM; // the plug-in's private device mode
    PDRVPROCS pDrvProcs;
};
using PDEVOBJ = DEVOBJ*;

struct OEMDMPARAM {
    DWORD cbSize;
    PVOID pdriverobj;
    HANDLE hPrinter;
    HANDLE hModule;
    DEVMODEW* pPublicDMIn;
    DEVMODEW* pPublicDMOut;
    PVOID pOEMDMIn;
    PVOID pOEMDMOut;
    DWORD cbBufSize;
};
using POEMDMPARAM = OEMDMPARAM*;

struct OEM_DMEXTRAHEADER {
    DWORD dwSize;
    DWORD dwSignature;
    DWORD dwVersion;
};

#define PRINTER_OEMINTF_VERSION 0x00010000

// GetInfo modes.
#define OEMGI_GETSIGNATURE 1
#define OEMGI_GETINTERFACEVERSION 2
#define OEMGI_GETVERSION 3
#define OEMGI_GETPUBLISHERINFO 4

// DevMode modes.
#define OEMDM_SIZE 1
#define OEMDM_DEFAULT 2
#define OEMDM_CONVERT 3
#define OEMDM_MERGE 4

// PostScript injection points the plug-in serves.
#define PSINJECT_COMMENTS 11
#define PSINJECT_BEGINPROLOG 14
#define PSINJECT_ENDPROLOG 15
#define PSINJECT_BEGINSETUP 16
#define PSINJECT_BEGINPAGESETUP 101

// The driver's helper interface, published to the plug-in.
struct IPrintOemDriverPS : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID driverObject, PCSTR feature, PVOID output,
                                                          DWORD size, PDWORD needed,
                                                          PDWORD optionsReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvWriteSPBuf(PDEVOBJ devobj, PVOID buffer, DWORD size,
                                                    DWORD* written) = 0;
};

// The interface through which the driver drives a rendering plug-in.
struct IPrintOemPS : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevMode(DWORD mode, POEMDMPARAM param) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnableDriver(DWORD driverVersion, DWORD size,
                                                   DRVENABLEDATA* enableData) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisableDriver() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ devobj, PWSTR printerName, ULONG patternCount,
                                                 HSURF* patterns, ULONG gdiInfoSize, GDIINFO* gdiInfo,
                                                 ULONG devInfoSize, DEVINFO* devInfo,
                                                 DRVENABLEDATA* enableData, PDEVOEM* devOem) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ devobj) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ oldDevobj, PDEVOBJ newDevobj) = 0;
    virtual HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* unknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE Command(PDEVOBJ devobj, DWORD index, PVOID data, DWORD size,
                                              DWORD* result) = 0;
};

namespace klv {

extern const CLSID kClsidOemRender;    // {6D6ABF26-9F38-11D1-882A-00C04FB961EC}
extern const IID kIidUnknown;          // {00000000-0000-0000-C000-000000000046}
extern const IID kIidClassFactory;     // {00000001-0000-0000-C000-000000000046}
extern const IID kIidPrintOemPS;       // {688342B5-8E1A-11D1-881F-00C04FB961EC}
extern const IID kIidPrintOemDriverPS; // {D90060C7-8E1A-11D1-881F-00C04FB961EC}

} // namespace klv

static_assert(offsetof(DEVOBJ, pdevOEM) == (kWide ? 8 : 4));
static_assert(offsetof(DEVOBJ, hPrinter) == (kWide ? 24 : 12));
static_assert(offsetof(DEVOBJ, hOEM) == (kWide ? 32 : 16));
static_assert(offsetof(DEVOBJ, pOEMDM) == (kWide ? 48 : 24));
static_assert(sizeof(DEVOBJ) == (kWide ? 64 : 32));
static_assert(offsetof(OEMDMPARAM, pOEMDMIn) == (kWide ? 48 : 24));
static_assert(offsetof(OEMDMPARAM, pOEMDMOut) == (kWide ? 56 : 28));
static_assert(offsetof(OEMDMPARAM, cbBufSize) == (kWide ? 64 : 32));
static_assert(sizeof(OEMDMPARAM) == (kWide ? 72 : 36));
static_assert(sizeof(OEM_DMEXTRAHEADER) == 12);
static_assert(sizeof(JOB_INFO_1W) == (kWide ? 96 : 64));
