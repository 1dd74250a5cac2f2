// The simulator's own table of 12- and 14-bit core devices. Sizes, masks, device IDs,
// command sets and minimum times come from the devices' programming documents as
// collected in the project's reference notes; see src/sim/README.md for what is judgement.
#include <initializer_list>

#include "base/text_compare.h"
#include "sim/chip_families.h"
#include "sim/midrange/midrange_chip.h"

namespace velkaro::sim {

namespace {

constexpr uint64_t commandSet(std::initializer_list<unsigned> codes) {
    uint64_t bits = 0;
    for (unsigned code : codes)
        bits |= uint64_t{1} << code;
    return bits;
}

using K = CycleKind;
using S = EraseStart;
using P = ProtectionClear;

// clang-format off
// Baseline 12-bit parts: 08 programs until End Programming (0E); 09 erases; no data memory,
// no Load Configuration, no erase-and-program cycle.
constexpr MidrangeProtocol kBaseline{
    .commands = commandSet({2, 4, 6, 8, 0x0E, 9}),
    .beginCycle = K::ProgramOnlyExternal, .beginTimeUs = 2000,
    .progOnlyCode = 0, .progOnlyCycle = K::None, .progOnlyTimeUs = 0,
    .endCode = 0x0E, .dataWriteTimeUs = 0,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 10000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0, .dischargeUs = 100};
// PIC16F84A: 08 erases and programs, 18 programs only, both internally timed; 09/0B are
// started by a following 08 or 18; the 01-07-08 sequence erases program memory (not the
// EEPROM), and at the configuration word it is the only way out of code protection.
constexpr MidrangeProtocol kF84A{
    .commands = commandSet({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0B, 0x18}),
    .beginCycle = K::EraseProgram, .beginTimeUs = 8000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnly, .progOnlyTimeUs = 8000,
    .endCode = 0, .dataWriteTimeUs = 8000,
    .bulkEraseStart = S::OnBeginCommand, .bulkEraseTimeUs = 8000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 8000, .protectionClear = P::SetupAtConfig, .progOnlyStartsErase = true,
    .setupErasesData = false};
// PIC16F83/84: as the 84A without bulk-erase commands; slower cells.
constexpr MidrangeProtocol kF84{
    .commands = commandSet({0, 1, 2, 3, 4, 5, 6, 7, 8, 0x18}),
    .beginCycle = K::EraseProgram, .beginTimeUs = 10000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnly, .progOnlyTimeUs = 10000,
    .endCode = 0, .dataWriteTimeUs = 20000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 0, .chipEraseTimeUs = 0, .setupEraseTimeUs = 10000, .protectionClear = P::SetupAtConfig};
// PIC16C84: no program-only cycle; 09/0B started by 08.
constexpr MidrangeProtocol kC84{
    .commands = commandSet({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0B}),
    .beginCycle = K::EraseProgram, .beginTimeUs = 10000,
    .progOnlyCode = 0, .progOnlyCycle = K::None, .progOnlyTimeUs = 0,
    .endCode = 0, .dataWriteTimeUs = 10000,
    .bulkEraseStart = S::OnBeginCommand, .bulkEraseTimeUs = 10000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 10000, .protectionClear = P::SetupAtConfig};
// PIC16F627/628.
constexpr MidrangeProtocol kF627{
    .commands = commandSet({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0B, 0x18}),
    .beginCycle = K::EraseProgram, .beginTimeUs = 13000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnly, .progOnlyTimeUs = 8000,
    .endCode = 0, .dataWriteTimeUs = 8000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 5000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 10000, .protectionClear = P::SetupAtConfig,
    .intOscFieldMask = 0x0013, .intOscValue = 0x0010};
// PIC16F87X: erase only through the 01-07-08 sequences.
constexpr MidrangeProtocol kF87X{
    .commands = commandSet({0, 1, 2, 3, 4, 5, 6, 7, 8, 0x18}),
    .beginCycle = K::EraseProgram, .beginTimeUs = 8000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnly, .progOnlyTimeUs = 4000,
    .endCode = 0, .dataWriteTimeUs = 8000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 0, .chipEraseTimeUs = 0, .setupEraseTimeUs = 8000, .protectionClear = P::SetupAtConfig};
// PIC16F627A/628A/648A: 08 programs program memory without erasing it.
constexpr MidrangeProtocol kF62XA{
    .commands = commandSet({0, 2, 3, 4, 5, 6, 8, 9, 0x0B}),
    .beginCycle = K::ProgramOnly, .beginTimeUs = 4000,
    .progOnlyCode = 0, .progOnlyCycle = K::None, .progOnlyTimeUs = 0,
    .endCode = 0, .dataWriteTimeUs = 6000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 6000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0,
    .intOscFieldMask = 0x0013, .intOscValue = 0x0010};
// PIC12F629/675, PIC16F630/676: 08 internally timed program-only, 18 externally timed
// ended by 0A.
constexpr MidrangeProtocol kF675{
    .commands = commandSet({0, 2, 3, 4, 5, 6, 8, 9, 0x0A, 0x0B, 0x18}),
    .beginCycle = K::ProgramOnly, .beginTimeUs = 3000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 2000,
    .endCode = 0x0A, .dataWriteTimeUs = 6000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 6000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0,
    .intOscFieldMask = 0x0007, .intOscValue = 0x0004};
// PIC12F683 and the PIC16F6xx parts programmed the same way (4-word latches), and the
// PIC16F913..917 (8-word latches).
constexpr MidrangeProtocol kF683{
    .commands = commandSet({0, 2, 3, 4, 5, 6, 8, 9, 0x0A, 0x0B, 0x18}),
    .beginCycle = K::ProgramOnly, .beginTimeUs = 3000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 3000,
    .endCode = 0x0A, .dataWriteTimeUs = 6000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 6000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0, .dischargeUs = 100,
    .intOscFieldMask = 0x0007, .intOscValue = 0x0004};
// PIC12F609/615/617, PIC16F610/616: no data memory and no 08; 18 programs until 0A.
constexpr MidrangeProtocol kF61X{
    .commands = commandSet({0, 2, 4, 6, 9, 0x0A, 0x18}),
    .beginCycle = K::None, .beginTimeUs = 0,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 3000,
    .endCode = 0x0A, .dataWriteTimeUs = 0,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 6000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0, .dischargeUs = 100,
    .intOscFieldMask = 0x0007, .intOscValue = 0x0004};
// PIC16F785: programmed as the PIC12F683, with 2.5 ms programming cycles.
constexpr MidrangeProtocol kF785{
    .commands = commandSet({0, 2, 3, 4, 5, 6, 8, 9, 0x0A, 0x0B, 0x18}),
    .beginCycle = K::ProgramOnly, .beginTimeUs = 2500,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 2500,
    .endCode = 0x0A, .dataWriteTimeUs = 6000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 6000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0, .dischargeUs = 100,
    .intOscFieldMask = 0x0007, .intOscValue = 0x0004};
// PIC16F882..887 (8-word latches).
constexpr MidrangeProtocol kF88X{
    .commands = commandSet({0, 2, 3, 4, 5, 6, 8, 9, 0x0A, 0x0B, 0x18}),
    .beginCycle = K::ProgramOnly, .beginTimeUs = 3000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 2500,
    .endCode = 0x0A, .dataWriteTimeUs = 6000,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 6000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0,
    .intOscFieldMask = 0x0007, .intOscValue = 0x0004};
// PIC16F87XA: 08 erase and program (internal), 18 program only ended by 17, 1F chip erase
// (the only erase that lifts code protection); 09/0B started by 08.
constexpr MidrangeProtocol kF87XA{
    .commands = commandSet({0, 2, 3, 4, 5, 6, 8, 9, 0x0B, 0x17, 0x18, 0x1F}),
    .beginCycle = K::EraseProgram, .beginTimeUs = 10000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 1000,
    .endCode = 0x17, .dataWriteTimeUs = 8000,
    .bulkEraseStart = S::OnBeginCommand, .bulkEraseTimeUs = 10000, .chipEraseTimeUs = 10000, .setupEraseTimeUs = 0, .protectionClear = P::ChipErase};
// PIC16F87/88/818/819.
constexpr MidrangeProtocol kF88{
    .commands = commandSet({0, 2, 3, 4, 5, 6, 8, 9, 0x0B, 0x17, 0x18, 0x1F}),
    .beginCycle = K::EraseProgram, .beginTimeUs = 2000,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 1000,
    .endCode = 0x17, .dataWriteTimeUs = 1500,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 10000, .chipEraseTimeUs = 10000, .setupEraseTimeUs = 0, .protectionClear = P::ChipErase};
// PIC16F7X and 7X7: 08 programs until 0E; 09 after Load Configuration; no EEPROM.
constexpr MidrangeProtocol kF7X{
    .commands = commandSet({0, 2, 4, 6, 8, 9, 0x0E}),
    .beginCycle = K::ProgramOnlyExternal, .beginTimeUs = 1000,
    .progOnlyCode = 0, .progOnlyCycle = K::None, .progOnlyTimeUs = 0,
    .endCode = 0x0E, .dataWriteTimeUs = 0,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 30000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0};
// PIC16F716: no 08; 18 programs until 0E.
constexpr MidrangeProtocol kF716{
    .commands = commandSet({0, 2, 4, 6, 9, 0x0E, 0x18}),
    .beginCycle = K::None, .beginTimeUs = 0,
    .progOnlyCode = 0x18, .progOnlyCycle = K::ProgramOnlyExternal, .progOnlyTimeUs = 2000,
    .endCode = 0x0E, .dataWriteTimeUs = 0,
    .bulkEraseStart = S::Immediate, .bulkEraseTimeUs = 6000, .chipEraseTimeUs = 0, .setupEraseTimeUs = 0, .dischargeUs = 100};

// name, protocol, word bits, program words, EEPROM bytes, {configuration masks},
// CP bits, CPD bits, device ID, OSCCAL address, BG mask, counter mask, latches,
// calibration word address, calibration word count
const std::vector<MidrangeDevice> kDevices = {
    {"PIC10F200", &kBaseline, 12, 256, 0, {0x001D, 0x0000}, 0x0008, 0x0000, 0x0000, 0x0FF, 0x0000, 0x01FF, 1, 0x0000, 0},
    {"PIC10F204", &kBaseline, 12, 256, 0, {0x001D, 0x0000}, 0x0008, 0x0000, 0x0000, 0x0FF, 0x0000, 0x01FF, 1, 0x0000, 0},
    {"PIC10F202", &kBaseline, 12, 512, 0, {0x001D, 0x0000}, 0x0008, 0x0000, 0x0000, 0x1FF, 0x0000, 0x03FF, 1, 0x0000, 0},
    {"PIC10F206", &kBaseline, 12, 512, 0, {0x001D, 0x0000}, 0x0008, 0x0000, 0x0000, 0x1FF, 0x0000, 0x03FF, 1, 0x0000, 0},
    {"PIC12F508", &kBaseline, 12, 512, 0, {0x001F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x1FF, 0x0000, 0x03FF, 1, 0x0000, 0},
    {"PIC12F509", &kBaseline, 12, 1024, 0, {0x001F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x3FF, 0x0000, 0x07FF, 1, 0x0000, 0},
    {"PIC16F505", &kBaseline, 12, 1024, 0, {0x003F, 0x0000}, 0x0010, 0x0000, 0x0000, 0x3FF, 0x0000, 0x07FF, 1, 0x0000, 0},
    {"PIC12F510", &kBaseline, 12, 1024, 0, {0x003F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x3FF, 0x0000, 0x07FF, 1, 0x0000, 0},
    {"PIC16F506", &kBaseline, 12, 1024, 0, {0x007F, 0x0000}, 0x0010, 0x0000, 0x0000, 0x3FF, 0x0000, 0x07FF, 1, 0x0000, 0},
    {"PIC10F220", &kBaseline, 12, 256, 0, {0x001F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x0FF, 0x0000, 0x01FF, 1, 0x0000, 0},
    {"PIC10F222", &kBaseline, 12, 512, 0, {0x001F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x1FF, 0x0000, 0x03FF, 1, 0x0000, 0},
    {"PIC16F54", &kBaseline, 12, 512, 0, {0x000F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x000, 0x0000, 0x03FF, 1, 0x0000, 0},
    {"PIC16F57", &kBaseline, 12, 2048, 0, {0x000F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x000, 0x0000, 0x0FFF, 4, 0x0000, 0},
    {"PIC16F59", &kBaseline, 12, 2048, 0, {0x000F, 0x0000}, 0x0008, 0x0000, 0x0000, 0x000, 0x0000, 0x0FFF, 4, 0x0000, 0},
    {"PIC12F629", &kF675, 14, 1024, 128, {0x01FF, 0x0000}, 0x0080, 0x0100, 0x0F80, 0x3FF, 0x3000, 0x3FFF, 1, 0x0000, 0},
    {"PIC12F675", &kF675, 14, 1024, 128, {0x01FF, 0x0000}, 0x0080, 0x0100, 0x0FC0, 0x3FF, 0x3000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F630", &kF675, 14, 1024, 128, {0x01FF, 0x0000}, 0x0080, 0x0100, 0x10C0, 0x3FF, 0x3000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F676", &kF675, 14, 1024, 128, {0x01FF, 0x0000}, 0x0080, 0x0100, 0x10E0, 0x3FF, 0x3000, 0x3FFF, 1, 0x0000, 0},
    {"PIC12F683", &kF683, 14, 2048, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x0460, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F684", &kF683, 14, 2048, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1080, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F688", &kF683, 14, 4096, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1180, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC12F635", &kF683, 14, 1024, 128, {0x1FFF, 0x0000}, 0x0040, 0x0080, 0x0FA0, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 2},
    {"PIC16F631", &kF683, 14, 1024, 128, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1420, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F636", &kF683, 14, 2048, 256, {0x1FFF, 0x0000}, 0x0040, 0x0080, 0x10A0, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 2},
    {"PIC16F639", &kF683, 14, 2048, 256, {0x1FFF, 0x0000}, 0x0040, 0x0080, 0x10A0, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 2},
    {"PIC16F677", &kF683, 14, 2048, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1440, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F685", &kF683, 14, 4096, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x04A0, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F687", &kF683, 14, 2048, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1320, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F689", &kF683, 14, 4096, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1340, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F690", &kF683, 14, 4096, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1400, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC12F609", &kF61X, 14, 1024, 0, {0x03FF, 0x0000}, 0x0040, 0x0000, 0x2240, 0x000, 0x0000, 0x3FFF, 1, 0x2008, 1},
    {"PIC12F615", &kF61X, 14, 1024, 0, {0x03FF, 0x0000}, 0x0040, 0x0000, 0x2180, 0x000, 0x0000, 0x3FFF, 1, 0x2008, 1},
    {"PIC12F617", &kF61X, 14, 2048, 0, {0x0FFF, 0x0000}, 0x0040, 0x0000, 0x1360, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F610", &kF61X, 14, 1024, 0, {0x03FF, 0x0000}, 0x0040, 0x0000, 0x2260, 0x000, 0x0000, 0x3FFF, 1, 0x2008, 1},
    {"PIC16F616", &kF61X, 14, 2048, 0, {0x03FF, 0x0000}, 0x0040, 0x0000, 0x1240, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 1},
    {"PIC16F785", &kF785, 14, 2048, 256, {0x0FFF, 0x0000}, 0x0040, 0x0080, 0x1200, 0x000, 0x0000, 0x3FFF, 4, 0x2008, 2},
    {"PIC16C84", &kC84, 14, 1024, 64, {0x001F, 0x0000}, 0x0010, 0x0000, 0x0000, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F83", &kF84, 14, 512, 64, {0x3FFF, 0x0000}, 0x3FF0, 0x0000, 0x0000, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F84", &kF84, 14, 1024, 64, {0x3FFF, 0x0000}, 0x3FF0, 0x0000, 0x0000, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F84A", &kF84A, 14, 1024, 64, {0x3FFF, 0x0000}, 0x3FF0, 0x0000, 0x0560, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F627", &kF627, 14, 1024, 128, {0x3DFF, 0x0000}, 0x3C00, 0x0100, 0x07A0, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F628", &kF627, 14, 2048, 128, {0x3DFF, 0x0000}, 0x3C00, 0x0100, 0x07C0, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F627A", &kF62XA, 14, 1024, 128, {0x21FF, 0x0000}, 0x2000, 0x0100, 0x1040, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F628A", &kF62XA, 14, 2048, 128, {0x21FF, 0x0000}, 0x2000, 0x0100, 0x1060, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F648A", &kF62XA, 14, 4096, 256, {0x21FF, 0x0000}, 0x2000, 0x0100, 0x1100, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F716", &kF716, 14, 2048, 0, {0x20CF, 0x0000}, 0x2000, 0x0000, 0x1140, 0x000, 0x0000, 0x3FFF, 4, 0x0000, 0},
    {"PIC16F73", &kF7X, 14, 4096, 0, {0x005F, 0x0000}, 0x0010, 0x0000, 0x0600, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F74", &kF7X, 14, 4096, 0, {0x005F, 0x0000}, 0x0010, 0x0000, 0x0620, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F76", &kF7X, 14, 8192, 0, {0x005F, 0x0000}, 0x0010, 0x0000, 0x0640, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F77", &kF7X, 14, 8192, 0, {0x005F, 0x0000}, 0x0010, 0x0000, 0x0660, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F737", &kF7X, 14, 4096, 0, {0x39FF, 0x0043}, 0x2000, 0x0000, 0x0BA0, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F747", &kF7X, 14, 4096, 0, {0x39FF, 0x0043}, 0x2000, 0x0000, 0x0BE0, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F767", &kF7X, 14, 8192, 0, {0x39FF, 0x0043}, 0x2000, 0x0000, 0x0EA0, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F777", &kF7X, 14, 8192, 0, {0x39FF, 0x0043}, 0x2000, 0x0000, 0x0DE0, 0x000, 0x0000, 0x3FFF, 2, 0x0000, 0},
    {"PIC16F87", &kF88, 14, 4096, 256, {0x3FFF, 0x0003}, 0x2000, 0x0100, 0x0720, 0x000, 0x0000, 0x3FFF, 4, 0x0000, 0},
    {"PIC16F88", &kF88, 14, 4096, 256, {0x3FFF, 0x0003}, 0x2000, 0x0100, 0x0760, 0x000, 0x0000, 0x3FFF, 4, 0x0000, 0},
    {"PIC16F818", &kF88, 14, 1024, 128, {0x3FFF, 0x0000}, 0x2000, 0x0100, 0x04C0, 0x000, 0x0000, 0x3FFF, 4, 0x0000, 0},
    {"PIC16F819", &kF88, 14, 2048, 256, {0x3FFF, 0x0000}, 0x2000, 0x0100, 0x04E0, 0x000, 0x0000, 0x3FFF, 4, 0x0000, 0},
    {"PIC16F873", &kF87X, 14, 4096, 128, {0x3BFF, 0x0000}, 0x3030, 0x0100, 0x0960, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F874", &kF87X, 14, 4096, 128, {0x3BFF, 0x0000}, 0x3030, 0x0100, 0x0920, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F876", &kF87X, 14, 8192, 256, {0x3BFF, 0x0000}, 0x3030, 0x0100, 0x09E0, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F877", &kF87X, 14, 8192, 256, {0x3BFF, 0x0000}, 0x3030, 0x0100, 0x09A0, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F870", &kF87X, 14, 2048, 64, {0x3BFF, 0x0000}, 0x3030, 0x0100, 0x0D00, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F871", &kF87X, 14, 2048, 64, {0x3BFF, 0x0000}, 0x3030, 0x0100, 0x0D20, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F872", &kF87X, 14, 2048, 64, {0x3BFF, 0x0000}, 0x3030, 0x0100, 0x08E0, 0x000, 0x0000, 0x3FFF, 1, 0x0000, 0},
    {"PIC16F873A", &kF87XA, 14, 4096, 128, {0x2FCF, 0x0000}, 0x2000, 0x0100, 0x0E40, 0x000, 0x0000, 0x3FFF, 8, 0x0000, 0},
    {"PIC16F874A", &kF87XA, 14, 4096, 128, {0x2FCF, 0x0000}, 0x2000, 0x0100, 0x0E60, 0x000, 0x0000, 0x3FFF, 8, 0x0000, 0},
    {"PIC16F876A", &kF87XA, 14, 8192, 256, {0x2FCF, 0x0000}, 0x2000, 0x0100, 0x0E00, 0x000, 0x0000, 0x3FFF, 8, 0x0000, 0},
    {"PIC16F877A", &kF87XA, 14, 8192, 256, {0x2FCF, 0x0000}, 0x2000, 0x0100, 0x0E20, 0x000, 0x0000, 0x3FFF, 8, 0x0000, 0},
    {"PIC16F886", &kF88X, 14, 8192, 256, {0x3FFF, 0x0700}, 0x0040, 0x0080, 0x2060, 0x000, 0x0000, 0x3FFF, 8, 0x2009, 1},
    {"PIC16F887", &kF88X, 14, 8192, 256, {0x3FFF, 0x0700}, 0x0040, 0x0080, 0x2080, 0x000, 0x0000, 0x3FFF, 8, 0x2009, 1},
    {"PIC16F882", &kF88X, 14, 2048, 128, {0x3FFF, 0x0700}, 0x0040, 0x0080, 0x2000, 0x000, 0x0000, 0x3FFF, 8, 0x2009, 1},
    {"PIC16F883", &kF88X, 14, 4096, 256, {0x3FFF, 0x0700}, 0x0040, 0x0080, 0x2020, 0x000, 0x0000, 0x3FFF, 8, 0x2009, 1},
    {"PIC16F884", &kF88X, 14, 4096, 256, {0x3FFF, 0x0700}, 0x0040, 0x0080, 0x2040, 0x000, 0x0000, 0x3FFF, 8, 0x2009, 1},
    {"PIC16F913", &kF683, 14, 4096, 256, {0x1FFF, 0x0000}, 0x0040, 0x0080, 0x13E0, 0x000, 0x0000, 0x3FFF, 8, 0x2008, 2},
    {"PIC16F914", &kF683, 14, 4096, 256, {0x1FFF, 0x0000}, 0x0040, 0x0080, 0x13C0, 0x000, 0x0000, 0x3FFF, 8, 0x2008, 2},
    {"PIC16F916", &kF683, 14, 8192, 256, {0x1FFF, 0x0000}, 0x0040, 0x0080, 0x13A0, 0x000, 0x0000, 0x3FFF, 8, 0x2008, 2},
    {"PIC16F917", &kF683, 14, 8192, 256, {0x1FFF, 0x0000}, 0x0040, 0x0080, 0x1380, 0x000, 0x0000, 0x3FFF, 8, 0x2008, 2},
};
// clang-format on

}  // namespace

const std::vector<MidrangeDevice>& midrangeDevices() {
    return kDevices;
}

const MidrangeDevice* findMidrangeDevice(std::string_view name) {
    for (const auto& device : kDevices)
        if (equalsIgnoreCase(device.name, name))
            return &device;
    return nullptr;
}

std::unique_ptr<SimChip> makeMidrangeChip(std::string_view name) {
    const MidrangeDevice* device = findMidrangeDevice(name);
    if (!device)
        return nullptr;
    return std::make_unique<MidrangeChip>(*device);
}

std::vector<std::string> midrangeChipNames() {
    std::vector<std::string> names;
    for (const auto& device : kDevices)
        names.emplace_back(device.name);
    return names;
}

}  // namespace velkaro::sim
