#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"
#include "link/programmer_link.h"
#include "link/virtual_clock.h"
#include "support/fake_library.h"
#include "support/recording_ui.h"

namespace velkaro::test {

// A link over the scripted library, on virtual time, reporting to a recorder.
class LinkTest : public ::testing::Test {
protected:
    LinkTest() {
        link.setUi(ui);
        library.attachClock(&clock);
    }

    VirtualClock clock;
    FakeLibrary library;
    DeviceDefinition device;
    MemoryImage image;
    RecordingUi ui;
    ProgrammerLink link{library, clock, device, image};
};

}  // namespace velkaro::test
