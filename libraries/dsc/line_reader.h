// Reads a byte stream as lines without holding more than a bounded window
// of it. A line ends with LF, CR LF or a lone CR and keeps its ending; a
// line longer than the cap comes out in pieces of at most cap bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <string_view>
#include <vector>

namespace klv::dsc {

struct LinePiece {
    std::string_view bytes;  // the piece, its line ending included when it has one
    std::string_view ending; // "\n", "\r\n", "\r" or empty
    bool startsLine = false; // false for the second and later pieces of a long line
    bool endsLine = false;   // the piece ends with a line ending or at the end of the stream

    // The piece without its line ending.
    std::string_view Text() const { return bytes.substr(0, bytes.size() - ending.size()); }
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

    // Raw bytes up to the end of the *lines-th line from here, counting line
    // endings as Next does (a CR LF is one), as much of them as is buffered;
    // *lines is lowered by the endings passed. Empty at the end of the stream.
    // The bytes stay valid until the next call.
    std::string_view RawLines(std::uint64_t* lines);

    // Raw bytes from here to the start of the next line (as Next would
    // start it) whose first byte is '%', ^D or ESC, as much of them as is
    // buffered: a run of lines that can only be the job's content. Empty when
    // such a line starts here, or at the end of the stream. The bytes stay
    // valid until the next call.
    std::string_view PlainLines();

    // Called before buffered bytes move, which ends the life of every view
    // handed out so far; until then consecutive views stay valid and
    // adjacent, so a caller can hold on to a run of them.
    void BeforeMove(std::function<void()> hook) { beforeMove_ = std::move(hook); }

    std::uint64_t Offset() const { return consumed_; }
    bool ReadFailed() const { return readFailed_; }

private:
    // Where the next CR or LF lies, remembered across calls so that each
    // buffered byte is searched once for each: a job whose lines end with CR
    // alone would otherwise search its whole window for an LF on every line.
    class NextByte {
    public:
        explicit NextByte(char byte) : byte_(byte) {}
        // The first byte_ in [from, end), or end when there is none. Called
        // for every line, so the answer it already has is given inline.
        std::size_t Find(const char* buffer, std::size_t from, std::size_t end) {
            if (from >= from_ && from <= at_ && (found_ || at_ == end))
                return at_;
            return Search(buffer, from, end);
        }
        // The buffer's bytes moved down by shift.
        void Shift(std::size_t shift);

    private:
        std::size_t Search(const char* buffer, std::size_t from, std::size_t end);

        char byte_;
        // No byte_ lies in [from_, at_); at_ is one when found_, else the end
        // of what was searched.
        std::size_t from_ = 0;
        std::size_t at_ = 0;
        bool found_ = false;
    };

    // Reads more of the stream behind what is buffered; false when nothing
    // more came.
    bool Fill();
    std::string_view Take(std::size_t n);
    // The first line ending at or after from, or end_.
    std::size_t FindEnding(std::size_t from);

    std::istream& in_;
    std::function<void()> beforeMove_;
    std::size_t cap_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    NextByte nextLf_{'\n'};
    NextByte nextCr_{'\r'};
    NextByte nextPercent_{'%'};
    NextByte nextEot_{'\x04'};
    NextByte nextEsc_{'\x1b'};
    bool eof_ = false;
    bool readFailed_ = false;
    bool midLine_ = false;
    std::uint64_t consumed_ = 0;
};

} // namespace klv::dsc
