#include "operations/pic18/panel_erase.h"

#include "link/icsp_commands.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;

// 16-bit core family: the erase control registers.
constexpr uint32_t kEraseControlLow = 0x3C0004;
constexpr uint32_t kEraseControlHigh = 0x3C0005;

// The 2XXX/4XXX chip erase leaves a data EEPROM protected by CPD (CONFIG5H bit 7 clear);
// it needs its own erase code first.
constexpr uint16_t kDataErase2xxx = 0x0084;
constexpr uint32_t kConfig5hOffset = 9;
constexpr uint8_t kCpdBit = 0x80;

bool dataProtected2xxx(ProgrammerLink& link, const DeviceDefinition& d) {
    link.SetTablePointer(static_cast<uint32_t>(d.ConfigBaseAdr) + kConfig5hOffset);
    return (link.TableReadByte() & kCpdBit) == 0;
}

}  // namespace

std::vector<uint16_t> panelEraseCodes(const DeviceDefinition& d, EraseScope scope) {
    // The FXX2 parts take one code per erase in 0x3C0004. The 2XXX/4XXX parts take a bit
    // mask in 0x3C0005:0x3C0004: bit 7 enables, bit 0 is the boot block, bit 2 the data
    // memory, bit 8 + k code block k; 0x3F8F takes everything including the user IDs and
    // the configuration (0x0F87 would leave the IDs and blocks 4 and 5).
    // A device may name its own chip-erase code: the K-series take 0x0F8F, whose high byte
    // has no bits for blocks they do not have.
    const bool fxx2 = d.Algorithm == 1;
    const uint16_t whole = d.BulkEraseCode != 0 ? d.BulkEraseCode : fxx2 ? 0x80 : 0x3F8F;
    const uint16_t boot = fxx2 ? 0x83 : 0x81;
    const uint16_t data = fxx2 ? 0x81 : 0x84;
    auto panel = [&](int p) {
        return static_cast<uint16_t>(fxx2 ? 0x88 + p : 0x0080 | (0x0100 << p));
    };
    std::vector<uint16_t> codes;
    if (scope == EraseScope::All || (scope == EraseScope::ProgramOnly && d.EpromSize == 0))
        codes.push_back(whole);
    if (scope == EraseScope::ProgramOnly && d.EpromSize != 0) {
        codes.push_back(boot);
        const int panels = d.PanelSize != 0 ? d.ProgSize / d.PanelSize : 1;
        for (int p = 0; p < panels; ++p)
            codes.push_back(panel(p));
    }
    if (scope == EraseScope::DataOnly)
        codes.push_back(data);
    return codes;
}

bool panelErase(Workspace& ws, OperationUi& ui, EraseScope scope) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(true, false))
        return false;
    std::vector<uint16_t> codes = panelEraseCodes(d, scope);
    if (d.Algorithm == 2 && d.EpromSize != 0 && scope == EraseScope::All &&
        dataProtected2xxx(link, d))
        codes.insert(codes.begin(), kDataErase2xxx);
    for (const uint16_t code : codes) {
        if (code > 0xFF) {
            link.SetTablePointer(kEraseControlHigh);
            link.SendCoreInstruction(kCmdTableWrite, static_cast<uint16_t>((code >> 8) * 0x0101));
        }
        link.SetTablePointer(kEraseControlLow);
        link.SendCoreInstruction(kCmdTableWrite, static_cast<uint16_t>((code & 0xFF) * 0x0101));
        link.idleWithClockLow(waitMs(d.ChipEraseCycle));
    }
    return link.CloseLink();
}

}  // namespace velkaro
