#include "libraries/dsc/dsc_test_support.h"

#include <sstream>

namespace klv::dsc::test {

namespace {

class RecordingOutput : public DscOutput {
public:
    explicit RecordingOutput(Recorded& into) : into_(into) {}
    bool Write(std::string_view bytes, Origin origin) override {
        into_.output += bytes;
        (origin == Origin::kJob ? into_.job : into_.inserted) += bytes;
        return true;
    }

private:
    Recorded& into_;
};

} // namespace

std::string MarkerText(InjectionPoint point) {
    return "(klvpoint-" + std::to_string(point) + ") =\r\n";
}

std::string Marker(InjectionPoint point, std::string_view eol) {
    return "(klvpoint-" + std::to_string(point) + ") =" + std::string(eol);
}

Recorded RunMarked(const std::string& job, const DscOptions& options) {
    Recorded recorded;
    std::istringstream in(job);
    RecordingOutput out(recorded);
    recorded.result = RunDscPass(in, out, MarkerText, options);
    return recorded;
}

int Count(std::string_view text, std::string_view needle) {
    int n = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

} // namespace klv::dsc::test
