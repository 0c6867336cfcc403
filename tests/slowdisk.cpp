// A slow or flaky disk for the program it is preloaded into. Every flush (fsync, fdatasync)
// first waits TK_FLUSH_MS milliseconds, as an old laptop's disk or a busy memory card does,
// and up to TK_FLUSH_JITTER_MS more at random. TK_FLUSH_FAIL: "folders" fails every flush
// of a folder; a number fails that percentage of all flushes at random. TK_FLUSH_CONTROL
// names a file whose first byte, read at each flush, overrides both: 'g' a good disk (no
// wait, no failure), 'f' every flush failing, anything else as the variables say.
// TK_FLUSH_LOG names a file that gets, in order, "begin N" as a game record of N calls
// starts its flush and "placed N" once a record has taken the record's name.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
long number(const char *name)
{
    const char *text = std::getenv(name);
    return text ? std::atol(text) : 0L;
}

void pause(long ms)
{
    timespec wait{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

char control()
{
    const char *path = std::getenv("TK_FLUSH_CONTROL");
    if (!path)
        return 0;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    char mode = 0;
    if (fd >= 0) {
        if (::read(fd, &mode, 1) != 1)
            mode = 0;
        ::close(fd);
    }
    return mode;
}

unsigned chance()
{
    static thread_local unsigned seed = unsigned(pthread_self()) ^ unsigned(getpid());
    return unsigned(rand_r(&seed));
}

// The count of calls of the game record open at fd or at path ("called N"), or -1.
long calledIn(int fd)
{
    char text[512] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return -1;
    const char *at = std::strstr(text, "\ncalled ");
    return at ? std::atol(at + 8) : -1;
}

bool isRecordTemporary(int fd)
{
    char link[64];
    char path[4096] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    return n > 0 && std::strstr(path, "game.txt.new") != nullptr;
}

void note(const char *what, long called)
{
    const char *path = std::getenv("TK_FLUSH_LOG");
    if (!path || called < 0)
        return;
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%s %ld\n", what, called);
    [[maybe_unused]] const ssize_t written = ::write(fd, line, size_t(n)); // one append: never torn
    ::close(fd);
}

// Waits as the disk would; false when this flush is to fail.
bool flushes(int fd)
{
    if (isRecordTemporary(fd))
        note("begin", calledIn(fd));
    const char mode = control();
    if (mode == 'g')
        return true;
    if (mode == 'f')
        return false;
    const long jitter = number("TK_FLUSH_JITTER_MS");
    pause(number("TK_FLUSH_MS") + (jitter > 0 ? long(chance() % unsigned(jitter + 1)) : 0));
    const char *fail = std::getenv("TK_FLUSH_FAIL");
    if (!fail)
        return true;
    if (std::strcmp(fail, "folders") == 0) {
        struct stat info {};
        return ::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode);
    }
    return long(chance() % 100) >= std::atol(fail);
}

template<typename F> F real(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int fsync(int fd)
{
    static const auto next = real<int (*)(int)>("fsync");
    if (!flushes(fd)) {
        errno = EIO;
        return -1;
    }
    return next(fd);
}

extern "C" int fdatasync(int fd)
{
    static const auto next = real<int (*)(int)>("fdatasync");
    if (!flushes(fd)) {
        errno = EIO;
        return -1;
    }
    return next(fd);
}

extern "C" int rename(const char *from, const char *to)
{
    static const auto next = real<int (*)(const char *, const char *)>("rename");
    const int result = next(from, to);
    const std::size_t length = std::strlen(to);
    if (result == 0 && length >= 8 && std::strcmp(to + length - 8, "game.txt") == 0) {
        const int fd = ::open(to, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            note("placed", calledIn(fd));
            ::close(fd);
        }
    }
    return result;
}
