// The baseline parts' backup OSCCAL word across erase and write.
#include <gtest/gtest.h>

#include <string>

#include "operations/erase_window.h"
#include "operations/midrange/osccal_backup.h"
#include "operations/write_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

// Baseline parts erase from the ID area, which takes the factory copy of OSCCAL after the
// IDs; the erase window, the write and the erase entry all keep it.
TEST(BackupOscCal, SurvivesEraseAndWriteOnEveryBaselinePart) {
    int parts = 0;
    for (const std::string& name : SimBench::modelledDevices()) {
        SimBench probe;
        probe.load(name);
        if (!hasBackupOscCal(probe.device()))
            continue;
        ++parts;
        SCOPED_TRACE(name);
        const int32_t backupAdr = probe.device().IdAdr + 4;
        const uint16_t backup = probe.chip().peek(static_cast<uint32_t>(backupAdr));
        ASSERT_NE(backup, probe.device().BlankWord);

        SimBench erase;
        erase.load(name);
        erase.writePattern();
        const FlowOutcome erased =
            runErase(erase.workspace(), erase.ui(), {true, false, false, false, false});
        EXPECT_EQ(erased.result, kResultOk);
        EXPECT_EQ(erase.idWord(0), erase.device().BlankWord) << "the IDs are erased";
        EXPECT_EQ(erase.chip().peek(static_cast<uint32_t>(backupAdr)), backup);

        SimBench write;
        write.load(name);
        write.writePattern();
        write.image().ProgMemory[1] = 0x0A5;
        write.image().IdWords[0] = 0x005;
        const FlowOutcome written =
            runWrite(write.workspace(), write.ui(), {true, false, true, false});
        EXPECT_EQ(written.result, kResultOk);
        EXPECT_EQ(write.programWord(1), 0x0A5);
        EXPECT_EQ(write.idWord(0), 0x005);
        EXPECT_EQ(write.chip().peek(static_cast<uint32_t>(backupAdr)), backup);
    }
    EXPECT_GE(parts, 8);
}

}  // namespace
}  // namespace velkaro
