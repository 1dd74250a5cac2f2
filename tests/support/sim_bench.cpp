#include "support/sim_bench.h"

#include "link/programmer_types.h"

#include <gtest/gtest.h>

#include "support/paths.h"

namespace velkaro::test {

SimBench::SimBench() : mProgrammer(mClock), mWorkspace(binDir()) {
    mWorkspace.deviceList = mWorkspace.catalogue.FillDeviceList();
    mWorkspace.attachProgrammer(mProgrammer, mClock);
    mWorkspace.link->setUi(mUi);
    mWorkspace.link->measureCallsPerMillisecond();
}

SimBench::~SimBench() {
    EXPECT_EQ(mProgrammer.checkLeftSafe(), "") << "left on after the test's last operation";
    if (sim::SimChip* c = mProgrammer.chip()) {
        std::string unexpected;
        for (const std::string& n : c->notes())
            unexpected += "\n  " + n;
        EXPECT_EQ(unexpected, "") << "the chip noted protocol violations on " << c->name();
    }
}

std::vector<std::string> SimBench::takeNotes() {
    sim::SimChip* c = mProgrammer.chip();
    return c ? c->takeNotes() : std::vector<std::string>{};
}

namespace {

struct ModelledDevice {
    std::string name;
    DeviceDefinition definition;
};

// Read once a process: device tables are instantiated from it at every start.
const std::vector<ModelledDevice>& modelled() {
    static const std::vector<ModelledDevice> devices = [] {
        Workspace workspace(binDir());
        std::vector<ModelledDevice> found;
        for (const std::string& name : workspace.catalogue.FillDeviceList()) {
            if (!sim::makeSimChip(name))
                continue;
            SilentMessageSink sink;
            ConfigFieldTable fields;
            found.push_back({name, {}});
            workspace.catalogue.LoadSection(name, found.back().definition, fields, sink);
        }
        return found;
    }();
    return devices;
}

}  // namespace

const std::vector<std::string>& SimBench::modelledDevices() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const ModelledDevice& device : modelled())
            all.push_back(device.name);
        return all;
    }();
    return names;
}

std::vector<std::string> SimBench::modelledDevices(bool (*keep)(const DeviceDefinition&)) {
    std::vector<std::string> names;
    for (const ModelledDevice& device : modelled()) {
        if (keep(device.definition))
            names.push_back(device.name);
    }
    return names;
}

void SimBench::load(const std::string& device) {
    SilentMessageSink messages;
    mWorkspace.SelectDevice(device, messages);
    mProgrammer.insertChip(sim::makeSimChip(device));
}

uint16_t SimBench::programWord(int32_t index) {
    const sim::SimChip& c = chip();
    if (!device().isExtendedFamily())
        return c.peek(static_cast<uint32_t>(index));
    const uint32_t byte = static_cast<uint32_t>(index) * 2;
    return static_cast<uint16_t>(c.peek(byte) | (c.peek(byte + 1) << 8));
}

void SimBench::setProgramWord(int32_t index, uint16_t word) {
    if (!device().isExtendedFamily()) {
        chip().poke(static_cast<uint32_t>(index), word);
        return;
    }
    const uint32_t byte = static_cast<uint32_t>(index) * 2;
    chip().poke(byte, word & 0xFF);
    chip().poke(byte + 1, word >> 8);
}

uint16_t SimBench::idWord(int k) {
    return chip().peek(static_cast<uint32_t>(device().IdAdr + k));
}

void SimBench::setIdWord(int k, uint16_t value) {
    chip().poke(static_cast<uint32_t>(device().IdAdr + k), value);
}

uint16_t SimBench::configWord(int k) {
    const sim::SimChip& c = chip();
    if (!device().isExtendedFamily())
        return c.peek(static_cast<uint32_t>(device().ConfigBaseAdr + k));
    const uint32_t byte = static_cast<uint32_t>(device().ConfigBaseAdr + 2 * k);
    return static_cast<uint16_t>(c.peek(byte) | (c.peek(byte + 1) << 8));
}

void SimBench::setConfigWord(int k, uint16_t value) {
    if (!device().isExtendedFamily()) {
        chip().poke(static_cast<uint32_t>(device().ConfigBaseAdr + k), value);
        return;
    }
    const uint32_t byte = static_cast<uint32_t>(device().ConfigBaseAdr + 2 * k);
    chip().poke(byte, value & 0xFF);
    chip().poke(byte + 1, value >> 8);
}

uint8_t SimBench::dataByte(int32_t index) {
    return chip().peekData(static_cast<uint32_t>(index));
}

void SimBench::setDataByte(int32_t index, uint8_t value) {
    chip().pokeData(static_cast<uint32_t>(index), value);
}

void SimBench::writePattern() {
    const DeviceDefinition& d = device();
    for (int32_t i = 0; i < d.ProgSize; ++i) {
        if (i > 0 && i == d.OscCal)
            continue;
        setProgramWord(i, static_cast<uint16_t>((i * 0x0123 + 0x0456) & d.BlankWord));
    }
    const int ids = d.isExtendedFamily() ? std::min(d.IdCount, 8) : 4;
    for (int k = 0; k < ids; ++k)
        setIdWord(k, static_cast<uint16_t>(0x30 + k * 0x11));
    if (d.ConfigCount > 0) {
        // Only the first word, and only its lowest implemented bit (an oscillator bit on
        // every family): other words hold code-protection bits that would hide the memory.
        const uint16_t mask = d.ConfigMask[0];
        const uint16_t lowest = mask & static_cast<uint16_t>(-mask);
        setConfigWord(0, static_cast<uint16_t>(configWord(0) & ~lowest));
    }
    for (int32_t i = 0; i < d.EpromSize; ++i)
        setDataByte(i, static_cast<uint8_t>(i * 7 + 3));
}

std::string deviceCaseName(const testing::TestParamInfo<std::string>& info) {
    return info.param;
}

std::string namedCaseName(const testing::TestParamInfo<const char*>& info) {
    return info.param;
}

const std::vector<const char*>& enhancedSiblings() {
    static const std::vector<std::string> names =
        SimBench::modelledDevices([](const DeviceDefinition& d) {
            return d.traits().family == DeviceFamily::EnhancedMidrange &&
                   d.DeviceName != "PIC16F1827";
        });
    static const std::vector<const char*> pointers = [] {
        std::vector<const char*> all;
        for (const std::string& name : names)
            all.push_back(name.c_str());
        return all;
    }();
    return pointers;
}

bool vppRefused(const DeviceDefinition& device, int type) {
    const ProgrammerCapabilities& can = programmerTypeOf(type).can;
    if (device.allowsLowVoltageEntry() && can.lowVoltageEntry)
        return false;  // left to choose, the link enters by the key instead
    return chooseVppLevel(can.vppLevels, device.VppVoltage, device.vppMin(), device.vppMax()) ==
           nullptr;
}

}  // namespace velkaro::test
