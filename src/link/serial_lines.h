#pragma once

#include <cstdint>
#include <string>

namespace velkaro {

// What one call on a port's lines takes when nothing better is known, in microseconds: an
// on-board port. A USB adapter takes a millisecond or more; the connection self-test
// measures the port in use.
inline constexpr uint32_t kDefaultPortCallUs = 10;

// What a serial port's modem-status inputs show.
struct SerialInputs {
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool ri = false;
};

// The control lines of a serial port, driven one by one: the bit-banged programmers use
// them as wires (TXD held in break, DTR and RTS as outputs; CTS, DSR, DCD and RI as inputs).
// "On" is the asserted level: a positive voltage on an RS-232 port. A call that fails
// leaves the port as it was and sets error().
class SerialLines {
public:
    virtual ~SerialLines() = default;

    // Opens `path` for line control. False, with error() telling why in words the user can
    // act on, when it does not exist, cannot be opened, or cannot drive its modem lines.
    virtual bool open(const std::string& path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual bool setBreak(bool on) = 0;
    virtual bool setDtr(bool on) = 0;
    virtual bool setRts(bool on) = 0;
    // Both in one call where the port allows it (one USB transfer instead of two).
    virtual bool setDtrRts(bool dtr, bool rts) { return setDtr(dtr) && setRts(rts); }
    virtual bool readInputs(SerialInputs& inputs) = 0;

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
