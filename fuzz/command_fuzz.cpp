// Command at every injection index, with arbitrary private device modes
// (unterminated texts, any angle, size, colour and flags) and arbitrary
// spooler records (names of any UTF-16 content and length, empty and long
// queues), under the ANSI code pages 1252 and 932.
//
// Everything the plug-in writes must be sound PostScript as far as strings
// go, the accounting block must close, and the device mode it reads is an
// exact-size heap block that it must neither overrun nor change.
#include "devmode/devmode.h"
#include "devmode/layout.h"
#include "fuzz/code_page.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/postscript_check.h"
#include "hooks/device_state.h"
#include "hooks/hooks.h"
#include "module/plugin.h"
#include "platform/host/host.h"
#include "platform/host/job_queue.h"
#include "testing/fake_driver.h"
#include "testing/test_device.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace klv;

constexpr DWORD kInjectionPoints[] = {PSINJECT_COMMENTS, PSINJECT_BEGINPROLOG, PSINJECT_ENDPROLOG,
                                      PSINJECT_BEGINSETUP, PSINJECT_BEGINPAGESETUP};
constexpr char kAccountingEnd[] = "} stopped cleartomark\n";

std::u16string WideText(FuzzedDataProvider& in, size_t maxUnits) {
    const size_t units = in.ConsumeIntegralInRange<size_t>(0, maxUnits);
    std::u16string text;
    for (size_t i = 0; i < units && in.remaining_bytes() > 0; ++i) {
        // Mostly printable ASCII and the characters that need escaping, but
        // any unit at all, surrogates and zero included, can appear.
        static const char16_t kCommon[] = {u'a', u'(', u')', u'\\', u' ', 0x00E9, 0x3042, 0xD83D, 0xDE00};
        text.push_back(in.ConsumeBool() ? in.PickValueInArray(kCommon) : in.ConsumeIntegral<char16_t>());
    }
    return text;
}

// Fills a wide field with up to its whole room, terminator or not.
void PutWideField(BYTE* block, DWORD offset, DWORD fieldChars, const std::u16string& text, bool terminate) {
    for (DWORD i = 0; i < fieldChars && i < text.size(); ++i)
        dm::PutU16(block, offset + 2 * i, text[i]);
    if (terminate && text.size() < fieldChars)
        dm::PutU16(block, offset + 2 * static_cast<DWORD>(text.size()), 0);
}

void FillSettings(FuzzedDataProvider& in, BYTE* block) {
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        const std::string raw = in.ConsumeBytesAsString(dm::kSize);
        std::memcpy(block, raw.data(), raw.size());
        return;
    }
    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    param.pOEMDMOut = block;
    param.cbBufSize = dm::kSize;
    HandleDevMode(OEMDM_DEFAULT, &param);
    dm::PutS16(block, dm::kSWatermarkOn, in.ConsumeIntegral<std::int16_t>());
    dm::PutS16(block, dm::kSWatermarkAngle, in.ConsumeIntegral<std::int16_t>());
    dm::PutU32(block, dm::kLWatermarkSize, in.ConsumeIntegral<std::uint32_t>());
    dm::PutU32(block, dm::kRgbWatermarkColor, in.ConsumeIntegral<std::uint32_t>());
    dm::PutS16(block, dm::kSFlip, in.ConsumeIntegral<std::int16_t>());
    dm::PutS16(block, dm::kSFullPage, in.ConsumeIntegral<std::int16_t>());
    dm::PutS16(block, dm::kSSelection, in.ConsumeIntegral<std::int16_t>());
    dm::PutByte(block, dm::kBOptionFlag, in.ConsumeIntegral<std::uint8_t>());
    dm::PutU32(block, dm::kDwOptionValue, in.ConsumeIntegral<std::uint32_t>());
    struct WideFieldSpec {
        DWORD offset;
        DWORD chars;
    };
    static const WideFieldSpec kFields[] = {{dm::kSzJobName, dm::kJobNameChars},
                                            {dm::kSzJobPassword, dm::kJobPasswordChars},
                                            {dm::kSzWatermarkText, dm::kWatermarkTextChars},
                                            {dm::kSzWatermarkFont, dm::kWatermarkFontChars}};
    for (const WideFieldSpec& field : kFields)
        PutWideField(block, field.offset, field.chars, WideText(in, field.chars + 8), in.ConsumeBool());
}

void FillQueue(FuzzedDataProvider& in, host::JobQueue& queue) {
    const int jobs = in.ConsumeIntegralInRange(0, 40);
    for (int i = 0; i < jobs; ++i) {
        platform::QueuedJob job;
        job.id = in.ConsumeIntegralInRange<DWORD>(1, 50);
        if (in.ConsumeIntegralInRange(0, 7) != 0)
            job.user = WideText(in, in.ConsumeBool() ? 80 : 600);
        if (in.ConsumeIntegralInRange(0, 7) != 0)
            job.document = WideText(in, in.ConsumeBool() ? 140 : 600);
        queue.Add(std::move(job));
    }
    queue.FailEnumJobs(in.ConsumeIntegralInRange(0, 15) == 0);
    queue.FailGetJob(in.ConsumeIntegralInRange(0, 15) == 0);
}

void CheckWrites(const std::string& written, DWORD index) {
    const std::string fault = fuzz::CheckPostScriptStrings(written);
    KLV_FUZZ_CHECK(fault.empty(), "index " + std::to_string(index) + ": " + fault);
    if (index == PSINJECT_COMMENTS) {
        KLV_FUZZ_CHECK(written.size() >= sizeof kAccountingEnd - 1 &&
                           written.compare(written.size() - (sizeof kAccountingEnd - 1), std::string::npos,
                                           kAccountingEnd) == 0,
                       "the accounting block does not close");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    fuzz::UseAnsiCodePage(in.ConsumeBool() ? 932 : 1252);

    std::unique_ptr<BYTE[]> settings(new BYTE[dm::kSize]());
    FillSettings(in, settings.get());
    const std::string settingsBefore(reinterpret_cast<const char*>(settings.get()), dm::kSize);

    host::JobQueue queue;
    FillQueue(in, queue);

    testing::FakeDriverHelper helper;
    testing::FakeDriverUnknown driver(&helper);
    RenderPlugin* plugin = RenderPlugin::Create();
    KLV_FUZZ_CHECK(plugin != nullptr, "no plug-in object");
    const bool published = in.ConsumeIntegralInRange(0, 15) != 0;
    if (published)
        plugin->PublishDriverInterface(&driver);

    DEVOBJ devobj{};
    devobj.dwSize = sizeof(devobj);
    devobj.hPrinter = queue.Handle();
    devobj.hOEM = ThisModule();
    const bool withSettings = in.ConsumeIntegralInRange(0, 15) != 0;
    devobj.pOEMDM = withSettings ? settings.get() : nullptr;
    DRVENABLEDATA none{};
    if (in.ConsumeIntegralInRange(0, 15) != 0) {
        DeviceHookState* state =
            BuildDeviceHookState(&devobj, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, &none);
        state->jobId = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange<LONG>(0, 60);
        devobj.pdevOEM = state;
    }

    // Every injection point in job order, then whatever indices the input
    // asks for (other pages, unknown indices).
    std::string job;
    auto command = [&](DWORD index) {
        helper.writes.clear();
        DWORD result = 0xDEADBEEF;
        KLV_FUZZ_CHECK(plugin->Command(&devobj, index, nullptr, 0, &result) == S_OK && result == 0,
                       "Command failed");
        const std::string written = testing::Concat(helper.writes);
        if (!published || !withSettings)
            KLV_FUZZ_CHECK(written.empty(), "wrote without a helper or a device mode");
        else
            CheckWrites(written, index);
        job += written;
    };
    for (DWORD index : kInjectionPoints)
        command(index);
    for (int extra = in.ConsumeIntegralInRange(0, 8); extra > 0; --extra) {
        command(in.ConsumeBool() ? in.PickValueInArray(kInjectionPoints) : in.ConsumeIntegral<DWORD>());
    }
    const std::string fault = fuzz::CheckPostScriptStrings(job);
    KLV_FUZZ_CHECK(fault.empty(), "the whole job: " + fault);
    // An empty job name is given the document's name and kept in the block
    // (the job ticket does so); nothing else in it may change.
    const bool jobNameFilled =
        dm::U16(reinterpret_cast<const BYTE*>(settingsBefore.data()), dm::kSzJobName) == 0;
    for (DWORD i = 0; i < dm::kSize; ++i) {
        const bool inJobName = i >= dm::kSzJobName && i < dm::kSzJobName + 2 * dm::kJobNameChars;
        if (!(jobNameFilled && inJobName))
            KLV_FUZZ_CHECK(settings[i] == static_cast<BYTE>(settingsBefore[i]),
                           "Command changed byte " + std::to_string(i) + " of the device mode");
    }

    if (devobj.pdevOEM != nullptr)
        FreeDeviceHookState(&devobj);
    plugin->Release();
    KLV_FUZZ_CHECK(helper.refCount == 1, "the driver's helper was not released");
    return 0;
}
