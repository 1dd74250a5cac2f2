#pragma once

namespace velkaro {

// The remembered check-box choices of the operation windows. Plain values: the windows
// (and velkaro-cli) fill their check boxes from them when they open and store them back
// when an operation completes; the settings file loads and saves most of them.

// The read window: "ReadSetting" in the settings file; both ticked when the window is new.
struct ReadOptions {
    bool ProgEn = true;
    bool DataEn = true;
};

// The blank-check window: "BlankSetting"; both clear until the settings file is read,
// where a missing key reads as ticked.
struct BlankOptions {
    bool ProgEn = false;
    bool DataEn = false;
};

// The erase window: "EraseSetting" holds the first four; program, data and buffer clear
// off and the ID check on until the settings file is read, where a missing key reads as
// ticked. OscCalEn (keep the chip's OSCCAL and BG values) is never saved: ticked when the
// program starts, then whatever the user last chose.
struct EraseOptions {
    bool ProgEn = false;
    bool DataEn = false;
    bool BuffClear = false;
    bool DevIdChk = true;
    bool OscCalEn = true;
};

// The verify window: kept only while the program runs, never saved.
struct VerifyOptions {
    bool ProgEn = true;
    bool DataEn = true;
};

// The write window: "WriteSetting"; all ticked when the window is new. OscCal (keep the
// chip's own OSCCAL and BG values) is also what every other caller of the write consults.
struct WriteOptions {
    bool ProgEn = true;
    bool DataEn = true;
    bool OscCal = true;
    bool DevIdChk = true;
};

// The automatic program window: "ProgSetting", where a missing key reads as ticked. Until
// the settings file is read the boxes start as the window shows them when new: program,
// data and the chip's own OSCCAL/BG ticked, blank check, verify and the ID check clear.
struct ProgOptions {
    bool ProgEn = true;
    bool DataEn = true;
    bool OscCalEn = true;
    bool BlankEn = false;
    bool VerifyEn = false;
    bool DevIdChk = false;
};

}  // namespace velkaro
