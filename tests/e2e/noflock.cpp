// Preloaded by the e2e tests: flock fails with ENOLCK, as on a file system that has no locks.
#include <cerrno>

extern "C" int flock(int, int) {
    errno = ENOLCK;
    return -1;
}
