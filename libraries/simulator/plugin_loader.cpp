// Loading the plug-in as the driver does: the library by its entry points,
// the class object, the plug-in object and its answers up to EnableDriver,
// and the device-mode calls.
#include "devmode/layout.h"
#include "libraries/simulator/driver_helper.h"
#include "libraries/simulator/session_internal.h"

namespace klv::sim {

namespace {

// Asks the plug-in to fill `out` (defaults, or `in` merged into it).
bool CallDevMode(IPrintOemPS* plugin, DWORD mode, std::vector<std::uint8_t>* in,
                 std::vector<std::uint8_t>* out, std::string* error) {
    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    param.pOEMDMIn = in != nullptr ? in->data() : nullptr;
    param.pOEMDMOut = out->data();
    param.cbBufSize = static_cast<DWORD>(out->size());
    const HRESULT hr = plugin->DevMode(mode, &param);
    if (FAILED(hr) && error != nullptr)
        *error = std::string("DevMode(") + (mode == OEMDM_MERGE ? "OEMDM_MERGE" : "OEMDM_DEFAULT") +
                 ") failed with " + Hex(hr);
    return SUCCEEDED(hr);
}

} // namespace

Simulator::Simulator() = default;

LONG Simulator::HelperReferencesHeld() const {
    return helper_ != nullptr ? helper_->refCount - 1 : 0;
}

Simulator::~Simulator() {
    Close();
}

bool Simulator::Open(const std::string& pluginPath, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = what;
        Close();
        return false;
    };
    Close();
    library_ = std::make_unique<platform::LoadedPlugin>(pluginPath);
    if (!library_->Ok())
        return fail("cannot load the plug-in " + pluginPath + ": " + library_->Error());
    closed_ = false;

    IClassFactory* factory = nullptr;
    HRESULT hr =
        library_->getClassObject(kClsidOemRender, kIidClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || factory == nullptr)
        return fail("DllGetClassObject for the rendering plug-in class failed with " + Hex(hr));
    hr = factory->CreateInstance(nullptr, kIidPrintOemPS, reinterpret_cast<void**>(&plugin_));
    factory->Release();
    if (FAILED(hr) || plugin_ == nullptr) {
        plugin_ = nullptr;
        return fail("CreateInstance for IPrintOemPS failed with " + Hex(hr));
    }

    helper_ = std::make_unique<DriverHelper>();
    hr = plugin_->PublishDriverInterface(static_cast<IPrintOemDriverPS*>(helper_.get()));
    if (FAILED(hr))
        return fail("PublishDriverInterface failed with " + Hex(hr));

    DWORD needed = 0;
    hr = plugin_->GetInfo(OEMGI_GETSIGNATURE, &signature_, sizeof(signature_), &needed);
    if (FAILED(hr))
        return fail("GetInfo(signature) failed with " + Hex(hr));
    if (signature_ != dm::kSignature)
        return fail("the plug-in's signature is " + Hex(static_cast<HRESULT>(signature_)) + ", not " +
                    Hex(static_cast<HRESULT>(dm::kSignature)));
    hr = plugin_->GetInfo(OEMGI_GETVERSION, &version_, sizeof(version_), &needed);
    if (FAILED(hr))
        return fail("GetInfo(version) failed with " + Hex(hr));
    if (version_ != dm::kVersion)
        return fail("the plug-in's version is " + std::to_string(version_) + ", not " +
                    std::to_string(dm::kVersion));

    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    hr = plugin_->DevMode(OEMDM_SIZE, &param);
    if (FAILED(hr))
        return fail("DevMode(OEMDM_SIZE) failed with " + Hex(hr));
    if (param.cbBufSize < sizeof(OEM_DMEXTRAHEADER) || param.cbBufSize > 0x10000)
        return fail("the plug-in asks for a private device mode of " + std::to_string(param.cbBufSize) +
                    " bytes");
    devmodeSize_ = param.cbBufSize;

    hooks_ = DRVENABLEDATA{};
    hr = plugin_->EnableDriver(PRINTER_OEMINTF_VERSION, sizeof(hooks_), &hooks_);
    if (FAILED(hr))
        return fail("EnableDriver failed with " + Hex(hr));
    if (hooks_.c > 0 && hooks_.pdrvfn == nullptr)
        return fail("EnableDriver announced " + std::to_string(hooks_.c) + " hooks without a table");
    return true;
}

HRESULT Simulator::Close() {
    if (closed_)
        return library_ != nullptr && library_->Ok() ? library_->canUnloadNow() : S_OK;
    closed_ = true;
    if (plugin_ != nullptr) {
        plugin_->DisableDriver();
        plugin_->Release();
        plugin_ = nullptr;
    }
    hooks_ = DRVENABLEDATA{};
    return library_->canUnloadNow();
}

std::vector<std::uint8_t> Simulator::DefaultDevMode(std::string* error) {
    if (plugin_ == nullptr) {
        if (error != nullptr)
            *error = "the plug-in is not loaded";
        return {};
    }
    std::vector<std::uint8_t> block(devmodeSize_, 0);
    if (!CallDevMode(plugin_, OEMDM_DEFAULT, nullptr, &block, error))
        return {};
    return block;
}

std::vector<std::uint8_t> Simulator::MergeDevMode(const std::vector<std::uint8_t>& user, std::string* error) {
    if (user.size() != devmodeSize_) {
        if (error != nullptr)
            *error = "the device mode holds " + std::to_string(user.size()) + " bytes; the plug-in's has " +
                     std::to_string(devmodeSize_);
        return {};
    }
    std::vector<std::uint8_t> block = DefaultDevMode(error);
    if (block.empty())
        return {};
    std::vector<std::uint8_t> input = user;
    if (!CallDevMode(plugin_, OEMDM_MERGE, &input, &block, error))
        return {};
    return block;
}

} // namespace klv::sim
