// Reads a byte stream as lines without holding more than a bounded window
// of it. A line ends with LF, CR LF or a lone CR and keeps its ending; a
// line longer than the cap comes out in pieces of at most cap bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string_view>
#include <vector>

namespace klv::dsc {

struct LinePiece {
    std::string_view bytes;  // the piece, its line ending included when it has one
    std::string_view ending; // "\n", "\r\n", "\r" or empty
    bool startsLine = false; // false for the second and later pieces of a long line
    bool endsLine = false;   // the piece ends with a line ending or at the end of the stream
};

class LineReader {
public:
    // Each read asks the stream for at least readSize bytes; the buffer holds
    // a whole capped line, its CR LF and one read.
    LineReader(std::istream& in, std::size_t lineCap, std::size_t readSize);

    // The next piece; false at the end of the stream. The bytes stay valid
    // until the next call.
    bool Next(LinePiece* piece);

    // Up to max raw bytes, ignoring line structure; empty at the end of the
    // stream. The bytes stay valid until the next call.
    std::string_view Raw(std::uint64_t max);

    std::uint64_t Offset() const { return consumed_; }
    bool ReadFailed() const { return readFailed_; }

private:
    // Reads more of the stream behind what is buffered; false when nothing
    // more came.
    bool Fill();
    std::string_view Take(std::size_t n);

    std::istream& in_;
    std::size_t cap_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool readFailed_ = false;
    bool midLine_ = false;
    std::uint64_t consumed_ = 0;
};

} // namespace klv::dsc
