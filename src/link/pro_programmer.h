#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/programmer_library.h"
#include "link/serial_stream.h"

namespace velkaro {

// The intelligent programmer ("VKR-20 PRO") over its serial port: every library call becomes
// an operation of the wire protocol in docs/pro-protocol.md. Operations without a result are
// collected into frames and sent without waiting (at most two frames in flight, so the
// board's receive buffer never overflows); a call that needs a result sends the frame and
// waits for its reply — the only round trips. The link's waits reach the board as delay
// operations through queueDelay(), so the board keeps them between the very operations they
// separate.
//
// A reply that does not come, comes garbled (CRC, sequence number, length) or reports a bad
// frame ends the session: the programmer is asked to switch off, the port is closed, and
// every later call fails until the port is opened again.
class ProProgrammer : public ProgrammerLibrary, private DeferredReads {
public:
    static constexpr int kBaud = 1000000;

    // `portPath(n)` names the device of port n (1..9); empty when none is set up.
    ProProgrammer(SerialStream& stream, std::function<std::string(int)> portPath);
    ~ProProgrammer() override;

    // Why the last SOpen failed or the session ended; empty while all is well.
    const std::string& lastError() const { return mError; }
    bool sessionOpen() const { return mOpen; }
    // A wait of the link, sent to the board as delay operations.
    void queueDelay(uint64_t microseconds);
    // Bytes sent and received, round trips, sessions opened and the waits sent to the board;
    // for the speed figures.
    uint64_t bytesSent() const { return mBytesSent; }
    uint64_t bytesReceived() const { return mBytesReceived; }
    uint64_t roundTrips() const { return mRoundTrips; }
    uint64_t sessions() const { return mSessions; }
    uint64_t delayedMicroseconds() const { return mDelayedUs; }

    int32_t SOpen(int32_t port) override;
    int32_t SClose() override;
    int32_t SSetMode(int32_t mode) override;
    int32_t SVccOn(int32_t type) override;
    int32_t SVppOn(int32_t type) override;
    int32_t SPowerOff() override;
    int32_t SCheckPower() override;
    int32_t SCheckOSC() override;
    int32_t SSendCmd(int32_t code) override;
    int32_t SGetc() override;
    int32_t SSetLED(int32_t position) override;
    int32_t SSetPGC(int32_t level) override;
    int32_t SSetPGD(int32_t level) override;
    int32_t SWriteBit(int32_t value, int32_t count) override;
    int32_t SWriteWord(int32_t word) override;
    int32_t SReadWord() override;
    int32_t SReadBit(int32_t count) override;
    DeferredReads* deferredReads() override { return this; }
    std::string linkFault() const override { return mError; }

private:
    void queueReadWord() override;
    void queueReadBits(int32_t count) override;
    int32_t takeRead() override;

    struct InFlight {
        uint8_t sequence;
        size_t resultBytes;
        uint64_t delayUs;
    };

    // Adds an operation to the frame being built (sending the frame first when full). An
    // operation with results becomes the newest of the pending reads.
    bool queue(std::initializer_list<uint8_t> operation, size_t resultBytes = 0);
    // Sends the frame being built; waits for replies while two frames are in flight.
    bool send();
    // Sends the frame being built and waits for every reply.
    bool exchange();
    // Receives the oldest frame in flight's reply into the result stream.
    bool receiveOldest();
    bool receiveReply(const InFlight& frame, std::vector<uint8_t>& results);
    // The result bytes of the pending read `index` (0 = oldest), fetched as far as needed;
    // they leave the result stream. Empty after a failure.
    std::vector<uint8_t> takeResults(size_t index);
    std::vector<uint8_t> takeNewest() { return takeResults(mPendingReads.size() - 1); }
    // The opcode of the operation `back` places from the newest (0: the newest) in the
    // frame being built; 0 when there is none.
    uint8_t operationAt(size_t back) const;
    // Folds the frame's newest operations into a run of reads where they make one: read
    // command, READ_WORD, then `stepCommand`; or a 4-bit command, 8 bits of 0, then the 8-bit
    // read. True when folded (the step or the read is then part of the run).
    bool foldReadRun(uint8_t stepCommand);
    bool foldShiftRun();
    // Two 6-bit commands and a data word, repeated, go as one run of writes.
    bool foldWriteRun(uint8_t low, uint8_t high);
    // A 4-bit command and its operand after the same command with its operand go as one run
    // of core instructions (firmware 1.03 on); the command is the frame's newest operation.
    bool foldCoreRun(uint8_t low, uint8_t high);
    // PGC up and straight down again while the board drives PGD low (after SET_PGD 0 in
    // this frame, with only clocks since) is a bit of 0 written: the falling edge makes the
    // frame's newest SET_PGC 1 a WRITE_N of 0, or one bit more of the WRITE_N before it (the
    // first clocks of the PIC18 programming pulse's NOP).
    bool foldClock();
    bool readExact(uint8_t* data, size_t size, int timeoutMs);
    void fail(std::string why);
    void answer(const std::string& text);
    // One operation with a result, sent at once: its result bytes (empty after a failure).
    std::vector<uint8_t> ask(std::initializer_list<uint8_t> operation, size_t resultBytes);

    SerialStream& mStream;
    std::function<std::string(int)> mPortPath;
    std::string mError;
    bool mOpen = false;
    bool mCoreRuns = false;  // the firmware takes CORE_RUN
    uint8_t mSequence = 0;
    std::vector<uint8_t> mPayload;
    std::vector<size_t> mOperations;  // where each operation of mPayload starts
    size_t mPayloadResults = 0;
    std::deque<size_t> mPendingReads;  // result bytes of each operation not yet taken
    std::deque<uint8_t> mResults;      // results received and not yet taken, in order
    uint64_t mPayloadDelayUs = 0;
    std::deque<InFlight> mInFlight;
    std::deque<int32_t> mAnswer;
    uint64_t mBytesSent = 0;
    uint64_t mBytesReceived = 0;
    uint64_t mRoundTrips = 0;
    uint64_t mSessions = 0;
    uint64_t mDelayedUs = 0;
};

}  // namespace velkaro
