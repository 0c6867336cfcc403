// A slow disk for the program it is preloaded into: every flush (fsync, fdatasync) first
// waits TK_FLUSH_MS milliseconds, as an old laptop's disk or a busy memory card does.
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>

namespace {
void wait()
{
    static const long ms = [] {
        const char *text = std::getenv("TK_FLUSH_MS");
        return text ? std::atol(text) : 0L;
    }();
    timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0) {
    }
}

template<typename F> F real(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int fsync(int fd)
{
    static const auto next = real<int (*)(int)>("fsync");
    wait();
    return next(fd);
}

extern "C" int fdatasync(int fd)
{
    static const auto next = real<int (*)(int)>("fdatasync");
    wait();
    return next(fd);
}
