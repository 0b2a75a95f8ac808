// dsc_mark: runs the DSC pass over a job with a comment line as the text of
// each injection point, to look at where the points land and to measure the
// pass on large jobs without the plug-in.
//
//   dsc_mark [--pass-through] INPUT|- [-o OUTPUT]
//
// Writes to OUTPUT whole or not at all, else to standard output. Exits 0 on
// success, 1 when the job is refused, 2 on wrong usage.
#include "libraries/dsc/buffered_output.h"
#include "libraries/dsc/dsc_pass.h"
#include "libraries/dsc/file_output.h"

#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

int Usage() {
    std::cerr << "usage: dsc_mark [--pass-through] INPUT|- [-o OUTPUT]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::string input, output;
    klv::dsc::DscOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pass-through")
            options.passThroughNonDsc = true;
        else if (arg == "-o" && i + 1 < argc)
            output = argv[++i];
        else if (input.empty() && (arg == "-" || arg[0] != '-'))
            input = arg;
        else
            return Usage();
    }
    if (input.empty())
        return Usage();

    std::ifstream file;
    if (input != "-") {
        file.open(input, std::ios::binary);
        if (!file) {
            std::cerr << "dsc_mark: " << input << ": cannot be opened\n";
            return 1;
        }
    }
    std::istream& in = input == "-" ? std::cin : file;
    const klv::dsc::Injector mark = [](klv::dsc::InjectionPoint point) {
        return "% dsc_mark point " + std::to_string(point) + "\n";
    };

    klv::dsc::DscResult result;
    std::string error;
    if (output.empty()) {
        klv::dsc::FdOutput out(STDOUT_FILENO);
        result = klv::dsc::RunDscPass(in, out, mark, options);
    } else {
        klv::dsc::FileOutput out(output);
        if (!out.Open(&error)) {
            std::cerr << "dsc_mark: " << error << "\n";
            return 1;
        }
        result = klv::dsc::RunDscPass(in, out, mark, options);
        if (result.ok && !out.Commit(&error)) {
            std::cerr << "dsc_mark: " << error << "\n";
            return 1;
        }
    }
    for (const std::string& warning : result.warnings)
        std::cerr << "dsc_mark: warning: " << warning << "\n";
    if (!result.ok) {
        std::cerr << "dsc_mark: " << input << ": " << result.error << "\n";
        return 1;
    }
    std::cerr << "dsc_mark: " << result.pages << " pages, " << result.bytesRead << " bytes read\n";
    return 0;
}
