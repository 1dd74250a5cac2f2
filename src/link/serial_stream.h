#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkaro {

// A serial port as a byte stream (8N1, no flow control): what an intelligent programmer
// talks over. A call that fails sets error().
class SerialStream {
public:
    virtual ~SerialStream() = default;

    // Opens `path` at `baud`. False, with error() telling why, when it cannot.
    virtual bool open(const std::string& path, int baud) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Sends all of `data`; false when the port fails.
    virtual bool write(const uint8_t* data, size_t size) = 0;
    // Receives up to `size` bytes, waiting at most `timeoutMs` for the first; the count
    // received (0 when nothing came in time), or -1 when the port fails.
    virtual int read(uint8_t* data, size_t size, int timeoutMs) = 0;

    const std::string& error() const { return mError; }

protected:
    bool fail(std::string text) {
        mError = std::move(text);
        return false;
    }

private:
    std::string mError;
};

}  // namespace velkaro
