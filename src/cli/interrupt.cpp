#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace velkaro::cli {
namespace {

// A signal handler can only reach static storage; a lock-free atomic is safe to set there.
std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    gInterrupted.store(true);
}

struct sigaction gPrevious;

}  // namespace

InterruptCancel::InterruptCancel() {
    gInterrupted.store(false);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &gPrevious);
}

InterruptCancel::~InterruptCancel() {
    sigaction(SIGINT, &gPrevious, nullptr);
}

bool InterruptCancel::requested() {
    return gInterrupted.load();
}

void InterruptCancel::requestForTest() {
    gInterrupted.store(true);
}

}  // namespace velkaro::cli
