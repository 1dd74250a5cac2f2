#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkaro {

// A wire of the serial port: the three outputs and the four inputs.
enum class PortLine { None, Txd, Dtr, Rts, Cts, Dsr, Dcd, Ri };

// One programming signal on a port line. `inverted`: the signal is active while the
// line is off (an inverting transistor stage in the circuit).
struct LinePin {
    PortLine line = PortLine::None;
    bool inverted = false;
    bool operator==(const LinePin&) const = default;
};

// Which port line carries each programming signal of a bit-banged programmer. The default
// is the classic circuit: VPP from TXD held in break, PGD out on DTR, PGC on RTS, PGD read
// back on CTS, and the target's supply taken from the port (no switched VDD), so VDD is
// present while the port is open.
struct LineAssignment {
    LinePin vpp{PortLine::Txd};
    LinePin vdd{PortLine::None};
    LinePin pgc{PortLine::Rts};
    LinePin pgdOut{PortLine::Dtr};
    LinePin pgdIn{PortLine::Cts};

    bool operator==(const LineAssignment&) const = default;

    // Sets one signal from its settings key ("VPP", "VDD", "PGC", "PGDOut", "PGDIn", any
    // case) and value ("TXD", "DTR", "RTS", "CTS", "DSR", "DCD", "RI" or "none"; a leading
    // "!" inverts). False, with `error` set, for an unknown key or line, an input used as an
    // output or the reverse, or "none" where the signal is needed.
    bool set(std::string_view key, std::string_view value, std::string& error);
    // Empty when usable; otherwise why not (the same line driving two signals).
    std::string problem() const;

    // The settings keys in order, and a signal's value as the settings file writes it.
    static constexpr std::string_view kKeys[] = {"VPP", "VDD", "PGC", "PGDOut", "PGDIn"};
    std::string valueOf(std::string_view key) const;
};

std::string_view portLineName(PortLine line);
std::optional<PortLine> parsePortLine(std::string_view text);
bool isOutputLine(PortLine line);

}  // namespace velkaro
