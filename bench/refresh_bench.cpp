// How long the main window takes to rebuild its listings from the image: a 64 K-word
// program memory (8192 lines) and 1 KiB of data memory, on the offscreen platform.
#include <QApplication>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

#include "app/workspace.h"
#include "ui/dialogs.h"
#include "ui/main_form.h"

namespace {

void BM_RefreshImageView64KWords(benchmark::State& state) {
    velkaro::Workspace workspace(".");
    velkaro::QtDialogs dialogs;
    velkaro::TMainForm form(workspace, dialogs, {});
    form.show();
    form.FormActivate();  // start-up done: nothing reselects the device below
    workspace.device.ProgSize = 0x10000;
    workspace.device.EpromSize = 1024;
    workspace.image.ResizeImage(workspace.device);
    for (size_t i = 0; i < workspace.image.ProgMemory.size(); ++i)
        workspace.image.ProgMemory[i] = static_cast<uint16_t>(i * 7);
    for (auto _ : state) {
        form.RefreshImageView();
        QCoreApplication::processEvents();  // the one redraw
    }
    state.counters["lines"] = form.ProgDisp->blockCount();
    state.counters["words"] = double(workspace.image.ProgMemory.size());
}
BENCHMARK(BM_RefreshImageView64KWords)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
