// PIC18 programming and erasing: the write buffers, the programming pulse and the erases.
#include <algorithm>
#include <cstdio>
#include <string>

#include "sim/pic18/pic18_chip.h"
#include "sim/pic18/pic18_chip_internal.h"

namespace velkaro::sim {

void Pic18Chip::bufferWrite(uint32_t address, uint8_t value) {
    size_t index = 0;
    if (multiPanel() && address < programBytes() && blockBytes() != 0)
        index = std::min<size_t>(address / blockBytes(), mBuffers.size() - 1);
    WriteBuffer& buffer = mBuffers[index];
    const uint32_t size = mModel.writeBufferBytes;
    const uint32_t row = address - address % size;
    // The holding registers are addressed by the low bits of TBLPTR alone: a host that takes
    // the buffer for longer than it is wraps round and overwrites its own first bytes.
    if (buffer.dirty && buffer.row != row)
        note("table write to " + hex6(address) + " past the " + std::to_string(size) +
             "-byte write buffer of row " + hex6(buffer.row));
    buffer.bytes[address % size] = value;
    buffer.row = row;
    buffer.dirty = true;
}

void Pic18Chip::endProgrammingPulse(uint64_t nowUs) {
    const uint64_t heldUs = nowUs - mPulseStartUs;
    const uint64_t needUs = mConfigLatch ? mTiming.configHoldUs : mTiming.programHoldUs;
    mProgramCycle = Cycle{true, mPulseStartUs, needUs, {}};
    countCycle(needUs);
    // Flash cells can only go from 1 to 0: the buffer is ANDed into the row. The holding
    // registers read 0xFF again after every write operation, whether it wrote or not.
    for (WriteBuffer& buffer : mBuffers) {
        if (!buffer.dirty)
            continue;
        if (!selectsCode()) {
            note("programming pulse with EECON1 not selecting program memory: row " +
                 hex6(buffer.row) + " not written");
        } else if (writeProtected(buffer.row)) {
            note("row " + hex6(buffer.row) + " is code- or write-protected: not written");
        } else {
            for (uint32_t i = 0; i < buffer.bytes.size(); ++i) {
                const uint32_t address = buffer.row + i;
                if (!cell(address))
                    continue;
                const uint8_t old = readByte(address);
                mProgramCycle.oldBytes.emplace_back(address, old);
                storeByte(address, old & buffer.bytes[i]);
            }
        }
        std::fill(buffer.bytes.begin(), buffer.bytes.end(), 0xFF);
        buffer.dirty = false;
    }
    // Configuration bytes are written one per pulse. The protection bytes (CONFIG5L and up)
    // only take 1 -> 0; the others are replaced whole. WRTC cleared refuses them all, and
    // takes effect as soon as its own byte is written.
    if (mConfigLatch) {
        const uint32_t address = *mConfigLatch;
        const uint32_t index = address - kConfigAddress;
        const uint8_t old = readByte(address);
        uint8_t value = mConfigLatchValue;
        if (!selectsConfig()) {
            note("programming pulse with CFGS clear: " + hex6(address) + " not written");
        } else if (configWriteProtected()) {
            note("configuration write to " + hex6(address) + " refused: WRTC cleared");
        } else {
            if (index >= Pic18ProtectionBits::kCpLow) {
                if ((value & configMask(index) & ~old) != 0)
                    note("protection bits of " + hex6(address) +
                         " cannot be set again without an erase");
                value &= old;
            }
            mProgramCycle.oldBytes.emplace_back(address, old);
            storeByte(address, value);
        }
        mConfigLatch.reset();
    }
    if (heldUs < needUs) {
        note("programming pulse held " + std::to_string(heldUs) + " us");
        cutShort(mProgramCycle, heldUs);
        mPulse = Pulse::Idle;
        return;
    }
    mPulse = Pulse::Discharging;
    mPulseEndUs = nowUs;
}

void Pic18Chip::checkDischarge(uint64_t nowUs) {
    mPulse = Pulse::Idle;
    const uint64_t lowUs = nowUs - mPulseEndUs;
    if (lowUs >= mTiming.dischargeUs) {
        mProgramCycle.active = false;
        return;
    }
    // The next clock came before the programming voltage had discharged: the row is
    // disturbed, modelled as its tail left unprogrammed.
    note("PGC low only " + std::to_string(lowUs) + " us after programming");
    mProgramCycle.needUs = mTiming.dischargeUs;
    cutShort(mProgramCycle, lowUs);
}

void Pic18Chip::cutShort(Cycle& cycle, uint64_t doneUs) {
    cycle.active = false;
    if (doneUs >= cycle.needUs || cycle.needUs == 0)
        return;
    const size_t kept = static_cast<size_t>(cycle.oldBytes.size() * doneUs / cycle.needUs);
    for (size_t i = kept; i < cycle.oldBytes.size(); ++i)
        storeByte(cycle.oldBytes[i].first, cycle.oldBytes[i].second);
}

std::vector<std::pair<uint32_t, uint32_t>> Pic18Chip::eraseRanges(uint16_t code) const {
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    const uint32_t boot = std::min(bootBlockBytes(), programBytes());
    const auto block = [&](uint32_t k) {
        const uint32_t begin = std::max(k * blockBytes(), k == 0 ? boot : 0u);
        const uint32_t end = std::min((k + 1) * blockBytes(), programBytes());
        if (begin < end)
            ranges.emplace_back(begin, end);
    };
    const std::pair<uint32_t, uint32_t> program{0, programBytes()};
    const std::pair<uint32_t, uint32_t> ids{kIdAddress, kIdAddress + kIdBytes};
    const std::pair<uint32_t, uint32_t> config{kConfigAddress, kConfigAddress + kConfigBytes};
    const std::pair<uint32_t, uint32_t> eeprom{kEepromBase,
                                               kEepromBase + static_cast<uint32_t>(mEeprom.size())};
    if (mModel.family == Pic18Family::Fxx2) {
        // One code per erase in 0x3C0004: chip, data EEPROM, boot block, panels.
        if (code == 0x80)
            ranges = {program, ids, config, eeprom};
        else if (code == 0x81)
            ranges = {eeprom};
        else if (code == 0x83)
            ranges = {{0, boot}};
        else if (code >= 0x88 && code <= 0x8B)
            block(code - 0x88u);
        return ranges;
    }
    if (!takesEraseCode(code))
        return ranges;
    // 2XXX/4XXX: 0x3C0005:0x3C0004 is a bit mask. Low byte: bit 7 enables the erase, bit 0
    // boot block, bit 1 configuration, bit 2 data EEPROM, bit 3 user IDs; high byte bit k
    // erases code block k (0x3F8F erases everything, the older 0x0F87 leaves the user IDs and
    // blocks 4 and 5).
    if (!(code & 0x80))
        return ranges;
    if (code & 0x01)
        ranges.emplace_back(0, boot);
    for (uint32_t k = 0; k < 8; ++k)
        if (code & (0x100u << k))
            block(k);
    if (code & 0x02)
        ranges.push_back(config);
    // A data-protected EEPROM (CPD = 0) survives the chip erase; only its own erase code,
    // 0x84 in 0x3C0004, takes it then (DS39622L, bulk erase section).
    if ((code & 0x04) && ((code & 0xFF) == 0x84 || !dataReadProtected()))
        ranges.push_back(eeprom);
    if (code & 0x08)
        ranges.push_back(ids);
    return ranges;
}

bool Pic18Chip::takesEraseCode(uint16_t code) const {
    if (mModel.family != Pic18Family::K)
        return true;
    // The K-series documents list their codes, not a bit mask to combine: the chip erase
    // 0x0F8F, the data EEPROM 0x0084, the boot block 0x0081, the configuration 0x0082 and
    // 0x0080 | 0x0100 << k for each block k they have. 0x3F8F names blocks 4 and 5, which
    // they lack.
    if (code == 0x0F8F || code == 0x0084 || code == 0x0081 || code == 0x0082)
        return true;
    const uint32_t blocks = blockBytes() != 0 ? programBytes() / blockBytes() : 0;
    for (uint32_t k = 0; k < blocks && k < 8; ++k)
        if (code == (0x0080 | (0x0100u << k)))
            return true;
    return false;
}

void Pic18Chip::releaseErasedProtection(uint16_t code, Cycle& cycle) {
    using P = Pic18ProtectionBits;
    uint8_t blocks = 0;
    bool boot = false, data = false, config = false;
    if (mModel.family == Pic18Family::Fxx2) {
        config = code == 0x80;
        boot = code == 0x83;
        data = code == 0x81;
        if (code >= 0x88 && code <= 0x8B)
            blocks = static_cast<uint8_t>(1u << (code - 0x88));
    } else {
        config = (code & 0x02) != 0;
        boot = (code & 0x01) != 0;
        data = (code & 0x04) != 0;
        blocks = static_cast<uint8_t>(code >> 8);
    }
    if (config)
        return;  // the configuration bytes were erased whole
    const uint8_t high = static_cast<uint8_t>((boot ? P::kBootBit : 0) | (data ? P::kDataBit : 0));
    for (uint32_t index : {P::kCpLow, P::kWrtLow, P::kEbtrLow})
        releaseProtection(index, blocks, cycle);
    for (uint32_t index : {P::kCpHigh, P::kWrtHigh, P::kEbtrHigh})
        releaseProtection(index, high, cycle);
}

void Pic18Chip::startErase(uint64_t nowUs) {
    mEraseArmed = false;
    mEraseNopSeen = false;
    const uint16_t code = mModel.family == Pic18Family::Fxx2
                              ? mEraseControl[0]
                              : static_cast<uint16_t>(mEraseControl[1] << 8 | mEraseControl[0]);
    const auto ranges = eraseRanges(code);
    if (ranges.empty()) {
        char text[48];
        std::snprintf(text, sizeof text, "erase code %04X erases nothing", code);
        note(text);
        return;
    }
    mEraseCycle = Cycle{true, nowUs, mTiming.eraseUs, {}};
    countCycle(mTiming.eraseUs);
    mEraseQuietUntilUs = nowUs + mTiming.eraseUs + mTiming.dischargeUs;
    mEraseClocksNoted = false;
    for (const auto& [begin, end] : ranges) {
        for (uint32_t address = begin; address < end; ++address) {
            mEraseCycle.oldBytes.emplace_back(address, readByte(address));
            storeByte(address, erasedValue(address));
        }
    }
    releaseErasedProtection(code, mEraseCycle);
}

}  // namespace velkaro::sim
