// sched.cpp (web): the one scheduling call the intro makes that Emscripten's C library lacks. The module
// loader asks for idle priority on its helper thread; a page starts no threads, and a refusal is a result
// the loader already takes (it keeps the default priority).
#include <cerrno>
#include <sched.h>

extern "C" int sched_setscheduler(pid_t, int, const sched_param*) {
    errno = ENOSYS;
    return -1;
}
