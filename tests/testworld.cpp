// Every unit test runs in a world of its own: HOME and the XDG folders are those of a new
// temporary folder, whatever the environment names, and the session bus and the sound
// server are out of reach, so that no test reads or writes the host's own game, settings
// or desktop. Linked into every unit test and set up before main, so before Qt reads any
// of them; removed at exit. A test's own child processes share its world.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int removeOne(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path) == 0 || errno == ENOENT ? 0 : -1;
}

struct TestWorld
{
    std::string root;

    TestWorld()
    {
        if (std::getenv("TK_TEST_WORLD"))
            return; // a test's child, in its parent's world
        const char *tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/tk-test-world-XXXXXX";
        if (!::mkdtemp(name.data())) {
            std::perror("no world of its own for the test");
            std::exit(1);
        }
        root = name;
        const std::string home = root + "/home";
        for (const std::string &folder : {home, home + "/.config", home + "/.cache", home + "/.local",
                                          home + "/.local/share", home + "/.local/state", root + "/runtime"})
            ::mkdir(folder.c_str(), 0700);
        ::setenv("TK_TEST_WORLD", root.c_str(), 1);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
        // Nothing listens there: no test reaches the host's desktop or speakers.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + "/no-bus").c_str(), 1);
        ::setenv("PULSE_SERVER", ("unix:" + root + "/no-sound-server").c_str(), 1);
    }

    ~TestWorld()
    {
        if (!root.empty())
            ::nftw(root.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
    }
};

const TestWorld world;
} // namespace
