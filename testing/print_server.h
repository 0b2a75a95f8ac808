// A real print server for tests: a cupsd of the test's own and a network
// printer on 127.0.0.1 that keeps every job it receives. Neither touches the
// system's CUPS: the server has its own configuration, spool, cache, state
// and log folders under a folder the test gives, listens on a free port of
// 127.0.0.1 only, and both stop when their objects go away.
//
//   klv::support::TempDir dir;
//   klv::testing::LoopbackPrinter printer(dir.Path() / "printer");
//   klv::testing::CupsServer server(dir.Path() / "cups", {{"klvps-cupsfilter", filterPath}});
//   server.Start();
//   server.Run({"lpadmin", "-p", "Q", "-E", "-v", printer.Uri(), "-P", ppdPath});
//   server.Run({"lp", "-d", "Q", "-U", "alice", "job.ps"});
//   printer.WaitForJobs(1, 60);
#pragma once

#include "libraries/support/process.h"

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace klv::testing {

// A port on 127.0.0.1 that nothing listens on at the moment of asking.
int FreePort();
// Whether something accepts connections on 127.0.0.1:port.
bool Answers(int port);

// rigs/loopback_printer, run as a child. Its folder holds job-NNNN.prn for
// each connection the sender closed, job-NNNN.reset for each one that broke
// off, and job-NNNN.partial while one lasts.
class LoopbackPrinter {
public:
    // Starts the printer on a free port, keeping jobs in dir (made if
    // needed); throws std::runtime_error when it does not start. The test
    // process ignores SIGPIPE from then on.
    explicit LoopbackPrinter(std::filesystem::path dir);
    ~LoopbackPrinter();
    LoopbackPrinter(const LoopbackPrinter&) = delete;
    LoopbackPrinter& operator=(const LoopbackPrinter&) = delete;

    int Port() const { return port_; }
    std::string Uri() const; // socket://127.0.0.1:PORT

    bool StopListening();              // connections are refused until Listen
    bool Listen();                     // on the same port again
    bool SetRate(long bytesPerSecond); // 0: as fast as they come

    // The files of ended connections with the given extension, in order.
    std::vector<std::filesystem::path> Jobs(const std::string& extension = ".prn") const;
    std::vector<std::filesystem::path> Partial() const { return Jobs(".partial"); }
    // Waits until at least count connections have ended; false after seconds.
    bool WaitForJobs(std::size_t count, double seconds) const;

    // A sender that keeps its connection open from one job to the next (a
    // printer application does) sends several on one connection: these are
    // the whole DSC jobs received so far on any connection, open ones too,
    // told apart by their %!PS-Adobe- header and kept when their %%EOF has
    // arrived, in the order they came.
    std::vector<std::string> Documents() const;
    // Waits until at least count whole DSC jobs have arrived; false after seconds.
    bool WaitForDocuments(std::size_t count, double seconds) const;
    // Every byte received on any connection, in order.
    std::string Received() const;

private:
    std::string Command(const std::string& line);

    std::filesystem::path dir_;
    pid_t pid_ = -1;
    int toPrinter_ = -1;
    int fromPrinter_ = -1;
    int port_ = 0;
};

// A cupsd in the foreground, as a child of the test.
class CupsServer {
public:
    // root is made and holds everything of the server. The filters of
    // /usr/lib/cups/filter are its filters, except that each entry of
    // filters (name to program) takes the place of, or adds, that name.
    CupsServer(std::filesystem::path root, std::map<std::string, std::filesystem::path> filters);
    ~CupsServer();
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    // Starts cupsd and waits until it answers; false with the reason (and
    // the error log's tail) in *error. After Stop it starts again on the
    // same port with the same spool.
    bool Start(std::string* error);
    // Stops it as the system would (SIGTERM), waiting for it to exit.
    void Stop();

    std::string Address() const; // 127.0.0.1:PORT
    // Runs a CUPS client program against this server only, with a clean
    // environment.
    support::ProcessResult Run(const std::vector<std::string>& argv, double timeoutSeconds = 60) const;
    // The lines the server logged for one job ("[Job N] ...").
    std::string JobLog(int id) const;
    // The last lines of the server's error log, for failure messages.
    std::string ErrorLogTail(std::size_t lines = 60) const;

private:
    void WriteConfiguration() const;

    std::filesystem::path root_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// The job id that lp printed ("request id is Q-12 (1 file(s))"), or 0.
int JobIdFromLp(const std::string& output);

} // namespace klv::testing
