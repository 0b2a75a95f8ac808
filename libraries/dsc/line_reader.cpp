#include "libraries/dsc/line_reader.h"

#include <algorithm>
#include <cstring>

namespace klv::dsc {

std::size_t LineReader::NextByte::Search(const char* buffer, std::size_t from, std::size_t end) {
    if (from < from_ || from > at_) {
        from_ = from;
        at_ = from;
        found_ = false;
    }
    if (!found_ && at_ < end) {
        const void* hit = std::memchr(buffer + at_, byte_, end - at_);
        found_ = hit != nullptr;
        at_ = found_ ? static_cast<std::size_t>(static_cast<const char*>(hit) - buffer) : end;
    }
    return found_ ? at_ : end;
}

void LineReader::NextByte::Shift(std::size_t shift) {
    if (at_ < shift) {
        from_ = at_ = 0;
        found_ = false;
        return;
    }
    at_ -= shift;
    from_ = std::max(from_, shift) - shift;
}

LineReader::LineReader(std::istream& in, std::size_t lineCap, std::size_t readSize)
    : in_(in), cap_(std::max<std::size_t>(lineCap, 16)),
      buffer_(cap_ + 2 + std::max<std::size_t>(readSize, 1)) {
}

bool LineReader::Fill() {
    if (eof_)
        return false;
    if (begin_ > 0) {
        if (beforeMove_)
            beforeMove_();
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        for (NextByte* next : {&nextLf_, &nextCr_, &nextPercent_, &nextEot_, &nextEsc_})
            next->Shift(begin_);
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

std::size_t LineReader::FindEnding(std::size_t from) {
    // Each search runs to the end of the buffer, so that a job without CRs
    // (or without LFs) searches for them once per read, not once per line.
    return std::min(nextLf_.Find(buffer_.data(), from, end_), nextCr_.Find(buffer_.data(), from, end_));
}

bool LineReader::Next(LinePiece* piece) {
    for (;;) {
        const std::size_t available = end_ - begin_;
        const std::size_t window = std::min(available, cap_);
        const std::size_t at = FindEnding(begin_) - begin_;
        if (at < window) {
            std::size_t endingSize = 1;
            if (buffer_[begin_ + at] == '\r') {
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

std::string_view LineReader::RawLines(std::uint64_t* lines) {
    for (;;) {
        if (begin_ == end_ && !Fill())
            return {};
        std::size_t at = begin_;
        while (*lines > 0) {
            const std::size_t ending = FindEnding(at);
            if (ending == end_) {
                at = end_;
                break;
            }
            if (buffer_[ending] == '\r' && ending + 1 == end_ && !eof_) {
                // Whether an LF follows is not known yet: stop before the CR.
                at = ending;
                break;
            }
            at = ending +
                 (buffer_[ending] == '\r' && ending + 1 < end_ && buffer_[ending + 1] == '\n' ? 2 : 1);
            --*lines;
        }
        if (at > begin_) {
            midLine_ = false;
            return Take(at - begin_);
        }
        if (*lines == 0)
            return {};
        // Only an undecided CR is buffered; a read that brings nothing ends
        // the stream and decides it.
        Fill();
    }
}

std::string_view LineReader::PlainLines() {
    if (begin_ == end_ && !Fill())
        return {};
    const char* buffer = buffer_.data();
    std::size_t at = begin_;
    for (;;) {
        at = std::min({nextPercent_.Find(buffer, at, end_), nextEot_.Find(buffer, at, end_),
                       nextEsc_.Find(buffer, at, end_)});
        if (at == end_)
            break;
        const bool startsLine = at == begin_ ? !midLine_ : buffer[at - 1] == '\n' || buffer[at - 1] == '\r';
        if (startsLine)
            break;
        ++at;
    }
    // A CR at the end of the buffer may be the first half of a CR LF: Next
    // decides that.
    if (at == end_ && at > begin_ && buffer[at - 1] == '\r' && !eof_)
        --at;
    if (at == begin_)
        return {};
    // A run that ends inside a line leaves the rest of it to come as the
    // second piece of a line.
    midLine_ = buffer[at - 1] != '\n' && buffer[at - 1] != '\r';
    return Take(at - begin_);
}

} // namespace klv::dsc
