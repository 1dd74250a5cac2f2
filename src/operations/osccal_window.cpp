#include "operations/osccal_window.h"

#include <filesystem>

#include "app/open_image_file.h"
#include "app/paths.h"
#include "image/listing.h"
#include "operations/erase_device.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/write_device.h"

namespace velkaro {
namespace {

constexpr uint32_t kOscSettleMs = 100;

// The programmer measures the chip running on VCC alone (VPP stays off, so the chip runs
// its program rather than entering programming mode).
OscFrequency readFrequency(Workspace& ws) {
    ProgrammerLink& link = *ws.link;
    ProgrammerLibrary& lib = link.library();
    if (lib.SOpen(link.portIndex() + 1) == 0)
        return 0;
    OscFrequency f = 0;
    const int32_t vcc = ws.device.VccType < 0 ? 0 : ws.device.VccType;
    if (lib.SVccOn(vcc) != 0 && link.WaitAck()) {
        link.clock().sleepMilliseconds(kOscSettleMs);
        if (lib.SCheckOSC() != 0) {
            link.clock().sleepMilliseconds(kOscSettleMs);
            std::string answer;
            if (link.ReadAnswer(answer))
                f = ParseHex(answer);
        }
    }
    const bool off = lib.SPowerOff() != 0;
    const bool closed = lib.SClose() != 0;
    // A count from a session that did not end as it should is not the chip's.
    if (!off || !closed || !lib.linkFault().empty())
        return 0;
    return f;
}

void setStatus(OperationUi& ui, OscCalView& view, std::string_view text) {
    view.status = text;
    ui.setStatusText(text);
}

}  // namespace

OscCalStart startOscCalibration(Workspace& workspace, OperationUi& ui) {
    if (!ui.askOkCancel(msg::kOscCalLoadQuestion))
        return OscCalStart::Declined;
    const std::string name = std::filesystem::path(workspace.device.OscCalFile).filename().string();
    const std::string path = joinPath(workspace.catalogue.dataDir(), name);
    return OpenImageFile(workspace, path, ui).loaded() ? OscCalStart::Ready
                                                       : OscCalStart::NotLoaded;
}

void measureOscillator(Workspace& workspace, OperationUi& ui, OscCalView& view) {
    const ops::LinkUiScope uiScope(*workspace.link, ui);
    MemoryImage& image = workspace.image;
    setStatus(ui, view, msg::kOscCalMeasuring);
    view.okEnabled = false;

    const bool calibrationRead = workspace.link->ReadCalibrationWords();
    const std::string current = wordText(image.OscCalValue);
    view.mainOscCal = current;
    view.curOsc = current;
    view.newOscCal = current;
    view.mainBg = wordText(image.BGValue);

    const OscFrequency f = calibrationRead ? readFrequency(workspace) : 0;
    view.frequency = f;
    view.oscVal = oscFrequencyText(f);
    view.oscDiff = oscErrorText(f);
    if (f == 0) {
        setStatus(ui, view, msg::kOscCalNeedsUpdate);
        ui.showMessage(msg::kOscCalCannotMeasure);
        view.okEnabled = true;
        return;
    }
    const auto cur = static_cast<uint16_t>(ParseHex(view.curOsc));
    const OscRecommendation advice = recommendOscCal(workspace.device, cur, f);
    setStatus(ui, view, advice.status);
    view.newOscCal = wordText(advice.value);
    view.okEnabled = true;
}

ResultCode updateOscCal(Workspace& workspace, OperationUi& ui, OscCalView& view) {
    const ops::LinkUiScope uiScope(*workspace.link, ui);
    view.okEnabled = false;
    workspace.image.OscCalValue = static_cast<uint16_t>(ParseHex(view.newOscCal));
    eraseDevice(workspace, ui, EraseScope::All);
    const ResultCode written = WriteDevice(workspace, ui, true, false, true);
    ui.setProgress(0);
    measureOscillator(workspace, ui, view);
    view.okEnabled = true;
    return uiScope.checked(written);
}

}  // namespace velkaro
