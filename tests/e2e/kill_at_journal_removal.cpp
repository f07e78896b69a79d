// Preloaded into the program by journal.sh (LD_PRELOAD): removing the journal, which a logout
// does right after its data file took the name, ends the program there as SIGKILL or a power
// failure would, so the test sees what the next start finds in that state.

#include <csignal>
#include <dlfcn.h>
#include <string_view>
#include <unistd.h>

extern "C" int unlink(const char* path) noexcept {
    if (std::string_view(path).ends_with(".journal")) {
        ::raise(SIGKILL);
    }
    using Unlink = int (*)(const char*);
    static const auto real = reinterpret_cast<Unlink>(::dlsym(RTLD_NEXT, "unlink"));
    return real(path);
}
