#include "link/line_assignment.h"

#include <array>
#include <cctype>

#include "base/text_compare.h"

namespace velkaro {

namespace {

struct LineName {
    PortLine line;
    std::string_view name;
};

constexpr std::array<LineName, 8> kLineNames{{{PortLine::None, "none"},
                                              {PortLine::Txd, "TXD"},
                                              {PortLine::Dtr, "DTR"},
                                              {PortLine::Rts, "RTS"},
                                              {PortLine::Cts, "CTS"},
                                              {PortLine::Dsr, "DSR"},
                                              {PortLine::Dcd, "DCD"},
                                              {PortLine::Ri, "RI"}}};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

LinePin* pinFor(LineAssignment& a, std::string_view key) {
    if (equalsIgnoreCase(key, "VPP"))
        return &a.vpp;
    if (equalsIgnoreCase(key, "VDD"))
        return &a.vdd;
    if (equalsIgnoreCase(key, "PGC"))
        return &a.pgc;
    if (equalsIgnoreCase(key, "PGDOut"))
        return &a.pgdOut;
    if (equalsIgnoreCase(key, "PGDIn"))
        return &a.pgdIn;
    return nullptr;
}

}  // namespace

std::string_view portLineName(PortLine line) {
    for (const auto& entry : kLineNames)
        if (entry.line == line)
            return entry.name;
    return "none";
}

std::optional<PortLine> parsePortLine(std::string_view text) {
    for (const auto& entry : kLineNames)
        if (equalsIgnoreCase(text, entry.name))
            return entry.line;
    return std::nullopt;
}

bool isOutputLine(PortLine line) {
    return line == PortLine::Txd || line == PortLine::Dtr || line == PortLine::Rts;
}

bool LineAssignment::set(std::string_view key, std::string_view value, std::string& error) {
    LinePin* pin = pinFor(*this, trimmed(key));
    if (pin == nullptr) {
        error = "unknown signal \"" + std::string(key) + "\" (VPP, VDD, PGC, PGDOut or PGDIn)";
        return false;
    }
    std::string_view text = trimmed(value);
    const bool inverted = !text.empty() && text.front() == '!';
    if (inverted)
        text = trimmed(text.substr(1));
    const std::optional<PortLine> line = parsePortLine(text);
    if (!line) {
        error = std::string(key) + ": unknown line \"" + std::string(value) +
                "\" (TXD, DTR, RTS, CTS, DSR, DCD, RI or none)";
        return false;
    }
    const bool input = pin == &pgdIn;
    if (*line == PortLine::None && pin != &vdd) {
        error = std::string(key) + " needs a line";
        return false;
    }
    if (*line != PortLine::None && input == isOutputLine(*line)) {
        error = std::string(key) + ": " + std::string(portLineName(*line)) + " is " +
                (input ? "an output" : "an input") + " of the port";
        return false;
    }
    *pin = {*line, inverted && *line != PortLine::None};
    return true;
}

std::string LineAssignment::problem() const {
    const LinePin* outputs[] = {&vpp, &vdd, &pgc, &pgdOut};
    for (size_t i = 0; i < std::size(outputs); ++i)
        for (size_t j = i + 1; j < std::size(outputs); ++j)
            if (outputs[i]->line != PortLine::None && outputs[i]->line == outputs[j]->line)
                return std::string(portLineName(outputs[i]->line)) + " drives both " +
                       std::string(kKeys[i]) + " and " + std::string(kKeys[j]);
    return {};
}

std::string LineAssignment::valueOf(std::string_view key) const {
    const LinePin* pin = pinFor(const_cast<LineAssignment&>(*this), key);
    if (pin == nullptr)
        return {};
    return (pin->inverted ? "!" : "") + std::string(portLineName(pin->line));
}

}  // namespace velkaro
