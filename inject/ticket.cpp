// The job ticket: the NT flag, the job password and the job name as keys
// in userdict, the last two as hexadecimal strings of their 16-bit codes.
#include "devmode/layout.h"
#include "hooks/device_state.h"
#include "inject/document_name.h"
#include "inject/injection_points.h"
#include "strings/bounded.h"

namespace klv {

namespace {

constexpr DWORD kWorkChars = 260;
constexpr DWORD kDefaultJobNameChars = 78;

// Writes each code unit as lower-case hexadecimal, two digits at least,
// one write per unit.
void WriteHexUnits(InjectionWriter& writer, const WCHAR* text) {
    for (; *text != 0; ++text) {
        const unsigned unit = static_cast<unsigned>(*text);
        BoundedFormat(writer.Buffer(), kInjectionBufferSize, unit < 16 ? "0%x" : "%x", unit);
        writer.WriteBuffer();
    }
}

// An empty job name takes the document name of the device's job (or, when
// the device has none, the process's last one), at most 78 characters. It
// stays in the device mode.
void DefaultJobName(BYTE* settings, PDEVOBJ devobj) {
    if (dm::U16(settings, dm::kSzJobName) != 0)
        return;
    WCHAR name[kDocumentNameChars];
    const DeviceHookState* state = DeviceStateOf(devobj);
    if (state != nullptr && state->documentNameKnown)
        BoundedCopyWide(name, kDocumentNameChars, state->documentName);
    else
        CopyDocumentName(name);
    DWORD i = 0;
    for (; i < kDefaultJobNameChars && name[i] != 0; ++i)
        dm::PutU16(settings, dm::kSzJobName + 2 * i, static_cast<std::uint16_t>(name[i]));
    dm::PutU16(settings, dm::kSzJobName + 2 * i, 0);
}

} // namespace

void WriteJobTicket(InjectionWriter& writer, PDEVOBJ devobj) {
    auto* settings = static_cast<BYTE*>(devobj->pOEMDM);
    WCHAR work[kWorkChars];

    writer.Emit("userdict /kelvo$NT true put\r\n");
    writer.Emit("userdict /kelvo$jobpassword <");
    // Fields are read up to their terminator, and never past their end.
    dm::ReadWide(settings, dm::kSzJobPassword, dm::kJobPasswordChars, work, kWorkChars);
    WriteHexUnits(writer, work);
    writer.Emit("> put\r\n");

    writer.Emit("userdict /kelvo$jobname <");
    DefaultJobName(settings, devobj);
    dm::ReadWide(settings, dm::kSzJobName, dm::kJobNameChars, work, kWorkChars);
    WriteHexUnits(writer, work);
    writer.Emit("> put\r\n");
}

} // namespace klv
