#include "sim/simulated_lines.h"

namespace velkaro::sim {

SimulatedLines::SimulatedLines(PinTarget& target, Clock& clock, LineAssignment wiring)
    : mTarget(target), mClock(clock), mWiring(wiring) {}

std::string SimulatedLines::checkLeftSafe() const {
    std::string left;
    auto add = [&](const char* what) {
        if (!left.empty())
            left += ", ";
        left += what;
    };
    if (mTarget.vdd())
        add("VDD on");
    if (mTarget.vpp())
        add("VPP on");
    if (mOpen)
        add("port open");
    return left;
}

bool SimulatedLines::call() {
    if (!mOpen)
        return fail("the port is not open");
    ++mCalls;
    if (mFaults.connectionLostAfterCalls >= 0 && mCalls > mFaults.connectionLostAfterCalls) {
        // The adapter is gone: its lines drop and the circuit loses its supply.
        mTxd = mDtr = mRts = false;
        applyPins();
        mTarget.setVdd(false, mClock.nowMicroseconds());
        mOpen = false;
        return fail("the serial adapter stopped answering (unplugged?)");
    }
    mClock.waitUntilMicroseconds(mClock.nowMicroseconds() + mCallUs);
    return true;
}

bool SimulatedLines::level(PortLine line) const {
    switch (line) {
        case PortLine::Txd:
            return mTxd;
        case PortLine::Dtr:
            return mDtr;
        case PortLine::Rts:
            return mRts;
        default:
            return false;
    }
}

bool SimulatedLines::active(const LinePin& pin) const {
    return level(pin.line) != pin.inverted;
}

// The circuit: supplies first, then data, then the clock, so data that changes in the same
// call as a rising clock edge is set up before it.
void SimulatedLines::applyPins() {
    const uint64_t now = mClock.nowMicroseconds();
    const bool vdd = mOpen && !mFaults.nothingAttached &&
                     (mWiring.vdd.line == PortLine::None || active(mWiring.vdd));
    const bool vpp =
        mOpen && !mFaults.nothingAttached && !mFaults.vppMissing && active(mWiring.vpp);
    const bool attached = mOpen && !mFaults.nothingAttached;
    if (!vpp && mTarget.vpp())
        mTarget.setVpp(false, now);
    if (vdd != mTarget.vdd())
        mTarget.setVdd(vdd, now);
    if (vpp && !mTarget.vpp()) {
        // The circuit's VPP is what the port's TXD swing and the diodes leave: about 13 V,
        // whatever another programmer on the same socket set before.
        mTarget.setVppVolts(13.0);
        mTarget.setVpp(true, now);
    }
    const bool pgd = attached && active(mWiring.pgdOut);
    if (pgd != mTarget.programmerPgd())
        mTarget.setPgd(pgd, now);
    const bool pgc = attached && active(mWiring.pgc);
    if (pgc != mTarget.pgc())
        mTarget.setPgc(pgc, now);
}

bool SimulatedLines::open(const std::string& path) {
    if (mOpen)
        close();
    if (mFaults.portWillNotOpen)
        return fail("cannot open " + path + ": no such device");
    if (mFaults.noModemLines)
        return fail(path + " cannot drive its modem lines (DTR, RTS)");
    mOpen = true;
    mCalls = 0;
    mTxd = mDtr = mRts = false;
    applyPins();
    return true;
}

void SimulatedLines::close() {
    mTxd = mDtr = mRts = false;
    applyPins();
    mOpen = false;
    applyPins();
}

bool SimulatedLines::setBreak(bool on) {
    if (!call())
        return false;
    mTxd = on;
    applyPins();
    return true;
}

bool SimulatedLines::setDtr(bool on) {
    if (!call())
        return false;
    mDtr = on;
    applyPins();
    return true;
}

bool SimulatedLines::setRts(bool on) {
    if (!call())
        return false;
    mRts = on;
    applyPins();
    return true;
}

bool SimulatedLines::setDtrRts(bool dtr, bool rts) {
    if (!call())
        return false;
    mDtr = dtr;
    mRts = rts;
    applyPins();
    return true;
}

bool SimulatedLines::readInputs(SerialInputs& inputs) {
    if (!call())
        return false;
    inputs = {};
    if (mFaults.nothingAttached)
        return true;
    bool pgd = mTarget.pgd(mClock.nowMicroseconds());
    if (mFaults.pgdInStuckAt)
        pgd = *mFaults.pgdInStuckAt;
    const bool line = pgd != mWiring.pgdIn.inverted;
    switch (mWiring.pgdIn.line) {
        case PortLine::Cts:
            inputs.cts = line;
            break;
        case PortLine::Dsr:
            inputs.dsr = line;
            break;
        case PortLine::Dcd:
            inputs.dcd = line;
            break;
        case PortLine::Ri:
            inputs.ri = line;
            break;
        default:
            break;
    }
    return true;
}

}  // namespace velkaro::sim
