#pragma once

// Small pieces shared by the read, blank-check, verify and device-ID algorithms.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"
#include "link/icsp_commands.h"
#include "link/operation_ui.h"
#include "link/programmer_commands.h"
#include "link/programmer_link.h"
#include "operations/first_difference.h"

namespace velkaro::ops {

// Words of one fast block test ("VKR-20 PRO" only; the commands are in
// link/programmer_commands.h).
inline constexpr int kBlockTestWords = 1024;

// Gauge value for `done` of `size` items; integer division as the gauges show it.
inline int percentOf(int64_t done, int64_t size) {
    return size > 0 ? static_cast<int>(done * 100 / size) : 100;
}

// Lets the window run its pending events, then reports whether Cancel was pressed.
inline bool cancelSeen(OperationUi& ui) {
    ui.pumpEvents();
    return ui.cancelRequested();
}

// A cancelled read: the window's own Cancel handler has usually closed the link already,
// and then nothing more goes to the programmer. Otherwise (velkaro-cli, tests) it is
// closed here so that the target never stays powered. The blank check and verify close
// the link on a cancel unconditionally.
inline void closeLinkIfOpen(ProgrammerLink& link) {
    if (link.LinkOpen())
        link.CloseLink();
}

// Routes the link's event pumping and messages to `ui` while an operation runs, then gives
// the link back the UI it had: the caller's UI may not outlive the call. The outermost scope
// begins the operation with a sound link; checked() is what the operation may return.
class LinkUiScope {
public:
    LinkUiScope(ProgrammerLink& link, OperationUi& ui) : mLink(link), mPrevious(link.ui()) {
        link.setUi(ui);
        link.beginOperation();
    }
    ~LinkUiScope() {
        mLink.endOperation();
        mLink.setUi(mPrevious);
    }
    ResultCode checked(ResultCode code) const { return mLink.checkedResult(code); }
    LinkUiScope(const LinkUiScope&) = delete;
    LinkUiScope& operator=(const LinkUiScope&) = delete;

private:
    ProgrammerLink& mLink;
    OperationUi& mPrevious;
};

// Stores into the image only where it has room (its shape follows the selected device).
inline void storeProgramWord(MemoryImage& image, int32_t address, uint16_t word) {
    if (address >= 0 && static_cast<size_t>(address) < image.ProgMemory.size())
        image.ProgMemory[address] = word;
}

inline void storeDataByte(MemoryImage& image, int32_t address, uint8_t value) {
    if (address >= 0 && static_cast<size_t>(address) < image.DataMemory.size())
        image.DataMemory[address] = value;
}

// What the image holds where a verify compares, and the comparisons.
inline uint16_t imageProgramWord(const MemoryImage& image, int32_t address) {
    if (address >= 0 && static_cast<size_t>(address) < image.ProgMemory.size())
        return image.ProgMemory[address];
    return 0;
}

inline uint8_t imageDataByte(const MemoryImage& image, int32_t address) {
    if (address >= 0 && static_cast<size_t>(address) < image.DataMemory.size())
        return image.DataMemory[address];
    return 0xFF;
}

// Compares data byte `i`; on a difference records where it was.
inline bool dataMatches(const MemoryImage& image, int32_t i, uint16_t chip,
                        FirstDifference& where) {
    const uint8_t want = imageDataByte(image, i);
    if ((chip & 0xFF) == want)
        return true;
    where = {FirstDifference::Region::Data, static_cast<uint32_t>(i), 0, want, chip & 0xFFu};
    return false;
}

inline bool idMatches(uint16_t chipWord, uint16_t imageWord, uint16_t verifyMask = 0x000F) {
    return (chipWord & verifyMask) == (imageWord & verifyMask);
}

inline bool configMatches(uint16_t chipWord, uint16_t imageWord, uint16_t mask) {
    return (chipWord & mask) == (imageWord & mask);
}

// Configuration words of the device, capped to the image.
inline int configWordCount(const DeviceDefinition& d) {
    return std::clamp(d.ConfigCount, 0, DeviceDefinition::kMaxConfigWords);
}

// ID bytes and configuration words the 16-bit core family reads, capped to the image.
inline int idWordCount16(const DeviceDefinition& device) {
    return std::clamp(device.IdCount, 0, DeviceDefinition::kMaxIdWords);
}
inline int configWordCount16(const DeviceDefinition& device) {
    return std::clamp(device.ConfigCount, 0, DeviceDefinition::kMaxConfigWords);
}

// Last address the 6-bit family's ID-and-configuration pass reaches: the four ID
// locations, and the configuration words unless the reset-vector walk already met them.
inline int32_t configPassEnd(const DeviceDefinition& device, bool configSeenOnWalk) {
    const int32_t idEnd = device.IdAdr + 3;
    if (configSeenOnWalk)
        return idEnd;
    return std::max(idEnd, device.ConfigBaseAdr + device.ConfigCount - 1);
}

inline bool inIdRange(const DeviceDefinition& device, int32_t a) {
    return a >= device.IdAdr && a < device.IdAdr + 4;
}
// The ID words a 12/14-bit device really has (at most four): the image slots beyond
// IdCount are not on the chip and are never compared.
inline int idWordCount6(const DeviceDefinition& device) {
    return std::clamp(device.IdCount, 0, 4);
}
inline bool inConfigRange(const DeviceDefinition& device, int32_t a) {
    return a >= device.ConfigBaseAdr && a < device.ConfigBaseAdr + device.ConfigCount;
}

// Next address of the 6-bit family's counter, which wraps at the device's mask.
inline int32_t nextAddress(const DeviceDefinition& device, int32_t a) {
    return (a + 1) & device.AdrMask;
}

// One program or configuration word of the 16-bit core family: two table reads with
// post-increment, low byte first.
inline uint16_t tableReadWord(ProgrammerLink& link) {
    const uint16_t lo = link.TableReadByte();
    const uint16_t hi = link.TableReadByte();
    return static_cast<uint16_t>(lo | (hi << 8));
}

// A loop's reads kept queued ahead of their use, as deep as the link allows: after
// queueing a read on the link the loop calls queued(tag), and `use(tag, value)` runs for
// the oldest reads once the queue is full (at once when the programmer answers each read
// as it comes), and for the rest at flush(). A use that returns false stops the loop:
// queued() and flush() then return false, and the reads still queued are dropped when the
// link closes. With QueuedOnClose::Taken the reads queued when the link closes mid-loop
// (a cancel) are taken and used first, as long as the programmer still answers: a
// cancelled read keeps every word the chip gave.
enum class QueuedOnClose { Dropped, Taken };

template <typename Use>
class ReadPipeline {
public:
    ReadPipeline(ProgrammerLink& link, Use use, QueuedOnClose onClose = QueuedOnClose::Dropped)
        : mLink(link),
          mUse(std::move(use)),
          mDepth(static_cast<size_t>(link.readQueueDepth())),
          mTakeOnClose(onClose == QueuedOnClose::Taken) {
        if (mTakeOnClose)
            mLink.setBeforeClose([this] { takeQueued(); });
    }
    ~ReadPipeline() {
        if (mTakeOnClose)
            mLink.setBeforeClose({});
    }
    ReadPipeline(const ReadPipeline&) = delete;
    ReadPipeline& operator=(const ReadPipeline&) = delete;

    bool queued(int32_t tag) {
        mTags.push_back(tag);
        return drain(mDepth);
    }
    bool flush() { return drain(1); }

private:
    bool drain(size_t whileAtLeast) {
        while (!mStopped && mTags.size() >= whileAtLeast) {
            const int32_t tag = mTags.front();
            mTags.pop_front();
            if (!mUse(tag, mLink.takeQueuedRead()))
                mStopped = true;
        }
        return !mStopped;
    }

    void takeQueued() {
        while (!mStopped && !mTags.empty()) {
            const int32_t tag = mTags.front();
            mTags.pop_front();
            const uint16_t value = mLink.takeQueuedRead();
            if (mLink.readsLost())
                break;  // a zero from a lost session is not the chip's word
            if (!mUse(tag, value))
                mStopped = true;
        }
        mTags.clear();
    }

    ProgrammerLink& mLink;
    Use mUse;
    size_t mDepth;
    bool mTakeOnClose;
    bool mStopped = false;
    std::deque<int32_t> mTags;
};

// The programmer tested a block at once: only the block is known.
inline FirstDifference blockDifference(int32_t first) {
    return {FirstDifference::Region::ProgramBlock, static_cast<uint32_t>(first),
            static_cast<uint32_t>(first + kBlockTestWords - 1), 0, 0};
}

// Fast mode: the "VKR-20 PRO" programmer tests 1024 program words at a time itself. Only
// for devices whose address counter starts at 0.
bool fastCheckAvailable(const ProgrammerLink& link);
// Leaves fast mode: lines low, end command, then waits for the target supply to return.
void leaveFastMode(ProgrammerLink& link);
// Sends one block-test command and tells whether the programmer answered "*" (blank).
bool blockIsBlank(ProgrammerLink& link, int command);

// 16-bit core data memory: select data EEPROM access, then read byte `address` (or queue
// its read, taken with takeQueuedRead).
void selectDataMemory16(ProgrammerLink& link);
uint8_t readDataByte16(ProgrammerLink& link, int32_t address);
void queueDataByte16(ProgrammerLink& link, int32_t address);

}  // namespace velkaro::ops
