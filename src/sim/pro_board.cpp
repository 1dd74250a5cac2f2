#include "sim/pro_board.h"

#include <algorithm>
#include <cmath>

#include "core/board.h"

namespace velkaro::sim {

ProBoard::ProBoard(PinTarget& target, Clock& clock)
    : mTarget(target),
      mClock(clock),
      mHal(std::make_unique<vkr_hal>()),
      mBoard(std::make_unique<vkr_board>()) {
    *mHal = vkr_hal{this,     &setVdd, &setVpp,     &setVppLevel, &targetPowered,
                    &setPgc,  &setPgd, &releasePgd, &readPgd,     &setLed,
                    &delayUs, &micros, &uartRead,   &uartWrite,   &countOscEdges};
    vkr_board_init(mBoard.get(), mHal.get());
}

ProBoard::~ProBoard() = default;

void ProBoard::receive(uint8_t byte) {
    mToBoard.push_back(byte);
}

void ProBoard::receive(std::span<const uint8_t> bytes) {
    mToBoard.insert(mToBoard.end(), bytes.begin(), bytes.end());
}

bool ProBoard::transmit(uint8_t& byte) {
    if (mToHost.empty())
        return false;
    byte = mToHost.front().byte;
    mToHost.pop_front();
    return true;
}

std::optional<uint64_t> ProBoard::nextByteArrivesUs() const {
    if (mToHost.empty())
        return std::nullopt;
    return mToHost.front().arrivesUs;
}

void ProBoard::spend(uint32_t ns) {
    mSpentNs += ns;
    if (mSpentNs < 1000)
        return;
    mClock.waitUntilMicroseconds(mClock.nowMicroseconds() + mSpentNs / 1000);
    mSpentNs %= 1000;
}

uint64_t ProBoard::nowNs() {
    return mClock.nowMicroseconds() * 1000 + mSpentNs;
}

void ProBoard::poll() {
    vkr_board_poll(mBoard.get());
}

void ProBoard::reset() {
    mToBoard.clear();
    vkr_board_init(mBoard.get(), mHal.get());
}

void ProBoard::setVdd(void* ctx, bool on) {
    ProBoard& b = self(ctx);
    b.mTarget.setVddNs(on, b.nowNs());
}

void ProBoard::setVpp(void* ctx, bool on) {
    ProBoard& b = self(ctx);
    b.mTarget.setVppNs(on, b.nowNs());
}

void ProBoard::setVppLevel(void* ctx, uint8_t level) {
    ProBoard& b = self(ctx);
    b.mVppVolts = level == VKR_VPP_13V ? 13.0 : level == VKR_VPP_12V ? 12.0 : 8.5;
    b.mTarget.setVppVolts(b.mVppVolts);
}

// The core asks after every operation, so the operation's dispatch is charged here.
bool ProBoard::targetPowered(void* ctx) {
    ProBoard& b = self(ctx);
    b.spend(kOpWorkNs);
    return b.mTarget.vdd() && b.mTarget.chip() != nullptr && !b.mShorted;
}

void ProBoard::setPgc(void* ctx, bool high) {
    ProBoard& b = self(ctx);
    b.spend(kPinStepNs);
    b.mTarget.setPgcNs(high, b.nowNs());
}

void ProBoard::setPgd(void* ctx, bool high) {
    ProBoard& b = self(ctx);
    b.spend(kPinStepNs);
    b.mTarget.setPgdNs(high, b.nowNs());
}

// Released, the line is held low by the circuit's pull-down unless the chip drives it.
// Every read of bits starts here: the call into the read loop and, after it, storing the
// result and going round the run's loop again.
void ProBoard::releasePgd(void* ctx) {
    self(ctx).spend(kReadCallNs);
    setPgd(ctx, false);
}

bool ProBoard::readPgd(void* ctx) {
    ProBoard& b = self(ctx);
    b.spend(kPinStepNs);
    return b.mTarget.pgdNs(b.nowNs());
}

void ProBoard::setLed(void* ctx, uint8_t position) {
    self(ctx).mLed = position;
}

void ProBoard::delayUs(void* ctx, uint16_t us) {
    Clock& clock = self(ctx).mClock;
    clock.waitUntilMicroseconds(clock.nowMicroseconds() + us);
}

uint32_t ProBoard::micros(void* ctx) {
    return static_cast<uint32_t>(self(ctx).mClock.nowMicroseconds());
}

int ProBoard::uartRead(void* ctx) {
    ProBoard& b = self(ctx);
    if (b.mToBoard.empty())
        return -1;
    const int byte = b.mToBoard.front();
    b.mToBoard.pop_front();
    b.spend(kByteWorkNs);
    return byte;
}

// The transmit ring takes the byte at once; it leaves when the bytes before it have gone.
void ProBoard::uartWrite(void* ctx, uint8_t byte) {
    ProBoard& b = self(ctx);
    b.spend(kByteWorkNs);
    b.mWireFreeUs = std::max(b.mWireFreeUs, b.mClock.nowMicroseconds()) + kByteUs;
    b.mToHost.push_back({byte, b.mWireFreeUs});
}

// The chip runs its program on VDD alone and puts its clock out on a pin the board counts.
uint32_t ProBoard::countOscEdges(void* ctx, uint32_t gateUs) {
    ProBoard& b = self(ctx);
    const SimChip* chip = b.mTarget.chip();
    double hz = 0.0;
    if (chip && b.mTarget.vdd() && !b.mTarget.vpp() && !b.mShorted)
        hz = chip->oscillatorHz();
    const uint64_t start = b.mClock.nowMicroseconds();
    b.mClock.waitUntilMicroseconds(start + gateUs);
    return static_cast<uint32_t>(std::floor(hz * gateUs / 1e6));
}

}  // namespace velkaro::sim
