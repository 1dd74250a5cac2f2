#pragma once

#include <cstdint>
#include <string>

namespace velkaro {

class DeferredReads;

// The programmer access library: seventeen functions, 32-bit integers in and out.
// Backends: the simulator (src/sim), later serial hardware and external shared
// libraries. Callers (ProgrammerLink) check arguments before calling, so a backend may
// assume valid ones: port 1..9, levels 0/1, bit counts 4, 6, 8 or 16.
class ProgrammerLibrary {
public:
    virtual ~ProgrammerLibrary() = default;

    virtual int32_t SOpen(int32_t port) = 0;  // nonzero: port opened
    virtual int32_t SClose() = 0;
    virtual int32_t SSetMode(int32_t mode) = 0;  // programmer type, before SOpen
    virtual int32_t SVccOn(int32_t type) = 0;    // nonzero: supply on
    virtual int32_t SVppOn(int32_t type) = 0;    // nonzero: VPP on
    virtual int32_t SPowerOff() = 0;
    virtual int32_t SCheckPower() = 0;              // bit 0: target power present
    virtual int32_t SCheckOSC() = 0;                // nonzero: measurement started
    virtual int32_t SSendCmd(int32_t code) = 0;     // answers arrive through SGetc
    virtual int32_t SGetc() = 0;                    // next character, -1 when none
    virtual int32_t SSetLED(int32_t position) = 0;  // 0 = off
    virtual int32_t SSetPGC(int32_t level) = 0;
    virtual int32_t SSetPGD(int32_t level) = 0;
    virtual int32_t SWriteBit(int32_t value, int32_t count) = 0;  // low `count` bits
    virtual int32_t SWriteWord(int32_t word) = 0;                 // data word after a load command
    virtual int32_t SReadWord() = 0;                              // word after a read command
    virtual int32_t SReadBit(int32_t count) = 0;                  // bits clocked in

    // Not one of the seventeen: reads whose values may be taken later (see DeferredReads);
    // nullptr when the backend answers each read at once.
    virtual DeferredReads* deferredReads() { return nullptr; }
    // Not one of the seventeen: true when the bit-banged programmer ("VKR-20 JDM") takes
    // the target's supply from the port, so VDD is there before VPP whatever the order of
    // SVccOn and SVppOn; false for backends that switch the supply when told.
    virtual bool jdmVddFromPort() const { return false; }
    // Not one of the seventeen: why the connection to the programmer failed since the port
    // was last opened (no answer, a garbled reply, the port gone); empty while it works or
    // when the backend cannot tell. Calls after such a failure only pretend to work (reads
    // give 0), so the link asks this before it trusts a session's results.
    virtual std::string linkFault() const { return {}; }
};

// Reads taken later, in the order they were queued. A programmer behind a link with a long
// turn-around (the intelligent programmer's serial port) sends queued reads on with the
// operations around them and answers them a frame at a time, instead of waiting for each
// read. The chip sees the same operations in the same order either way.
class DeferredReads {
public:
    virtual ~DeferredReads() = default;
    virtual void queueReadWord() = 0;               // as SReadWord
    virtual void queueReadBits(int32_t count) = 0;  // as SReadBit
    // The oldest queued read's value; 0 once the session has failed (as SReadWord).
    virtual int32_t takeRead() = 0;
};

}  // namespace velkaro
