#pragma once

#include <cstdint>
#include <string>

#include "link/serial_stream.h"

namespace velkaro::test {

// A serial link that breaks: bytes pass to and from `inner` until the host has sent
// `framesBefore` frames (each write is one frame); from then on the line goes silent, turns
// every reply into noise, cuts each reply after its first bytes, or the port itself fails.
// A broken link stays broken, across reopening too, as an unplugged cable does.
class FaultyStream : public SerialStream {
public:
    enum class Fault { None, Silence, Garbage, Cut, Disconnect };

    explicit FaultyStream(SerialStream& inner) : mInner(inner) {}

    void breakAfter(Fault fault, int64_t framesBefore) {
        mFault = fault;
        mFramesBefore = framesBefore;
    }
    int64_t framesSent() const { return mFrames; }
    bool broken() const { return mFault != Fault::None && mFrames > mFramesBefore; }

    bool open(const std::string& path, int baud) override {
        if (broken() && mFault == Fault::Disconnect)
            return fail(path + ": no such device");
        return mInner.open(path, baud) || fail(mInner.error());
    }
    void close() override { mInner.close(); }
    bool isOpen() const override { return mInner.isOpen(); }

    bool write(const uint8_t* data, size_t size) override {
        ++mFrames;
        if (broken() && mFault == Fault::Disconnect)
            return fail("write failed: the device went away");
        // Silenced or garbled replies still let the board hear the host (a POWER_OFF
        // among it).
        return mInner.write(data, size) || fail(mInner.error());
    }

    int read(uint8_t* data, size_t size, int timeoutMs) override {
        if (!broken())
            return mInner.read(data, size, timeoutMs);
        switch (mFault) {
            case Fault::Silence:
                return 0;
            case Fault::Garbage: {
                const int n = mInner.read(data, size, timeoutMs);
                for (int i = 0; i < n; ++i)
                    data[i] = static_cast<uint8_t>(data[i] ^ 0x5A);
                return n;
            }
            case Fault::Cut: {
                // The first two bytes of whatever comes, then nothing.
                if (mCutLeft == 0)
                    return 0;
                const int n = mInner.read(data, size < mCutLeft ? size : mCutLeft, timeoutMs);
                if (n > 0)
                    mCutLeft -= static_cast<size_t>(n);
                return n;
            }
            case Fault::Disconnect:
                fail("read failed: the device went away");
                return -1;
            case Fault::None:
                break;
        }
        return mInner.read(data, size, timeoutMs);
    }

private:
    SerialStream& mInner;
    Fault mFault = Fault::None;
    int64_t mFramesBefore = 0;
    int64_t mFrames = 0;
    size_t mCutLeft = 2;
};

}  // namespace velkaro::test
