// jobrun: runs the job matrix through a plug-in module and writes each job's
// PostScript to OUTDIR/NAME.ps, and the spooler's answers to the plug-in's
// job calls to OUTDIR/spooler-answers.txt. Built for the host (the shared
// library) and for Windows (the DLL, with the stand-in spooler as
// winspool.drv beside it), so that the jobs and the answers of every ABI
// can be compared byte for byte.
#include "rigs/jobrun/job_matrix.h"
#include "rigs/jobrun/spooler_answers.h"

#include <cstdio>
#include <cstring>

namespace {

bool WriteJob(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::puts("usage: jobrun PLUGIN OUTDIR\n"
                  "Runs the job matrix through the plug-in module PLUGIN and writes each\n"
                  "job's PostScript to OUTDIR/NAME.ps (OUTDIR must exist), and the spooler's\n"
                  "answers to the plug-in's job calls to OUTDIR/spooler-answers.txt.");
        return 0;
    }
    if (argc != 3) {
        std::fputs("usage: jobrun PLUGIN OUTDIR\n", stderr);
        return 2;
    }
    klv::sim::Simulator simulator;
    std::string error;
    if (!simulator.Open(argv[1], &error)) {
        std::fprintf(stderr, "jobrun: %s\n", error.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> defaults = simulator.DefaultDevMode(&error);
    if (defaults.empty()) {
        std::fprintf(stderr, "jobrun: %s\n", error.c_str());
        return 1;
    }
    int failed = 0;
    int written = 0;
    const std::vector<klv::sim::MatrixJob> matrix = klv::sim::JobMatrix(defaults);
    for (const klv::sim::MatrixJob& row : matrix) {
        const klv::sim::JobResult result = simulator.Run(row.job);
        const std::string path = std::string(argv[2]) + "/" + row.name + ".ps";
        if (!result.ok) {
            std::fprintf(stderr, "jobrun: %s: %s\n", row.name.c_str(), result.error.c_str());
            ++failed;
        } else if (!WriteJob(path, result.postscript)) {
            std::fprintf(stderr, "jobrun: cannot write %s\n", path.c_str());
            ++failed;
        } else {
            std::printf("%s: %u bytes\n", row.name.c_str(), static_cast<unsigned>(result.postscript.size()));
            ++written;
        }
    }
    const HRESULT unload = simulator.Close();
    if (unload != S_OK) {
        std::fprintf(stderr, "jobrun: DllCanUnloadNow reported 0x%08X after the last job\n",
                     static_cast<unsigned>(unload));
        ++failed;
    }
    std::string answers;
    const std::string answersPath = std::string(argv[2]) + "/spooler-answers.txt";
    if (!klv::sim::DescribeSpoolerAnswers(&answers, &error)) {
        std::fprintf(stderr, "jobrun: spooler answers: %s\n", error.c_str());
        ++failed;
    } else if (!WriteJob(answersPath, answers)) {
        std::fprintf(stderr, "jobrun: cannot write %s\n", answersPath.c_str());
        ++failed;
    }
    std::printf("jobrun: %d of %u jobs written\n", written, static_cast<unsigned>(matrix.size()));
    return failed == 0 ? 0 : 1;
}
