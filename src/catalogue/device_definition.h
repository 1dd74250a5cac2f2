#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/device_family.h"

namespace velkaro {

// The parameters of the selected device type: one field per device.ini key, plus the
// derived BlankWord and DeviceName. Field names are the key names. A default-constructed
// definition holds the built-in defaults (what a section without keys and without a
// Default template yields), already derived and normalised.
struct DeviceDefinition {
    static constexpr int kMaxIdWords = 8;
    static constexpr int kMaxConfigWords = 10;

    int32_t Algorithm = 0;  // 0: 6-bit command family; 1, 2: 16-bit core; 3: enhanced 14-bit
    int32_t PanelSize = 0;  // program words per write panel (16-bit core)
    bool MultiPanel = false;
    int32_t Package = 18;  // pins
    int32_t VccType = 0;
    int32_t VppType = 0;
    double VppVoltage = 13.0;  // volts
    // The range the chip accepts on MCLR/VPP where it is narrower than its family's (volts;
    // 0: the family's bound).
    double VppMin = 0.0;
    double VppMax = 0.0;
    int32_t Position = 1;     // socket position code; 0 = in-circuit
    int32_t BitWidth = 14;    // 1..16 after load
    int32_t ProgSize = 1024;  // program words
    int32_t EpromSize = 0;    // data bytes
    int32_t IdAdr = 0x2000;
    int32_t IdCount = 4;  // 0..8 after load
    int32_t ConfigBaseAdr = 0x2007;
    int32_t ConfigCount = 1;  // 0..10 after load
    std::array<uint16_t, kMaxConfigWords> ConfigMask{0x3FFF, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::array<int32_t, kMaxConfigWords> ConfigValue{0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF,
                                                     0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF};
    uint16_t CmdSet = 0x06FF;
    bool ProgramRead = true;
    bool FlashType = false;
    int32_t BulkEraseCycle = 4;  // all *Cycle values in milliseconds, never negative
    int32_t ChipEraseCycle = 0;
    int32_t ProgOnlyCycle = 4;
    int32_t EraseProgCycle = 20;
    int32_t DataEraseProgCycle = 20;
    int32_t DataProgOnlyCycle = 4;
    // 16-bit core: the programming pulse of a configuration byte (ms; 0: ProgOnlyCycle) and
    // how long PGC stays low after a pulse, an erase or a data write (us; 0: the link's
    // 100 us).
    int32_t ConfigProgCycle = 0;
    int32_t DischargeTime = 0;
    int32_t RetryCnt = 0;
    int32_t ProgCnt = 1;
    uint16_t ExtFlag1 = 0;
    uint16_t ExtFlag2 = 0;
    int32_t OscCal = 0;  // program address of the OSCCAL word; 0 = none
    uint16_t BGMask = 0;
    std::string OscCalFile;
    double OscFactor = 0.0;
    uint16_t OscUnit = 0;
    int32_t OscBase = 0;
    uint16_t ProgOnlyCmd = 0;
    uint16_t EndProgCmd = 0;
    uint16_t ChipEraseCmd = 0;
    // 16-bit core: the chip-erase code for 0x3C0005:0x3C0004 (0: the algorithm's own).
    uint16_t BulkEraseCode = 0;
    int32_t LoadCnt = 0;
    int32_t PowerOnSequence = 0;  // 1: VPP before VCC
    int32_t DeviceIDAdr = 0x2006;
    uint16_t DeviceIDMask = 0x3FF0;
    uint16_t DeviceID = 0;
    std::string ConfigSetting;
    int32_t ResetVector = 0;
    uint16_t AdrMask = 0x3FFF;
    std::string DeviceEraseCmd;
    std::string Comment;
    // The LVP bit: configuration word LvpWord (1-based) under LvpMask. While it is set the
    // chip also enters programming mode by the low-voltage key; 0 = no such entry.
    int32_t LvpWord = 0;
    uint16_t LvpMask = 0;

    // Derived values.
    uint16_t BlankWord = 0x3FFF;  // 0xFFFF >> (16 - BitWidth)
    std::string DeviceName;       // the selected name, before Alias resolution
    // Set where a chip accepts a narrower programming voltage than its family (volts).
    std::optional<double> vppMinOverride;
    std::optional<double> vppMaxOverride;

    // Bits of CmdSet the algorithms consult.
    bool hasLoadConfig() const { return (CmdSet & 0x0001) != 0; }
    bool hasBeginProgram() const { return (CmdSet & 0x0010) != 0; }
    bool hasBulkEraseProgram() const { return (CmdSet & 0x0020) != 0; }
    bool hasChipErase() const { return (CmdSet & 0x0080) != 0; }
    // What the device's family answers for the shared code (HEX layout, addressing, ...).
    const FamilyTraits& traits() const { return familyTraits(Algorithm); }
    // True for the 16-bit core family (byte-addressed HEX mapping, 4-bit commands).
    bool isExtendedFamily() const { return traits().family == DeviceFamily::Pic18; }
    // The highest address the family can reach, or the device's wrap mask where that is
    // wider. IdAdr, ConfigBaseAdr, DeviceIDAdr and ResetVector lie in 0..addressLimit()
    // after load.
    int32_t addressLimit() const { return std::max<int32_t>(traits().maxAddress, AdrMask); }
    // The programming voltage range the chip accepts on MCLR/VPP (volts).
    double vppMin() const {
        return vppMinOverride.value_or(VppMin > 0.0 ? VppMin : traits().vppMin);
    }
    double vppMax() const {
        return vppMaxOverride.value_or(VppMax > 0.0 ? VppMax : traits().vppMax);
    }
    // True when the chip can also be brought into programming mode at VDD level by the key
    // sequence (the enhanced 14-bit core, where the device names its LVP bit).
    bool allowsLowVoltageEntry() const {
        return traits().family == DeviceFamily::EnhancedMidrange && LvpMask != 0 && LvpWord >= 1 &&
               LvpWord <= ConfigCount;
    }
};

}  // namespace velkaro
