#pragma once

#include <string>

namespace velkaro {

class Clock;

// An advisory lock that keeps two processes of ours from working on one file at once: it is
// taken on a companion file, PATH.lock, so that it outlives the renames that replace PATH on
// every save. Released when the object goes (or the process ends, however it ends).
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock for `path`, trying again for up to `waitMs` while another process holds
    // it (the pauses on `clock`). False, with `error` saying why, when it stays held or the
    // companion file cannot be made.
    bool acquire(const std::string& path, Clock& clock, int waitMs, std::string& error);
    bool held() const { return mFd >= 0; }
    void release();

    // The companion file of `path`.
    static std::string lockPath(const std::string& path) { return path + ".lock"; }

private:
    int mFd = -1;
};

}  // namespace velkaro
