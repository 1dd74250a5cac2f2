#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "link/programmer_library.h"

namespace velkaro {
class VirtualClock;
}

namespace velkaro::test {

// One call into the library: its name ("SWriteBit"), its arguments and, when a clock is
// attached, the virtual time at which it was made.
struct LibraryCall {
    std::string name;
    std::vector<int32_t> args;
    uint64_t timeUs = 0;

    bool operator==(const LibraryCall& other) const {
        return name == other.name && args == other.args;  // time is not compared
    }
};
void PrintTo(const LibraryCall& call, std::ostream* out);
// "SWriteBit(8,4)" style text of a call.
std::string describe(const LibraryCall& call);

// A scripted programmer access library for unit tests of the link layer: it logs every
// call, answers SGetc from a queue of characters (or -1), and returns configurable results.
// No chip behind it: reads answer from queues.
class FakeLibrary : public ProgrammerLibrary {
public:
    int32_t SOpen(int32_t port) override;
    int32_t SClose() override;
    int32_t SSetMode(int32_t mode) override;
    int32_t SVccOn(int32_t type) override;
    int32_t SVppOn(int32_t type) override;
    int32_t SPowerOff() override;
    int32_t SCheckPower() override;
    int32_t SCheckOSC() override;
    int32_t SSendCmd(int32_t code) override;
    int32_t SGetc() override;
    int32_t SSetLED(int32_t position) override;
    int32_t SSetPGC(int32_t level) override;
    int32_t SSetPGD(int32_t level) override;
    int32_t SWriteBit(int32_t value, int32_t count) override;
    int32_t SWriteWord(int32_t word) override;
    int32_t SReadWord() override;
    int32_t SReadBit(int32_t count) override;

    // Results (defaults: everything succeeds, power present).
    int32_t openResult = 1;
    int32_t vccResult = 1;
    int32_t vppResult = 1;
    int32_t checkPowerResult = 1;
    int32_t checkOscResult = 1;
    int32_t powerOffResult = 1;
    int32_t closeResult = 1;
    // SReadWord / SReadBit answer from these queues, then with the default.
    std::deque<int32_t> readWords;
    int32_t defaultReadWord = 0;
    std::deque<int32_t> readBits;
    int32_t defaultReadBits = 0;

    // Characters for SGetc, each as one poll; -1 entries are polls with nothing waiting.
    // After the queue, SGetc returns -1.
    void queueCharacters(std::string_view text);
    void queueGetc(int32_t value) { mGetc.push_back(value); }
    // What SSendCmd(code) queues for SGetc, every time it is sent.
    void answerCommand(int32_t code, std::string_view text) { mAnswers[code] = std::string(text); }
    size_t pendingCharacters() const { return mGetc.size(); }

    // Stamp each call with this clock's time (peeked, so the clock does not advance).
    void attachClock(const VirtualClock* clock) { mClock = clock; }

    const std::vector<LibraryCall>& calls() const { return mCalls; }
    // Calls without the SGetc polls, which tests rarely care about one by one.
    std::vector<LibraryCall> callsWithoutPolls() const;
    std::vector<std::string> callNames() const;
    int count(std::string_view name) const;
    void clearCalls() { mCalls.clear(); }

private:
    int32_t log(std::string name, std::vector<int32_t> args, int32_t result);

    std::vector<LibraryCall> mCalls;
    std::deque<int32_t> mGetc;
    std::map<int32_t, std::string> mAnswers;
    const VirtualClock* mClock = nullptr;
};

// Shorthand for expected calls: call("SWriteBit", {8, 6}).
LibraryCall call(std::string name, std::vector<int32_t> args = {});

}  // namespace velkaro::test
