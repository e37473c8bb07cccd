#pragma once

// Standard input and output on POSIX, read and written through their descriptors themselves: a
// descriptor that another program left non-blocking is waited on with poll(2) instead of failing,
// and nothing about it is changed, since the caller shares it (at a terminal, descriptors 0 to 2
// share one open file description with the shell).
#include <array>
#include <cstddef>
#include <streambuf>

namespace tolvenix {

// Reads in large blocks, so that even a huge pasted line is skipped quickly. A read error is the
// end of the input.
class descriptor_input_buffer : public std::streambuf {
public:
    explicit descriptor_input_buffer(int descriptor) : descriptor_{descriptor} {}

protected:
    int_type underflow() override;

private:
    int descriptor_;
    std::array<char, std::size_t{16} * 1024> block_{};
};

// Collects output until a flush, 512 bytes at a time: the banner alone fills a block, so the
// path that passes a full block on is taken on every run. Output whose reader has gone (a closed
// pipe) is dropped: the buffer then reports a failed write, and the stream writes nothing more.
class descriptor_output_buffer : public std::streambuf {
public:
    explicit descriptor_output_buffer(int descriptor) : descriptor_{descriptor} {
        setp(block_.data(), block_.data() + block_.size());
    }

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    int descriptor_;
    std::array<char, 512> block_{};
};

}  // namespace tolvenix
