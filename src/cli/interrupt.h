#pragma once

namespace velkaro::cli {

// While an object of this class lives, Ctrl-C (SIGINT), SIGTERM and SIGHUP (a closed
// terminal, a system shutting down) do not end the program but ask the running operation to
// cancel: it stops at its next word, switches the target off and closes the port. The
// previous handlers come back when the object goes.
class InterruptCancel {
public:
    InterruptCancel();
    ~InterruptCancel();
    InterruptCancel(const InterruptCancel&) = delete;
    InterruptCancel& operator=(const InterruptCancel&) = delete;

    // True once one of the signals came (or requestForTest() was called) since construction.
    static bool requested();
    static void requestForTest();
};

}  // namespace velkaro::cli
