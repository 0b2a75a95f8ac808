#include "libraries/dsc/line_reader.h"

#include <algorithm>
#include <cstring>

namespace klv::dsc {

LineReader::LineReader(std::istream& in, std::size_t lineCap, std::size_t readSize)
    : in_(in), cap_(std::max<std::size_t>(lineCap, 16)),
      buffer_(cap_ + 2 + std::max<std::size_t>(readSize, 1)) {
}

bool LineReader::Fill() {
    if (eof_)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size())
        return false;
    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
    const std::size_t got = static_cast<std::size_t>(in_.gcount());
    end_ += got;
    if (!in_) {
        eof_ = true;
        readFailed_ = in_.bad();
    }
    return got > 0;
}

std::string_view LineReader::Take(std::size_t n) {
    std::string_view bytes(buffer_.data() + begin_, n);
    begin_ += n;
    consumed_ += n;
    return bytes;
}

bool LineReader::Next(LinePiece* piece) {
    for (;;) {
        const std::size_t available = end_ - begin_;
        const char* start = buffer_.data() + begin_;
        const std::size_t window = std::min(available, cap_);
        const char* stop = std::find_if(start, start + window, [](char c) { return c == '\n' || c == '\r'; });
        const std::size_t at = static_cast<std::size_t>(stop - start);
        if (at < window) {
            std::size_t endingSize = 1;
            if (*stop == '\r') {
                // A CR at the end of the buffer may be the first half of a CR LF.
                if (at + 1 == available && Fill())
                    continue;
                if (at + 1 < end_ - begin_ && buffer_[begin_ + at + 1] == '\n')
                    endingSize = 2;
            }
            piece->startsLine = !midLine_;
            piece->endsLine = true;
            piece->bytes = Take(at + endingSize);
            piece->ending = piece->bytes.substr(at);
            midLine_ = false;
            return true;
        }
        if (available >= cap_ || (eof_ && available > 0)) {
            piece->startsLine = !midLine_;
            piece->endsLine = available < cap_;
            piece->bytes = Take(window);
            piece->ending = {};
            midLine_ = !piece->endsLine;
            return true;
        }
        if (!Fill() && end_ == begin_)
            return false;
    }
}

std::string_view LineReader::Raw(std::uint64_t max) {
    if (begin_ == end_)
        Fill();
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(max, end_ - begin_));
    if (n > 0)
        midLine_ = false;
    return Take(n);
}

} // namespace klv::dsc
