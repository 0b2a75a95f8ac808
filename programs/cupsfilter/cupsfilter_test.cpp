// klvps-cupsfilter run as the print server runs it: the same argument
// vector and environment, the job on standard input or in a file, and then
// under CUPS's own cupsfilter program with the project's PPD file.
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using klv::support::TempDir;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A three-page DSC job with a prolog, a setup and page setups.
std::string SampleJob() {
    std::string job = "%!PS-Adobe-3.0\n%%Title: sample\n%%Pages: 3\n%%EndComments\n"
                      "%%BeginProlog\n/F { /Helvetica findfont 24 scalefont setfont } def\n%%EndProlog\n"
                      "%%BeginSetup\nF\n%%EndSetup\n";
    for (int page = 1; page <= 3; ++page) {
        const std::string n = std::to_string(page);
        job += "%%Page: " + n + " " + n + "\n%%BeginPageSetup\n%%EndPageSetup\n72 720 moveto (Page " + n +
               ") show\nshowpage\n";
    }
    return job + "%%Trailer\n%%EOF\n";
}

// The environment the print server gives a filter.
std::vector<std::string> CupsEnvironment(const std::string& ppd) {
    return {"CONTENT_TYPE=application/vnd.cups-postscript",
            "FINAL_CONTENT_TYPE=application/vnd.cups-postscript",
            "PPD=" + ppd,
            "DEVICE_URI=file:///dev/null",
            "PRINTER=klvps",
            "CUPS_SERVERROOT=/etc/cups",
            "CUPS_DATADIR=/usr/share/cups",
            "CHARSET=utf-8",
            "LANG=C.UTF-8",
            "PATH=/usr/lib/cups/filter:/usr/bin:/bin",
            "KLVPS_PLUGIN=" KLVPS_PLUGIN_PATH};
}

struct FilterRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

enum class Reader { kFile, kGone };

// Starts the filter with stdin from the file `input` (or a pipe when empty,
// whose write end is returned through pipeWrite), stderr to a file and
// stdout to a file, or to a pipe whose reader has gone away.
pid_t StartFilter(const std::vector<std::string>& args, const std::vector<std::string>& env,
                  const fs::path& dir, const std::string& input, int* pipeWrite,
                  Reader reader = Reader::kFile) {
    int in = -1;
    int fds[2] = {-1, -1};
    if (input.empty()) {
        EXPECT_EQ(pipe(fds), 0);
        in = fds[0];
        *pipeWrite = fds[1];
    } else {
        in = open(input.c_str(), O_RDONLY);
    }
    int out = -1;
    if (reader == Reader::kGone) {
        int gone[2];
        EXPECT_EQ(pipe(gone), 0);
        close(gone[0]);
        out = gone[1];
        WriteAll(dir / "out", "");
    } else {
        out = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    const int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(KLVPS_CUPSFILTER_PATH));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (fds[1] >= 0)
            close(fds[1]);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(in);
    close(out);
    close(err);
    return pid;
}

FilterRun Finish(pid_t pid, const fs::path& dir) {
    FilterRun run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadAll(dir / "out");
    run.err = ReadAll(dir / "err");
    return run;
}

FilterRun RunFilter(const std::vector<std::string>& args, const fs::path& dir, const std::string& input,
                    const std::string& ppd = KLVPS_PPD_PATH) {
    return Finish(StartFilter(args, CupsEnvironment(ppd), dir, input, nullptr), dir);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++n;
    return n;
}

struct InputCase {
    const char* label;
    bool fromFile; // the sixth argument, else standard input
};

TEST(CupsFilter, BillsTheCupsJobsUserWithItsTitle) {
    const InputCase cases[] = {{"standard input", false}, {"file argument", true}};
    for (const InputCase& c : cases) {
        TempDir dir;
        const fs::path job = dir.Path() / "job.ps";
        WriteAll(job, SampleJob());
        std::vector<std::string> args = {"731", "alice", "Quarterly (draft)", "1", "media=Letter"};
        if (c.fromFile)
            args.push_back(job.string());
        const FilterRun run = RunFilter(args, dir.Path(), c.fromFile ? "/dev/null" : job.string());
        EXPECT_EQ(run.exitStatus, 0) << c.label << "\n" << run.err;
        EXPECT_TRUE(Contains(run.out, "(alice) /ZUDurareDirod /ProcSet findresource begin logusername end"))
            << c.label;
        EXPECT_TRUE(Contains(run.out, "(Quarterly \\(draft\\)) /ZUDurareDirod /ProcSet findresource begin "
                                      "logfilename end"))
            << c.label;
        EXPECT_FALSE(Contains(run.err, "PAGE:")) << "page accounting belongs to other filters";
        const klv::gs::GsRun gs = klv::gs::RunGhostscript(run.out, {"-sDEVICE=nullpage"});
        EXPECT_TRUE(gs.ok) << c.label << "\n" << gs.output;
    }
}

TEST(CupsFilter, OptionsAndQueueDefaultsSetTheJob) {
    TempDir dir;
    const fs::path job = dir.Path() / "job.ps";
    WriteAll(job, SampleJob());
    const fs::path ppd = dir.Path() / "queue.ppd";
    std::string defaults = ReadAll(KLVPS_PPD_PATH);
    const std::string off = "*Defaultklvps-flip: False";
    defaults.replace(defaults.find(off), off.size(), "*Defaultklvps-flip: True");
    WriteAll(ppd, defaults);

    const FilterRun run = RunFilter({"5", "bob", "t", "1",
                                     "klvps-watermark='TOP SECRET' klvps-watermark-angle=45 "
                                     "klvps-watermark-color=255,0,0 klvps-full-page"},
                                    dir.Path(), job.string(), ppd.string());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "/Watermark (TOP SECRET) def"));
    EXPECT_TRUE(Contains(run.out, "/Angle 45 def"));
    EXPECT_TRUE(Contains(run.out, "{1.00 0.00 0.00 setrgbcolor}"));
    EXPECT_TRUE(Contains(run.out, "userdict /kelvo$flip true put")) << "the queue's default";
    EXPECT_EQ(Count(run.out, "userdict /DrawWaterMark get exec"), 3u) << "one watermark per page";

    const klv::gs::Rendering pages = klv::gs::RenderPages(run.out);
    ASSERT_TRUE(pages.run.ok) << pages.run.output;
    ASSERT_EQ(pages.pages.size(), 3u);
    EXPECT_GT(pages.pages[0].CountNear({255, 0, 0}, 40, pages.pages[0].Width() / 2,
                                       pages.pages[0].Height() / 2, pages.pages[0].Width() / 2),
              0);
}

struct RefusalCase {
    std::vector<std::string> args;
    const char* error;
    std::optional<std::string> input; // the sample job when not given
};

TEST(CupsFilter, RefusesWithAnErrorLineAndWritesNothing) {
    const RefusalCase cases[] = {
        {{"1", "u", "t", "1", "klvps-watermark-angle=99999"},
         "ERROR: klvps: klvps-watermark-angle: 99999 is outside -32768 to 32767",
         {}},
        {{"1", "u", "t", "1", "klvps-job-password=secret"},
         "ERROR: klvps: klvps-job-password: 6 characters, at most 4 allowed",
         {}},
        {{"1", "u", "t", "1", "klvps-flip=perhaps"},
         "ERROR: klvps: klvps-flip: 'perhaps' is not a boolean",
         {}},
        {{"x", "u", "t", "1", ""}, "ERROR: klvps: job id 'x' is not a number", {}},
        {{"0", "u", "t", "1", ""}, "ERROR: klvps: job id '0' is not a number from 1 to 4294967295", {}},
        {{"1", "u", "t", "1", "", "/nonexistent/job.ps"},
         "ERROR: klvps: cannot open /nonexistent/job.ps",
         {}},
        {{"1", "u", "t"}, "Usage: klvps-cupsfilter job-id user title copies options [file]", {}},
        {{"1", "u", "t", "1", ""}, "ERROR: klvps: standard input: the job is empty", ""},
        {{"1", "u", "t", "1", ""}, "ERROR: klvps: standard input: the job has no DSC header", "hello\n"},
    };
    for (const RefusalCase& c : cases) {
        TempDir dir;
        const fs::path job = dir.Path() / "job.ps";
        WriteAll(job, c.input.value_or(SampleJob()));
        const FilterRun run = RunFilter(c.args, dir.Path(), job.string());
        EXPECT_EQ(run.exitStatus, 1) << c.error;
        EXPECT_TRUE(Contains(run.err, c.error)) << run.err;
        EXPECT_TRUE(run.out.empty()) << c.error;
    }
}

TEST(CupsFilter, AReaderThatGoesAwayFailsTheJobWithAMessage) {
    TempDir dir;
    const fs::path job = dir.Path() / "job.ps";
    WriteAll(job, SampleJob());
    // Ignoring SIGPIPE turns the lost reader into a failed write.
    const FilterRun run = Finish(StartFilter({"3", "u", "t", "1", ""}, CupsEnvironment(KLVPS_PPD_PATH),
                                             dir.Path(), job.string(), nullptr, Reader::kGone),
                                 dir.Path());
    EXPECT_EQ(run.exitStatus, 1) << "killed by a signal, or reported success";
    EXPECT_TRUE(Contains(run.err, "ERROR: klvps: standard output cannot be written: Broken pipe")) << run.err;
}

TEST(CupsFilter, StopsCleanlyWhenTheJobIsCancelled) {
    TempDir dir;
    const std::string job = SampleJob();
    const std::string head = job.substr(0, job.find("%%Page: 2"));
    int feed = -1;
    const pid_t pid =
        StartFilter({"9", "dave", "t", "1", ""}, CupsEnvironment(KLVPS_PPD_PATH), dir.Path(), "", &feed);
    ASSERT_EQ(write(feed, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    // The rest of the job never comes: the filter is waiting for input when
    // it is cancelled.
    for (int i = 0; i < 200 && !Contains(ReadAll(dir.Path() / "err"), "DEBUG: klvps: job 9 of dave"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 200 && (done = waitpid(pid, &status, WNOHANG)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    close(feed);
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the filter did not stop on SIGTERM";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal rather than exiting";
    EXPECT_EQ(WEXITSTATUS(status), 1) << "a cancelled job is not a printed one";
    const std::string err = ReadAll(dir.Path() / "err");
    EXPECT_TRUE(Contains(err, "INFO: klvps: job cancelled")) << err;
    EXPECT_FALSE(Contains(err, "ERROR:")) << err;
    const std::string out = ReadAll(dir.Path() / "out");
    EXPECT_TRUE(Contains(out, "(dave) /ZUDurareDirod")) << "what was read is written out";
    EXPECT_TRUE(Contains(out, "72 720 moveto (Page 1) show\nshowpage\n"));
}

struct PluginFaultCase {
    const char* label;
    std::optional<std::string> library; // the file's bytes; none: no file
    const char* cause;
};

TEST(CupsFilter, APluginThatCannotBeLoadedFailsTheJobWithOneErrorLine) {
    // A 32-bit ELF header: a library built for another architecture.
    std::string elf32 = "\x7f"
                        "ELF\x01\x01\x01";
    elf32.resize(64, '\0');
    const PluginFaultCase cases[] = {
        {"missing", std::nullopt, "cannot open shared object file"},
        {"another architecture", elf32, "wrong ELF class: ELFCLASS32"},
        {"not a library", std::string("MZ\x90\0 a Windows DLL", 20) + std::string(108, '\0'),
         "invalid ELF header"},
    };
    for (const PluginFaultCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const fs::path job = dir.Path() / "job.ps";
        WriteAll(job, SampleJob());
        const fs::path library = dir.Path() / "libklvps.so";
        if (c.library)
            WriteAll(library, *c.library);
        std::vector<std::string> env = CupsEnvironment(KLVPS_PPD_PATH);
        env.back() = "KLVPS_PLUGIN=" + library.string();
        const FilterRun run =
            Finish(StartFilter({"4", "u", "t", "1", ""}, env, dir.Path(), job.string(), nullptr), dir.Path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(Count(run.err, "ERROR:"), 1u) << run.err;
        EXPECT_TRUE(Contains(run.err, "ERROR: klvps: cannot load the plug-in " + library.string()))
            << run.err;
        EXPECT_TRUE(Contains(run.err, c.cause)) << run.err;
        EXPECT_TRUE(run.out.empty()) << "nothing reaches the printer";
    }
}

// CUPS's own programs, with a server directory whose filters are the
// system's and ours.
class UnderCups : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/sbin/cupsfilter", X_OK) != 0)
            GTEST_SKIP() << "cupsfilter is not installed (Debian package cups)";
        if (access("/usr/lib/cups/filter/pstops", X_OK) != 0)
            GTEST_SKIP() << "CUPS's pstops filter is not installed (Debian package cups-core-drivers)";
        const fs::path filters = dir_.Path() / "serverbin" / "filter";
        fs::create_directories(filters);
        // An installed klvps-cupsfilter is left out: the build's is the
        // one under test, whatever the machine has installed.
        for (const fs::directory_entry& e : fs::directory_iterator("/usr/lib/cups/filter")) {
            if (e.path().filename() != "klvps-cupsfilter")
                fs::create_symlink(e.path(), filters / e.path().filename());
        }
        // cupsfilter passes filters a fixed environment, without
        // KLVPS_PLUGIN: the filter finds the plug-in by its built-in path.
        fs::copy_file(KLVPS_CUPSFILTER_PATH, filters / "klvps-cupsfilter");
        WriteAll(dir_.Path() / "cups-files.conf", "ServerBin " + (dir_.Path() / "serverbin").string() + "\n");
    }

    klv::support::ProcessResult Cupsfilter(const std::vector<std::string>& extra, const fs::path& job,
                                           const fs::path& out,
                                           const std::string& type = "application/postscript") {
        // cupsfilter writes the job to stdout; a shell sends it to a file.
        std::string command = "/usr/sbin/cupsfilter -c '" + (dir_.Path() / "cups-files.conf").string() +
                              "' -p '" + KLVPS_PPD_PATH + "' -m printer/klvps -i " + type + " -e";
        for (const std::string& e : extra)
            command += " '" + e + "'";
        command += " '" + job.string() + "' > '" + out.string() + "'";
        return klv::support::RunProcess({"/bin/sh", "-c", command});
    }

    TempDir dir_;
};

TEST_F(UnderCups, ThePpdPassesCupstestppd) {
    if (access("/usr/bin/cupstestppd", X_OK) != 0)
        GTEST_SKIP() << "cupstestppd is not installed (Debian package cups-client)";
    // cupstestppd looks for the filter under the root it is given.
    const fs::path root = dir_.Path() / "root";
    fs::create_directories(root / "usr/lib/cups/filter");
    fs::copy_file(KLVPS_CUPSFILTER_PATH, root / "usr/lib/cups/filter/klvps-cupsfilter");
    const klv::support::ProcessResult run =
        klv::support::RunProcess({"/usr/bin/cupstestppd", "-R", root.string(), KLVPS_PPD_PATH});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "PASS")) << run.output;
}

TEST_F(UnderCups, RunsAfterPstopsWithTheJobsUserTitleAndOptions) {
    const fs::path job = dir_.Path() / "job.ps";
    const fs::path out = dir_.Path() / "out.ps";
    WriteAll(job, SampleJob());
    const klv::support::ProcessResult run = Cupsfilter(
        {"-U", "erin", "-t", "Budget 2027", "-o", "klvps-watermark=DRAFT", "-o", "klvps-flip"}, job, out);
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "INFO: klvps-cupsfilter")) << run.output;
    const std::string printed = ReadAll(out);
    EXPECT_TRUE(Contains(printed, "(erin) /ZUDurareDirod /ProcSet findresource begin logusername end"));
    EXPECT_TRUE(
        Contains(printed, "(Budget 2027) /ZUDurareDirod /ProcSet findresource begin logfilename end"));
    EXPECT_TRUE(Contains(printed, "/Watermark (DRAFT) def"));
    EXPECT_TRUE(Contains(printed, "userdict /kelvo$flip true put"));
    const klv::gs::Rendering pages = klv::gs::RenderPages(printed);
    EXPECT_TRUE(pages.run.ok) << pages.run.output;
    EXPECT_EQ(pages.pages.size(), 3u);
}

TEST_F(UnderCups, AfterPstopsTheWatermarkIsDrawnOncePerSheet) {
    // Two pages to a sheet: the three pages of the job make two sheets, and
    // the job still carries one accounting block.
    const fs::path job = dir_.Path() / "job.ps";
    const fs::path out = dir_.Path() / "out.ps";
    WriteAll(job, SampleJob());
    const klv::support::ProcessResult run =
        Cupsfilter({"-o", "number-up=2", "-o", "klvps-watermark=DRAFT"}, job, out);
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    const std::string printed = ReadAll(out);
    EXPECT_EQ(Count(printed, "userdict /DrawWaterMark get exec"), 2u);
    EXPECT_EQ(Count(printed, "begin logusername end"), 1u);
    const klv::gs::Rendering pages = klv::gs::RenderPages(printed);
    EXPECT_TRUE(pages.run.ok) << pages.run.output;
    EXPECT_EQ(pages.pages.size(), 2u);
}

TEST_F(UnderCups, PdfJobsReachItThroughCupssOwnFilters) {
    if (access("/usr/lib/cups/filter/pdftops", X_OK) != 0)
        GTEST_SKIP() << "CUPS's pdftops filter is not installed (Debian package cups-filters)";
    const fs::path ps = dir_.Path() / "job.ps";
    const fs::path pdf = dir_.Path() / "job.pdf";
    const fs::path out = dir_.Path() / "out.ps";
    WriteAll(ps, SampleJob());
    const klv::support::ProcessResult made =
        klv::gs::RunGhostscriptWith({"-sDEVICE=pdfwrite", "-sOutputFile=" + pdf.string(), ps.string()}, 120);
    ASSERT_EQ(made.exitStatus, 0) << made.output;
    const klv::support::ProcessResult run =
        Cupsfilter({"-U", "frank", "-o", "klvps-watermark=DRAFT"}, pdf, out, "application/pdf");
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "INFO: klvps-cupsfilter")) << run.output;
    const std::string printed = ReadAll(out);
    EXPECT_TRUE(Contains(printed, "(frank) /ZUDurareDirod /ProcSet findresource begin logusername end"));
    EXPECT_EQ(Count(printed, "userdict /DrawWaterMark get exec"), 3u);
    const klv::gs::Rendering pages = klv::gs::RenderPages(printed);
    EXPECT_TRUE(pages.run.ok) << pages.run.output;
    EXPECT_EQ(pages.pages.size(), 3u);
}

TEST_F(UnderCups, ABadOptionFailsTheJob) {
    const fs::path job = dir_.Path() / "job.ps";
    WriteAll(job, SampleJob());
    const klv::support::ProcessResult run =
        Cupsfilter({"-o", "klvps-watermark-size=0"}, job, dir_.Path() / "out.ps");
    EXPECT_NE(run.exitStatus, 0);
    EXPECT_TRUE(Contains(run.output, "ERROR: klvps: klvps-watermark-size: 0 is outside 1 to 2147483647"))
        << run.output;
}

} // namespace
