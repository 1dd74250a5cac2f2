#pragma once

#include <string>
#include <vector>

#include "link/serial_lines.h"
#include "link/serial_stream.h"

struct sp_port;

namespace velkaro {

// SerialLines on a real port, through libserialport. Opening also checks that the port can
// drive its modem lines: a pseudo-terminal or a driver without them is refused then, not
// in the middle of a write.
class SerialPortLines : public SerialLines {
public:
    SerialPortLines() = default;
    ~SerialPortLines() override;
    SerialPortLines(const SerialPortLines&) = delete;
    SerialPortLines& operator=(const SerialPortLines&) = delete;

    bool open(const std::string& path) override;
    void close() override;
    bool isOpen() const override { return mPort != nullptr; }
    bool setBreak(bool on) override;
    bool setDtr(bool on) override;
    bool setRts(bool on) override;
    bool setDtrRts(bool dtr, bool rts) override;
    bool readInputs(SerialInputs& inputs) override;

private:
    bool portFailed(const char* what);

    sp_port* mPort = nullptr;
    std::string mPath;
};

// SerialStream on a real port, through libserialport: 8N1, no flow control.
class SerialPortStream : public SerialStream {
public:
    SerialPortStream() = default;
    ~SerialPortStream() override;
    SerialPortStream(const SerialPortStream&) = delete;
    SerialPortStream& operator=(const SerialPortStream&) = delete;

    bool open(const std::string& path, int baud) override;
    void close() override;
    bool isOpen() const override { return mPort != nullptr; }
    bool write(const uint8_t* data, size_t size) override;
    int read(uint8_t* data, size_t size, int timeoutMs) override;

private:
    sp_port* mPort = nullptr;
    std::string mPath;
};

// A serial port the system knows, as libserialport lists it.
struct SerialPortInfo {
    std::string path;
    std::string description;
    int usbVendor = -1;  // -1: not a USB device
    int usbProduct = -1;
};

// Every serial port found; empty when there are none or they cannot be listed.
std::vector<SerialPortInfo> listSerialPorts();

// The group to join for access to a serial device node owned by group `gid` with
// permission bits `mode`: one given read and write access that is not the superuser's;
// empty when no group should be named (the message then says the permission is missing).
std::string serialGroupToJoin(unsigned gid, unsigned mode);

}  // namespace velkaro
