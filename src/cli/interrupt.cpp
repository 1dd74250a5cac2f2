#include "cli/interrupt.h"

#include <atomic>
#include <csignal>
#include <iterator>

namespace velkaro::cli {
namespace {

// A signal handler can only reach static storage; a lock-free atomic is safe to set there.
std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    gInterrupted.store(true);
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gPrevious[std::size(kSignals)];

}  // namespace

InterruptCancel::InterruptCancel() {
    gInterrupted.store(false);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &action, &gPrevious[i]);
}

InterruptCancel::~InterruptCancel() {
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &gPrevious[i], nullptr);
}

bool InterruptCancel::requested() {
    return gInterrupted.load();
}

void InterruptCancel::requestForTest() {
    gInterrupted.store(true);
}

}  // namespace velkaro::cli
