#include "sim/simulated_programmer.h"

#include <cmath>
#include <cstdio>

#include "link/programmer_commands.h"
#include "link/programmer_types.h"

namespace velkaro::sim {

namespace {

constexpr int kBlockWords = 1024;
// What one call into the programmer's library takes: the link's round trip and the
// programmer's own work on it.
constexpr uint64_t kCallUs = 10;

}  // namespace

SimulatedProgrammer::SimulatedProgrammer(Clock& clock) : mClock(clock) {}

SimulatedProgrammer::~SimulatedProgrammer() = default;

std::unique_ptr<SimChip> SimulatedProgrammer::insertChip(std::unique_ptr<SimChip> chip) {
    const uint64_t nowUs = mClock.nowMicroseconds();
    if (chipInProgrammingMode())
        mChip->powerDown(nowUs);
    auto previous = std::move(mChip);
    mChip = std::move(chip);
    if (chipInProgrammingMode())
        enterProgramming(false, nowUs);
    return previous;
}

void SimulatedProgrammer::setFirmware(std::string date, std::string version) {
    mFirmwareDate = std::move(date);
    mFirmwareVersion = std::move(version);
}

std::string SimulatedProgrammer::checkLeftSafe() const {
    std::string left;
    auto add = [&](const char* what) {
        if (!left.empty())
            left += ", ";
        left += what;
    };
    if (mVcc)
        add("VCC on");
    if (mVpp)
        add("VPP on");
    if (mOpenPort != 0)
        add("port open");
    return left;
}

std::vector<LibraryCall> SimulatedProgrammer::callsNamed(const std::string& name) const {
    std::vector<LibraryCall> calls;
    for (const auto& call : mLog)
        if (call.name == name)
            calls.push_back(call);
    return calls;
}

bool SimulatedProgrammer::begin(uint64_t& nowUs) {
    mClock.waitUntilMicroseconds(mClock.nowMicroseconds() + kCallUs);
    nowUs = mClock.nowMicroseconds();
    ++mCalls;
    if (!mLost && mFaults.connectionLostAfterCalls >= 0 &&
        mCalls > mFaults.connectionLostAfterCalls) {
        // The programmer is gone (unplugged, cable cut): it drops the target's supplies.
        mLost = true;
        powerOff(nowUs);
        mOpenPort = 0;
        mAnswer.clear();
    }
    return !mLost;
}

int32_t SimulatedProgrammer::record(const char* name, std::vector<int32_t> args, int32_t result,
                                    uint64_t nowUs) {
    if (mLogEnabled)
        mLog.push_back({name, std::move(args), result, nowUs});
    return result;
}

bool SimulatedProgrammer::chipInProgrammingMode() const {
    return mChip && mVcc && mVpp && !mFaults.noPower;
}

bool SimulatedProgrammer::chipEnteredByKey() const {
    return mChip && mVcc && !mVpp && !mFaults.noPower && mChip->inProgrammingMode();
}

bool SimulatedProgrammer::chipListensForKey() const {
    return mChip && mVcc && !mVpp && !mFaults.noPower && !mChip->inProgrammingMode();
}

bool SimulatedProgrammer::powerCheckWantsVpp() const {
    return programmerTypeOf(mType).can.programmerCommands && !mLowVoltageEntry;
}

void SimulatedProgrammer::answer(const std::string& text) {
    if (mFaults.noAcknowledge)
        return;
    if (mAnswer.empty())
        mPollsBeforeNext = mFaults.slowAnswerPolls;
    for (char c : text)
        mAnswer.push_back(static_cast<unsigned char>(c));
}

void SimulatedProgrammer::powerOff(uint64_t nowUs) {
    if (chipSeesTraffic())
        mChip->powerDown(nowUs);
    mVcc = false;
    mVpp = false;
    mBoardVppVolts = kBoardSafeVppVolts;
    mLowVoltageEntry = false;
}

double SimulatedProgrammer::vppVolts() const {
    return programmerTypeOf(mType).can.programmerCommands ? mBoardVppVolts : kBitBangedVppVolts;
}

// Called after one supply was switched on: the chip enters programming mode when the
// second supply arrives.
void SimulatedProgrammer::supplyChanged(bool wasProgramming, bool vppFirst, uint64_t nowUs) {
    if (!wasProgramming && chipInProgrammingMode())
        enterProgramming(vppFirst, nowUs);
}

// After command 119 the programmer's firmware owns the lines for its block tests and holds
// them low as the supplies come up; otherwise the chip sees the levels the host set.
void SimulatedProgrammer::enterProgramming(bool vppFirst, uint64_t nowUs) {
    if (mFastCheckReady)
        mChip->linesAtEntry(0, 0);
    else
        mChip->linesAtEntry(mPgc, mPgd);
    mChip->powerUp(vppFirst, vppVolts(), nowUs);
    ++mSessions;
}

std::string SimulatedProgrammer::linkFault() const {
    return mLost ? "the programmer stopped answering (connection lost)" : std::string();
}

int32_t SimulatedProgrammer::SOpen(int32_t port) {
    uint64_t now;
    if (!begin(now))
        return record("SOpen", {port}, 0, now);
    if (mFaults.portWillNotOpen || !mPorts.count(port))
        return record("SOpen", {port}, 0, now);
    mOpenPort = port;
    mAnswer.clear();
    mFastCheckReady = false;
    mLowVoltageEntry = false;
    mBoardVppVolts = kBoardSafeVppVolts;  // opening the port resets the board
    return record("SOpen", {port}, 1, now);
}

int32_t SimulatedProgrammer::SClose() {
    uint64_t now;
    if (!begin(now))
        return record("SClose", {}, 0, now);
    powerOff(now);
    mOpenPort = 0;
    mAnswer.clear();
    mFastCheckReady = false;
    mPgc = 0;  // a closed port drives nothing
    mPgd = 0;
    return record("SClose", {}, 1, now);
}

int32_t SimulatedProgrammer::SSetMode(int32_t mode) {
    uint64_t now;
    if (!begin(now))
        return record("SSetMode", {mode}, 0, now);
    mType = mode;
    return record("SSetMode", {mode}, 1, now);
}

int32_t SimulatedProgrammer::SVccOn(int32_t type) {
    uint64_t now;
    if (!begin(now))
        return record("SVccOn", {type}, 0, now);
    if (!portOpen() || mFaults.supplyFails)
        return record("SVccOn", {type}, 0, now);
    const bool was = chipInProgrammingMode();
    const bool rises = !mVcc;
    mVcc = true;
    if (rises && chipListensForKey())
        mChip->vddRises(now);
    supplyChanged(was, true, now);
    // The intelligent type reports that the target supply is up.
    if (programmerTypeOf(mType).can.programmerCommands)
        answer("#");
    return record("SVccOn", {type}, 1, now);
}

int32_t SimulatedProgrammer::SVppOn(int32_t type) {
    uint64_t now;
    if (!begin(now))
        return record("SVppOn", {type}, 0, now);
    if (!portOpen() || mFaults.supplyFails)
        return record("SVppOn", {type}, 0, now);
    const bool was = chipInProgrammingMode();
    mVpp = true;
    supplyChanged(was, false, now);
    return record("SVppOn", {type}, 1, now);
}

int32_t SimulatedProgrammer::SPowerOff() {
    uint64_t now;
    if (!begin(now))
        return record("SPowerOff", {}, 0, now);
    powerOff(now);
    return record("SPowerOff", {}, portOpen() ? 1 : 0, now);
}

int32_t SimulatedProgrammer::SCheckPower() {
    uint64_t now;
    if (!begin(now))
        return record("SCheckPower", {}, 0, now);
    if (!portOpen())
        return record("SCheckPower", {}, 0, now);
    int32_t status = (mVcc ? 2 : 0) | (mVpp ? 4 : 0);
    if (mVcc && (mVpp || !powerCheckWantsVpp()) && (mChip || mInCircuit) && !mFaults.noPower)
        status |= 1;
    return record("SCheckPower", {}, status, now);
}

int32_t SimulatedProgrammer::SCheckOSC() {
    uint64_t now;
    if (!begin(now))
        return record("SCheckOSC", {}, 0, now);
    if (!portOpen() || !programmerTypeOf(mType).can.oscillatorMeasure)
        return record("SCheckOSC", {}, 0, now);
    // The chip runs its program on VCC alone; the programmer counts the instruction clock
    // that the calibration program puts out and reports it in units of 100 Hz.
    double hz = 0.0;
    if (mChip && mVcc && !mVpp && !mFaults.noPower)
        hz = mChip->oscillatorHz();
    char text[16];
    std::snprintf(text, sizeof text, "%X#", static_cast<unsigned>(std::lround(hz / 100.0)));
    answer(text);
    return record("SCheckOSC", {}, 1, now);
}

std::string SimulatedProgrammer::blockTest(int code, uint64_t nowUs) {
    if (!chipSeesTraffic())
        return "-";
    bool blank = true;
    if (code == kBlockTest16Bit) {
        for (int i = 0; i < kBlockWords; ++i) {
            uint32_t word = 0;
            for (int half = 0; half < 2; ++half) {
                mChip->writeBits(9, 4, nowUs);  // table read, post-increment
                mChip->writeBits(0, 8, nowUs);
                word |= (mChip->readBits(8, nowUs) & 0xFF) << (8 * half);
            }
            blank = blank && word == 0xFFFF;
        }
    } else {
        const uint16_t blankWord = code == kBlockTest14Bit ? 0x3FFF : 0x0FFF;
        for (int i = 0; i < kBlockWords; ++i) {
            mChip->writeBits(4, 6, nowUs);  // Read Data
            const uint16_t word = mChip->readWord(nowUs);
            mChip->writeBits(6, 6, nowUs);  // Increment Address
            blank = blank && (word & blankWord) == blankWord;
        }
    }
    return blank ? "*" : "-";
}

int32_t SimulatedProgrammer::SSendCmd(int32_t code) {
    uint64_t now;
    if (!begin(now))
        return record("SSendCmd", {code}, 0, now);
    if (!portOpen())
        return record("SSendCmd", {code}, 0, now);
    if (!programmerTypeOf(mType).can.programmerCommands)
        return record("SSendCmd", {code}, 1, now);  // nothing in this programmer listens
    switch (code) {
        case kCmdFirmwareDate:
            answer(mFirmwareDate + "#");
            break;
        case kCmdFirmwareVersion:
            answer(mFirmwareVersion + "#");
            break;
        case kCmdVppHigh:
        case kCmdVppLow:
        case kCmdVpp8V5:
            mVppLevel = code == kCmdVppHigh ? 1 : code == kCmdVppLow ? 0 : 2;
            mBoardVppVolts = code == kCmdVppHigh ? 13.0 : code == kCmdVppLow ? 12.0 : 8.5;
            answer("#");
            break;
        case kCmdLowVoltageEntry:
            mLowVoltageEntry = true;
            answer("#");
            break;
        case kCmdPrepareFastCheck:
            mFastCheckReady = true;
            answer("#");
            break;
        case kBlockTestStart16Bit:
            // Selects the 16-bit block test; the acknowledgement the caller waits for next
            // is the supply report still queued from SVccOn.
            break;
        case kBlockTest14Bit:
        case kBlockTestOtherWidth:
        case kBlockTest16Bit:
            // Block tests need the lines prepared by command 119 before the power-up.
            answer((mFastCheckReady ? blockTest(code, now) : std::string("?")) + "#");
            break;
        case kBlockTestEnd:
            mFastCheckReady = false;
            break;
        default:
            break;
    }
    return record("SSendCmd", {code}, 1, now);
}

int32_t SimulatedProgrammer::SGetc() {
    uint64_t now;
    if (!begin(now))
        return record("SGetc", {}, -1, now);
    if (!portOpen() || mAnswer.empty())
        return record("SGetc", {}, -1, now);
    if (mPollsBeforeNext > 0) {
        --mPollsBeforeNext;
        return record("SGetc", {}, -1, now);
    }
    const int32_t c = mAnswer.front();
    mAnswer.pop_front();
    mPollsBeforeNext = mFaults.slowAnswerPolls;
    return record("SGetc", {}, c, now);
}

int32_t SimulatedProgrammer::SSetLED(int32_t position) {
    uint64_t now;
    if (!begin(now))
        return record("SSetLED", {position}, 0, now);
    if (!portOpen())
        return record("SSetLED", {position}, 0, now);
    mLed = position;
    return record("SSetLED", {position}, 1, now);
}

int32_t SimulatedProgrammer::SSetPGC(int32_t level) {
    uint64_t now;
    if (!begin(now))
        return record("SSetPGC", {level}, 0, now);
    if (!portOpen())
        return record("SSetPGC", {level}, 0, now);
    // The chip takes a key bit as the clock falls.
    if (level == 0 && mPgc != 0 && chipListensForKey())
        mChip->keyBits(static_cast<uint32_t>(mPgd != 0), 1, now);
    mPgc = level;
    if (chipSeesTraffic())
        mChip->setPgc(level, now);
    return record("SSetPGC", {level}, 1, now);
}

int32_t SimulatedProgrammer::SSetPGD(int32_t level) {
    uint64_t now;
    if (!begin(now))
        return record("SSetPGD", {level}, 0, now);
    if (!portOpen())
        return record("SSetPGD", {level}, 0, now);
    mPgd = level;
    if (chipSeesTraffic())
        mChip->setPgd(level, now);
    return record("SSetPGD", {level}, 1, now);
}

int32_t SimulatedProgrammer::SWriteBit(int32_t value, int32_t count) {
    uint64_t now;
    if (!begin(now))
        return record("SWriteBit", {value, count}, 0, now);
    if (!portOpen())
        return record("SWriteBit", {value, count}, 0, now);
    if (chipSeesTraffic())
        mChip->writeBits(static_cast<uint32_t>(value), count, now);
    else if (chipListensForKey())
        mChip->keyBits(static_cast<uint32_t>(value), count, now);
    return record("SWriteBit", {value, count}, 1, now);
}

int32_t SimulatedProgrammer::SWriteWord(int32_t word) {
    uint64_t now;
    if (!begin(now))
        return record("SWriteWord", {word}, 0, now);
    if (!portOpen())
        return record("SWriteWord", {word}, 0, now);
    if (chipSeesTraffic())
        mChip->writeWord(static_cast<uint16_t>(word), now);
    return record("SWriteWord", {word}, 1, now);
}

int32_t SimulatedProgrammer::SReadWord() {
    uint64_t now;
    if (!begin(now))
        return record("SReadWord", {}, mFaults.lostReadsAllOnes ? 0xFFFF : 0, now);
    // An unpowered or absent target leaves the data line low, unless the circuit pulls it up.
    int32_t word = 0;
    if (portOpen() && chipSeesTraffic())
        word = mChip->readWord(now);
    if (mFaults.undrivenDataLineHigh && !(chipSeesTraffic() && mChip->inProgrammingMode()))
        word = 0xFFFF;
    return record("SReadWord", {}, word, now);
}

int32_t SimulatedProgrammer::SReadBit(int32_t count) {
    uint64_t now;
    const int32_t ones = count >= 31 ? -1 : (int32_t{1} << count) - 1;
    if (!begin(now))
        return record("SReadBit", {count}, mFaults.lostReadsAllOnes ? ones : 0, now);
    int32_t bits = 0;
    if (portOpen() && chipSeesTraffic())
        bits = static_cast<int32_t>(mChip->readBits(count, now));
    if (mFaults.undrivenDataLineHigh && !(chipSeesTraffic() && mChip->inProgrammingMode()))
        bits = ones;
    return record("SReadBit", {count}, bits, now);
}

}  // namespace velkaro::sim
