#include "support/fake_library.h"

#include <algorithm>
#include <iterator>

#include "link/virtual_clock.h"

namespace velkaro::test {

void PrintTo(const LibraryCall& call, std::ostream* out) {
    *out << describe(call);
}

std::string describe(const LibraryCall& call) {
    std::string text = call.name + "(";
    for (size_t i = 0; i < call.args.size(); ++i) {
        if (i != 0)
            text += ",";
        text += std::to_string(call.args[i]);
    }
    return text + ")";
}

LibraryCall call(std::string name, std::vector<int32_t> args) {
    return LibraryCall{std::move(name), std::move(args)};
}

int32_t FakeLibrary::log(std::string name, std::vector<int32_t> args, int32_t result) {
    mCalls.push_back(
        LibraryCall{std::move(name), std::move(args), mClock ? mClock->peekMicroseconds() : 0});
    return result;
}

int32_t FakeLibrary::SOpen(int32_t port) {
    return log("SOpen", {port}, openResult);
}
int32_t FakeLibrary::SClose() {
    return log("SClose", {}, closeResult);
}
int32_t FakeLibrary::SSetMode(int32_t mode) {
    return log("SSetMode", {mode}, 1);
}
int32_t FakeLibrary::SVccOn(int32_t type) {
    return log("SVccOn", {type}, vccResult);
}
int32_t FakeLibrary::SVppOn(int32_t type) {
    return log("SVppOn", {type}, vppResult);
}
int32_t FakeLibrary::SPowerOff() {
    return log("SPowerOff", {}, powerOffResult);
}
int32_t FakeLibrary::SCheckPower() {
    return log("SCheckPower", {}, checkPowerResult);
}
int32_t FakeLibrary::SCheckOSC() {
    return log("SCheckOSC", {}, checkOscResult);
}

int32_t FakeLibrary::SSendCmd(int32_t code) {
    if (auto it = mAnswers.find(code); it != mAnswers.end())
        queueCharacters(it->second);
    return log("SSendCmd", {code}, 1);
}

int32_t FakeLibrary::SGetc() {
    int32_t c = -1;
    if (!mGetc.empty()) {
        c = mGetc.front();
        mGetc.pop_front();
    }
    return log("SGetc", {}, c);
}

int32_t FakeLibrary::SSetLED(int32_t position) {
    return log("SSetLED", {position}, 1);
}
int32_t FakeLibrary::SSetPGC(int32_t level) {
    return log("SSetPGC", {level}, 1);
}
int32_t FakeLibrary::SSetPGD(int32_t level) {
    return log("SSetPGD", {level}, 1);
}
int32_t FakeLibrary::SWriteBit(int32_t value, int32_t count) {
    return log("SWriteBit", {value, count}, 1);
}
int32_t FakeLibrary::SWriteWord(int32_t word) {
    return log("SWriteWord", {word}, 1);
}

int32_t FakeLibrary::SReadWord() {
    int32_t value = defaultReadWord;
    if (!readWords.empty()) {
        value = readWords.front();
        readWords.pop_front();
    }
    return log("SReadWord", {}, value);
}

int32_t FakeLibrary::SReadBit(int32_t count) {
    int32_t value = defaultReadBits;
    if (!readBits.empty()) {
        value = readBits.front();
        readBits.pop_front();
    }
    return log("SReadBit", {count}, value);
}

void FakeLibrary::queueCharacters(std::string_view text) {
    for (char c : text)
        mGetc.push_back(static_cast<unsigned char>(c));
}

std::vector<LibraryCall> FakeLibrary::callsWithoutPolls() const {
    std::vector<LibraryCall> result;
    std::copy_if(mCalls.begin(), mCalls.end(), std::back_inserter(result),
                 [](const LibraryCall& c) { return c.name != "SGetc"; });
    return result;
}

std::vector<std::string> FakeLibrary::callNames() const {
    std::vector<std::string> names;
    for (const LibraryCall& c : mCalls)
        names.push_back(c.name);
    return names;
}

int FakeLibrary::count(std::string_view name) const {
    return static_cast<int>(std::count_if(mCalls.begin(), mCalls.end(),
                                          [&](const LibraryCall& c) { return c.name == name; }));
}

}  // namespace velkaro::test
