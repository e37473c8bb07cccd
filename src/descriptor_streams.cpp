// The POSIX standard streams: read(2) and write(2) on the descriptors, poll(2) when they would
// block.
#include "descriptor_streams.h"

#include <cerrno>
#include <string_view>

#include <poll.h>
#include <unistd.h>

namespace tolvenix {

namespace {

// Whether a call that failed with the current errno is worth making again: it was interrupted,
// or the descriptor is non-blocking and not ready, in which case this waits until it is.
bool retry_after(int descriptor, short ready_for) {
    if (errno == EINTR) {
        return true;
    }
    // EWOULDBLOCK is EAGAIN on every system this builds for.
    if (errno != EAGAIN) {
        return false;
    }
    pollfd waiting{descriptor, ready_for, 0};
    while (::poll(&waiting, 1, -1) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool write_all(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
        } else if (written == 0 || !retry_after(descriptor, POLLOUT)) {
            return false;
        }
    }
    return true;
}

}  // namespace

descriptor_input_buffer::int_type descriptor_input_buffer::underflow() {
    for (;;) {
        const ssize_t count = ::read(descriptor_, block_.data(), block_.size());
        if (count > 0) {
            setg(block_.data(), block_.data(), block_.data() + count);
            return traits_type::to_int_type(block_[0]);
        }
        if (count == 0 || !retry_after(descriptor_, POLLIN)) {
            return traits_type::eof();
        }
    }
}

descriptor_output_buffer::int_type descriptor_output_buffer::overflow(int_type character) {
    if (sync() != 0) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(character);
        pbump(1);
    }
    return traits_type::not_eof(character);
}

int descriptor_output_buffer::sync() {
    const std::string_view pending{pbase(), static_cast<std::size_t>(pptr() - pbase())};
    setp(block_.data(), block_.data() + block_.size());
    return write_all(descriptor_, pending) ? 0 : -1;
}

}  // namespace tolvenix
