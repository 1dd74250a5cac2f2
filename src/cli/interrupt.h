#pragma once

namespace velkaro::cli {

// While an object of this class lives, Ctrl-C (SIGINT) does not end the program but asks
// the running operation to cancel: it stops at its next word and switches the target off.
// The previous handler comes back when the object goes.
class InterruptCancel {
public:
    InterruptCancel();
    ~InterruptCancel();
    InterruptCancel(const InterruptCancel&) = delete;
    InterruptCancel& operator=(const InterruptCancel&) = delete;

    // True once Ctrl-C was pressed (or requestForTest() called) since construction.
    static bool requested();
    static void requestForTest();
};

}  // namespace velkaro::cli
