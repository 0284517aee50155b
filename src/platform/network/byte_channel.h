#pragma once

#include <cstddef>
#include <cstdint>

namespace plenvo::platform {

// What one read or write on a channel that never blocks came to.
enum class IoState {
    done,       // `bytes` were moved (a read of 0 bytes is never done)
    wantRead,   // nothing now: go on once the socket can be read
    wantWrite,  // nothing now: go on once the socket can be written
    closed,     // the peer ended the stream in order
    failed,     // the stream broke; drop it
};

struct IoResult {
    std::size_t bytes = 0;
    IoState state = IoState::done;
};

// A byte stream over one connected socket: the socket itself, or TLS over it.
// Calls take what there is room or data for now and never wait.
class ByteChannel {
  public:
    virtual ~ByteChannel() = default;
    virtual IoResult readSome(char* into, std::size_t length) = 0;
    virtual IoResult writeSome(const char* from, std::size_t length) = 0;
    // The socket underneath, to wait on.
    virtual std::uintptr_t handle() const = 0;
};

}  // namespace plenvo::platform
