#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/workspace.h"
#include "link/operation_ui.h"

namespace velkaro {

// Outcome of checkDeviceId, with the values the program has always used.
enum class DeviceIdCheck : int {
    Match = 1,
    Mismatch = 0,
    NoId = -1,  // the device defines no ID, or nothing could be read
};

// Reads the chip's raw device-ID word (16-bit core: all 16 bits; otherwise masked to the
// blank word). 0 when the device defines no ID (DeviceIDAdr, DeviceIDMask or DeviceID 0,
// the chip is not touched), when the link would not open, or when the walk never met
// DeviceIDAdr. Opens and closes the link itself; shows no message. Requires workspace.link.
uint16_t readDeviceId(Workspace& workspace);

// Compares the chip's ID under DeviceIDMask with DeviceID.
DeviceIdCheck checkDeviceId(Workspace& workspace);

// The ID check that the erase, write and automatic windows run before touching the chip:
// only a Mismatch asks `question` (OK/Cancel, Cancel the default button), with the chip
// found named below its first line (mismatchQuestion). True when the operation may go on.
bool confirmDeviceId(Workspace& workspace, OperationUi& ui, std::string_view question);
// `question` with the line "検出されたデバイス: NAME (デバイスID XXXX)" after its first line;
// an empty `found` is shown as "不明".
std::string mismatchQuestion(std::string_view question, std::string_view found, uint16_t raw);

// What the device-ID window shows: the raw ID ("%04X"), the revision ("%02X"), the device
// the ID belongs to, and the status text; "----" panels when no ID was read.
struct DeviceIdView {
    uint16_t raw = 0;
    DeviceIdCheck check = DeviceIdCheck::NoId;
    std::string DevID;
    std::string RevNo;
    std::string DevName;  // the selected device on a match; the catalogue's owner of the ID
                          // (possibly empty) on a mismatch
    std::string status;
    // Why the link failed while the ID was read (the view then shows no ID, and the window
    // has reported a hardware failure); empty otherwise.
    std::string linkFault;
};

// The device-ID window's activation and its "更新" button: reads the ID, fills the view and
// sets ui's status text.
DeviceIdView showDeviceId(Workspace& workspace, OperationUi& ui);

}  // namespace velkaro
