// klvps-printer-app: an IPP Everywhere printer in front of any PostScript
// printer. Clients print to it with no driver; every job goes through the
// klvps plug-in, billed to the IPP job's user under its title, and on to
// the printer's device (socket://, ipp://, usb://, file://).
//
// PAPPL's main loop gives the sub-commands (server, add, modify, submit,
// ...), the web interface and the state file; this file adds the server's
// options and the plug-in.
#include "libraries/simulator/simulator.h"
#include "platform/host/host.h"
#include "programs/printer-app/driver.h"
#include "programs/printer-app/pappl_workarounds.h"

#include <pappl/pappl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KLVPS_APP_PLUGIN
#define KLVPS_APP_PLUGIN "/usr/lib/klvps/libklvps.so"
#endif

namespace {

constexpr const char* kName = "klvps-printer-app";
constexpr const char* kVersion = "2.0";

std::string Option(int count, cups_option_t* options, const char* name, const std::string& fallback = {}) {
    const char* value = cupsGetOption(name, count, options);
    return value != nullptr ? value : fallback;
}

// Where the spool and the state file go unless the administrator says:
// the system's directories for root, else the user's temporary ones.
std::string DefaultSpool() {
    if (getuid() == 0)
        return std::string("/var/spool/") + kName;
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/" + kName + "-" + std::to_string(getuid()) + ".d";
}

std::string DefaultState() {
    if (getuid() == 0)
        return std::string("/var/lib/") + kName + "/" + kName + ".state";
    return DefaultSpool() + "/" + kName + ".state";
}

pappl_loglevel_t LogLevel(const std::string& name) {
    if (name == "debug")
        return PAPPL_LOGLEVEL_DEBUG;
    if (name == "info")
        return PAPPL_LOGLEVEL_INFO;
    if (name == "error")
        return PAPPL_LOGLEVEL_ERROR;
    if (name == "fatal")
        return PAPPL_LOGLEVEL_FATAL;
    return PAPPL_LOGLEVEL_WARN;
}

bool MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0755);
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// Loads the plug-in once at start and keeps it: a server that cannot reach
// it would take jobs it cannot print. Its default device mode is what the
// printers' defaults start from.
bool LoadPlugin() {
    klv::app::AppConfig& config = klv::app::Config();
    const char* configured = std::getenv("KLVPS_PLUGIN");
    config.pluginPath = configured != nullptr && *configured != '\0' ? configured : KLVPS_APP_PLUGIN;
    config.simulator = std::make_unique<klv::sim::Simulator>();
    std::string error;
    if (!config.simulator->Open(config.pluginPath, &error)) {
        std::fprintf(stderr, "%s: %s (set KLVPS_PLUGIN, or install the plug-in there)\n", kName,
                     error.c_str());
        return false;
    }
    config.defaultBlock = config.simulator->DefaultDevMode(&error);
    if (config.defaultBlock.empty()) {
        std::fprintf(stderr, "%s: the plug-in gives no default device mode: %s\n", kName, error.c_str());
        return false;
    }
    return true;
}

pappl_system_t* SystemCallback(int count, cups_option_t* options, void* /*data*/) {
    const std::string codepage = Option(count, options, "codepage");
    if (!codepage.empty()) {
        // The plug-in converts names to the ANSI code page it finds in the
        // environment when it is loaded.
        if (!klv::host::SetAnsiCodePage(static_cast<UINT>(std::strtoul(codepage.c_str(), nullptr, 10)))) {
            std::fprintf(stderr, "%s: code page %s is not supported on this host\n", kName, codepage.c_str());
            return nullptr;
        }
        setenv("KLVPS_ANSI_CODEPAGE", codepage.c_str(), 1);
    }
    if (!LoadPlugin())
        return nullptr;
#if KLVPS_PAPPL_WORKAROUNDS
    if (!klv::app::PapplFunctionsFound()) {
        std::fprintf(stderr, "%s: this libpappl lacks the job functions the application was built for\n",
                     kName);
        return nullptr;
    }
#endif

    const std::string spool = Option(count, options, "spool-directory", DefaultSpool());
    static std::string state; // the save callback keeps a pointer to it
    state = Option(count, options, "state-file", DefaultState());
    const std::string logFile = Option(count, options, "log-file");
    const std::string portText = Option(count, options, "server-port", "0");
    char* end = nullptr;
    const long port = std::strtol(portText.c_str(), &end, 10);
    if (*end != '\0' || port < 0 || port > 65535) {
        std::fprintf(stderr, "%s: server-port %s is not a port number\n", kName, portText.c_str());
        return nullptr;
    }
    if (!MakeDirectories(spool) || !MakeDirectories(state.substr(0, state.rfind('/')))) {
        std::fprintf(stderr, "%s: cannot make %s or the state file's directory\n", kName, spool.c_str());
        return nullptr;
    }

    pappl_soptions_t soptions = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE |
                                PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_SECURITY;
    if (Option(count, options, "tls") == "off")
        soptions |= PAPPL_SOPTIONS_NO_TLS;
    if (Option(count, options, "remote-admin") == "on")
        soptions |= PAPPL_SOPTIONS_WEB_REMOTE;
    const std::string auth = Option(count, options, "auth-service");
    pappl_system_t* system = papplSystemCreate(
        soptions, Option(count, options, "system-name", kName).c_str(), static_cast<int>(port),
        "_print,_universal", spool.c_str(), logFile.empty() ? nullptr : logFile.c_str(),
        LogLevel(Option(count, options, "log-level")), auth.empty() ? nullptr : auth.c_str(), false);
    if (system == nullptr)
        return nullptr;
    const std::string admin = Option(count, options, "admin-group");
    if (!admin.empty())
        papplSystemSetAdminGroup(system, admin.c_str());
    const std::string listen = Option(count, options, "listen");
    if (!papplSystemAddListeners(system, listen.empty() ? nullptr : listen.c_str())) {
        std::fprintf(stderr, "%s: cannot listen on %s port %ld\n", kName,
                     listen.empty() ? "*" : listen.c_str(), port);
        papplSystemDelete(system);
        return nullptr;
    }
    std::vector<pappl_pr_driver_t>& drivers = klv::app::Drivers();
    papplSystemSetPrinterDrivers(system, static_cast<int>(drivers.size()), drivers.data(),
                                 klv::app::AutoAddCallback, nullptr, klv::app::DriverCallback, nullptr);
    klv::app::AddFormats(system);
    papplSystemSetFooterHTML(system, "klvps printer application");
    std::string error;
    if (!klv::app::RequeueInterruptedJobs(state, &error))
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
    papplSystemLoadState(system, state.c_str());
    klv::app::StartRestoredJobs(system);
    papplSystemSetSaveCallback(system, reinterpret_cast<pappl_save_cb_t>(papplSystemSaveState),
                               const_cast<char*>(state.c_str()));
    return system;
}

void Usage(void* /*data*/) {
    std::printf("Usage: %s SUB-COMMAND [OPTIONS] [FILES]\n"
                "A driverless (IPP Everywhere) printer in front of a PostScript printer that\n"
                "writes every job through the klvps plug-in.\n\n"
                "Sub-commands: add, cancel, default, delete, devices, drivers, jobs, modify,\n"
                "options, printers, server, shutdown, status, submit.\n\n"
                "Server options (server -o NAME=VALUE):\n"
                "  listen=HOST            address to listen on (default: every address)\n"
                "  server-port=PORT       port (default: chosen by PAPPL)\n"
                "  spool-directory=DIR    spool (default %s)\n"
                "  state-file=FILE        printers and their defaults (default %s)\n"
                "  log-file=FILE  log-level=debug|info|warn|error|fatal\n"
                "  tls=off                no TLS (ipps://); remote-admin=on  web administration from\n"
                "                         other hosts; auth-service=PAM-SERVICE  admin-group=GROUP\n"
                "  codepage=N             ANSI code page the plug-in converts names to (default 1252)\n\n"
                "Adding a printer:\n"
                "  %s add -d NAME -m klvps-ps -v socket://printer.example.com:9100\n"
                "Drivers: klvps-ps, klvps-ps-duplex, klvps-ps-color, klvps-ps-color-duplex.\n"
                "Defaults: %s modify -d NAME -o klvps-watermark-default=DRAFT\n"
                "The plug-in is loaded from $KLVPS_PLUGIN, else " KLVPS_APP_PLUGIN ".\n",
                kName, DefaultSpool().c_str(), DefaultState().c_str(), kName, kName);
}

} // namespace

int main(int argc, char* argv[]) {
    std::vector<pappl_pr_driver_t>& drivers = klv::app::Drivers();
    return papplMainloop(argc, argv, kVersion, nullptr, static_cast<int>(drivers.size()), drivers.data(),
                         klv::app::AutoAddCallback, klv::app::DriverCallback, nullptr, nullptr,
                         SystemCallback, Usage, nullptr);
}
