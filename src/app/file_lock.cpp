#include "app/file_lock.h"

#include <cerrno>
#include <cstring>

#include "link/clock.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace velkaro {

FileLock::~FileLock() {
    release();
}

void FileLock::release() {
#if defined(__unix__) || defined(__APPLE__)
    if (mFd >= 0)
        ::close(mFd);  // closing drops the lock
#endif
    mFd = -1;
}

bool FileLock::acquire(const std::string& path, Clock& clock, int waitMs, std::string& error) {
    release();
#if defined(__unix__) || defined(__APPLE__)
    const std::string lock = lockPath(path);
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot lock \"" + path + "\": " + lock + ": " + std::strerror(errno);
        return false;
    }
    constexpr int kPauseMs = 20;
    for (int waited = 0;; waited += kPauseMs) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            mFd = fd;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = "cannot lock \"" + path + "\": " + std::strerror(errno);
            break;
        }
        if (waited >= waitMs) {
            error = "\"" + path + "\" is in use by another velkaro process (" + lock +
                    " is locked); try again when it has finished";
            break;
        }
        clock.sleepMilliseconds(kPauseMs);
    }
    ::close(fd);
    return false;
#else
    (void)path;
    (void)clock;
    (void)waitMs;
    (void)error;
    return true;
#endif
}

}  // namespace velkaro
