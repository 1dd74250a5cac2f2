#include "link/serial_port_lines.h"

#include <fcntl.h>
#include <grp.h>
#include <libserialport.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velkaro {

std::string serialGroupToJoin(unsigned gid, unsigned mode) {
    // Joining the superuser's group is no advice to give, nor a group that may not write.
    constexpr unsigned kGroupReadWrite = S_IRGRP | S_IWGRP;
    if (gid == 0 || (mode & kGroupReadWrite) != kGroupReadWrite)
        return {};
    const struct group* g = ::getgrgid(static_cast<gid_t>(gid));
    return g != nullptr ? g->gr_name : std::string();
}

namespace {

std::string owningGroup(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    return serialGroupToJoin(info.st_gid, info.st_mode);
}

constexpr const char* kNoModemLines =
    " cannot drive its modem lines (DTR, RTS): it is no serial port with control lines (a "
    "pseudo-terminal or a data-only adapter?)";

// The library does not know `path` as a serial port: say what it is instead.
std::string whyNoSerialPort(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return path + " does not exist (is the adapter plugged in?)";
    if (!S_ISCHR(info.st_mode))
        return path + " is not a device";
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return "cannot open " + path + ": " + std::strerror(errno);
    int bits = 0;
    const bool terminal = ::isatty(fd) != 0;
    const bool modemLines = ::ioctl(fd, TIOCMGET, &bits) == 0;
    ::close(fd);
    if (terminal && !modemLines)
        return path + kNoModemLines;
    return path + " is not a serial port";
}

}  // namespace

SerialPortLines::~SerialPortLines() {
    close();
}

bool SerialPortLines::portFailed(const char* what) {
    char* message = sp_last_error_message();
    std::string text = std::string(what) + " on " + mPath + " failed";
    if (message != nullptr && *message != '\0')
        text += ": " + std::string(message);
    sp_free_error_message(message);
    return fail(text);
}

namespace {

// Opens `path` through libserialport; nullptr with `error` set when it cannot.
sp_port* openPort(const std::string& path, std::string& error) {
    sp_port* port = nullptr;
    if (sp_get_port_by_name(path.c_str(), &port) != SP_OK) {
        error = whyNoSerialPort(path);
        return nullptr;
    }
    if (sp_open(port, SP_MODE_READ_WRITE) == SP_OK)
        return port;
    const int code = sp_last_error_code();
    sp_free_port(port);
    if (code == EACCES || code == EPERM) {
        const std::string group = owningGroup(path);
        error = "no permission to open " + path +
                (group.empty() ? std::string(": the permission to read and write it is "
                                             "missing (ask the administrator for access)")
                               : ": join the group \"" + group + "\" (sudo usermod -aG " + group +
                                     " $USER) and log in again");
    } else if (code == ENOENT || code == ENODEV || code == ENXIO) {
        error = path + " does not exist (is the adapter plugged in?)";
    } else if (code == EBUSY) {
        error = path + " is in use by another program";
    } else {
        error = "cannot open " + path + ": " + std::strerror(code);
    }
    return nullptr;
}

}  // namespace

bool SerialPortLines::open(const std::string& path) {
    close();
    mPath = path;
    std::string error;
    mPort = openPort(path, error);
    if (mPort == nullptr)
        return fail(error);
    // Flow control would drive RTS and DTR on its own.
    if (sp_set_flowcontrol(mPort, SP_FLOWCONTROL_NONE) != SP_OK) {
        const bool result = portFailed("setting up the port");
        close();
        return result;
    }
    int fd = -1;
    int bits = 0;
    if (sp_get_port_handle(mPort, &fd) != SP_OK || ::ioctl(fd, TIOCMGET, &bits) != 0 ||
        sp_set_dtr(mPort, SP_DTR_OFF) != SP_OK || sp_set_rts(mPort, SP_RTS_OFF) != SP_OK) {
        close();
        return fail(path + kNoModemLines);
    }
    return true;
}

void SerialPortLines::close() {
    if (mPort == nullptr)
        return;
    sp_close(mPort);
    sp_free_port(mPort);
    mPort = nullptr;
}

bool SerialPortLines::setBreak(bool on) {
    if (mPort == nullptr)
        return fail("the port is not open");
    if ((on ? sp_start_break(mPort) : sp_end_break(mPort)) != SP_OK)
        return portFailed("setting TXD");
    return true;
}

bool SerialPortLines::setDtr(bool on) {
    if (mPort == nullptr)
        return fail("the port is not open");
    if (sp_set_dtr(mPort, on ? SP_DTR_ON : SP_DTR_OFF) != SP_OK)
        return portFailed("setting DTR");
    return true;
}

bool SerialPortLines::setRts(bool on) {
    if (mPort == nullptr)
        return fail("the port is not open");
    if (sp_set_rts(mPort, on ? SP_RTS_ON : SP_RTS_OFF) != SP_OK)
        return portFailed("setting RTS");
    return true;
}

bool SerialPortLines::setDtrRts(bool dtr, bool rts) {
    if (mPort == nullptr)
        return fail("the port is not open");
    int fd = -1;
    int bits = 0;
    if (sp_get_port_handle(mPort, &fd) != SP_OK || ::ioctl(fd, TIOCMGET, &bits) != 0)
        return fail("reading the modem lines of " + mPath + " failed: " + std::strerror(errno));
    bits = dtr ? (bits | TIOCM_DTR) : (bits & ~TIOCM_DTR);
    bits = rts ? (bits | TIOCM_RTS) : (bits & ~TIOCM_RTS);
    if (::ioctl(fd, TIOCMSET, &bits) != 0)
        return fail("setting DTR and RTS on " + mPath + " failed: " + std::strerror(errno));
    return true;
}

bool SerialPortLines::readInputs(SerialInputs& inputs) {
    if (mPort == nullptr)
        return fail("the port is not open");
    sp_signal signals{};
    if (sp_get_signals(mPort, &signals) != SP_OK)
        return portFailed("reading CTS, DSR, DCD and RI");
    inputs.cts = (signals & SP_SIG_CTS) != 0;
    inputs.dsr = (signals & SP_SIG_DSR) != 0;
    inputs.dcd = (signals & SP_SIG_DCD) != 0;
    inputs.ri = (signals & SP_SIG_RI) != 0;
    return true;
}

SerialPortStream::~SerialPortStream() {
    close();
}

bool SerialPortStream::open(const std::string& path, int baud) {
    close();
    mPath = path;
    std::string error;
    mPort = openPort(path, error);
    if (mPort == nullptr)
        return fail(error);
    if (sp_set_baudrate(mPort, baud) != SP_OK || sp_set_bits(mPort, 8) != SP_OK ||
        sp_set_parity(mPort, SP_PARITY_NONE) != SP_OK || sp_set_stopbits(mPort, 1) != SP_OK ||
        sp_set_flowcontrol(mPort, SP_FLOWCONTROL_NONE) != SP_OK) {
        close();
        return fail(path + " cannot be set to " + std::to_string(baud) + " baud, 8N1");
    }
    // A board that resets on DTR restarts now; whatever it sent before is stale.
    sp_flush(mPort, SP_BUF_BOTH);
    return true;
}

void SerialPortStream::close() {
    if (mPort == nullptr)
        return;
    sp_close(mPort);
    sp_free_port(mPort);
    mPort = nullptr;
}

bool SerialPortStream::write(const uint8_t* data, size_t size) {
    if (mPort == nullptr)
        return fail("the port is not open");
    const sp_return r = sp_blocking_write(mPort, data, size, 1000);
    if (r < 0 || static_cast<size_t>(r) != size)
        return fail("writing to " + mPath + " failed (unplugged?)");
    return true;
}

int SerialPortStream::read(uint8_t* data, size_t size, int timeoutMs) {
    if (mPort == nullptr) {
        fail("the port is not open");
        return -1;
    }
    const sp_return r = sp_blocking_read_next(mPort, data, size,
                                              static_cast<unsigned>(timeoutMs < 0 ? 0 : timeoutMs));
    if (r < 0) {
        fail("reading from " + mPath + " failed (unplugged?)");
        return -1;
    }
    return static_cast<int>(r);
}

std::vector<SerialPortInfo> listSerialPorts() {
    std::vector<SerialPortInfo> result;
    sp_port** ports = nullptr;
    if (sp_list_ports(&ports) != SP_OK)
        return result;
    for (sp_port** p = ports; *p != nullptr; ++p) {
        SerialPortInfo info;
        const char* name = sp_get_port_name(*p);
        const char* description = sp_get_port_description(*p);
        info.path = name != nullptr ? name : "";
        info.description = description != nullptr ? description : "";
        if (sp_get_port_transport(*p) == SP_TRANSPORT_USB)
            sp_get_port_usb_vid_pid(*p, &info.usbVendor, &info.usbProduct);
        result.push_back(std::move(info));
    }
    sp_free_port_list(ports);
    return result;
}

}  // namespace velkaro
