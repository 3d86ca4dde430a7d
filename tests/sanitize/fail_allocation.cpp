// fail_allocation.cpp: preloaded into the program to refuse one allocation, the Nth from main() on.
//
//   ALLOC_FAIL_AT=N       refuse the Nth allocation (malloc, calloc, realloc, aligned forms, operator
//                         new); unset or 0 refuses none and only counts
//   ALLOC_FAIL_FRAMES=K   at the Kth present, report how many allocations came before it and send the
//                         process SIGTERM, which the program reads as a quit request
//   ALLOC_FAIL_CLOCK=S    the monotonic clock (its readings and the absolute sleeps on it) runs S times
//                         as fast, so the fades take less of the sweep
//   ALLOC_FAIL_STACK=1    print the refused request's stack (through the sanitizer runtime)
//
// Only the program's own threads count, from main() and from each thread's start routine on: what the
// runtime allocates while it sets a new thread up (the sanitizer's thread start, for one) is not the
// program's to handle.
//
// Reports go to standard error as lines starting "alloc-fail:". Allocations made while a report is
// written, or while the real functions are looked up, are neither counted nor refused; the few blocks
// released while free itself is looked up are kept.
#include <SDL.h>
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
long failAt = 0;
long framesWanted = 0;
long clockSpeed = 1;
std::atomic<long> frames{0};
// Initial-exec: the general TLS model may allocate on first use, from inside malloc.
__attribute__((tls_model("initial-exec"))) thread_local int hookDepth = 0;
__attribute__((tls_model("initial-exec"))) thread_local bool programCode = false;
bool printStack = false;

// While dlsym looks the real functions up it may allocate; those requests come from this block.
alignas(16) char bootstrap[4096];
size_t bootstrapUsed = 0;

bool inBootstrap(const void* block) {
    return block >= bootstrap && block < bootstrap + sizeof bootstrap;
}

void* bootstrapAllocate(size_t size) {
    size = (size + 15) & ~size_t{15};
    if (bootstrapUsed + size > sizeof bootstrap) return nullptr;
    void* block = bootstrap + bootstrapUsed;
    bootstrapUsed += size;
    return block;
}

template <class Function>
Function real(const char* name) {
    ++hookDepth;
    auto function = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
    --hookDepth;
    return function;
}

void report(const char* format, long a, long b) {
    ++hookDepth;
    char line[128];
    const int length = snprintf(line, sizeof line, format, a, b);
    if (length > 0) {
        const ssize_t written = write(STDERR_FILENO, line, static_cast<size_t>(length));
        (void)written;
    }
    --hookDepth;
}

// True when this request is the one to refuse.
bool refuse(size_t size) {
    if (hookDepth > 0 || !programCode || !counting.load(std::memory_order_relaxed)) return false;
    const long number = allocations.fetch_add(1) + 1;
    if (number != failAt) return false;
    report("\nalloc-fail: refused allocation %ld of %ld bytes\n", number, static_cast<long>(size));
    if (printStack && __sanitizer_print_stack_trace) {
        ++hookDepth;
        __sanitizer_print_stack_trace();
        --hookDepth;
    }
    // As the real allocator does: glibc's callers check it.
    errno = ENOMEM;
    return true;
}

long envNumber(const char* name, long fallback) {
    const char* text = getenv(name);
    return text && *text ? strtol(text, nullptr, 10) : fallback;
}

using MainFunction = int (*)(int, char**, char**);
MainFunction realMain = nullptr;

int countingMain(int argc, char** argv, char** envp) {
    failAt = envNumber("ALLOC_FAIL_AT", 0);
    framesWanted = envNumber("ALLOC_FAIL_FRAMES", 0);
    clockSpeed = envNumber("ALLOC_FAIL_CLOCK", 1);
    if (clockSpeed < 1) clockSpeed = 1;
    printStack = envNumber("ALLOC_FAIL_STACK", 0) != 0;
    programCode = true;
    counting = true;
    return realMain(argc, argv, envp);
}

struct ThreadStart {
    void* (*routine)(void*);
    void* argument;
};

void* startProgramThread(void* start) {
    const ThreadStart begin = *static_cast<ThreadStart*>(start);
    ++hookDepth;
    ::operator delete(start);
    --hookDepth;
    programCode = true;
    return begin.routine(begin.argument);
}

long long nanoseconds(const timespec& time) {
    return time.tv_sec * 1000000000LL + time.tv_nsec;
}

timespec fromNanoseconds(long long value) {
    timespec time{};
    time.tv_sec = static_cast<time_t>(value / 1000000000LL);
    time.tv_nsec = static_cast<long>(value % 1000000000LL);
    return time;
}

// The real monotonic time at which the fast clock starts: the first reading taken through either hook.
long long fastClockStart(long long realNow) {
    static const long long start = realNow;
    return start;
}

int realClockGettime(clockid_t clock, timespec* now) {
    using Function = int (*)(clockid_t, timespec*);
    static const Function function = real<Function>("clock_gettime");
    return function(clock, now);
}

}  // namespace

extern "C" {

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                   void* argument) {
    using Function = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Function function = real<Function>("pthread_create");
    ++hookDepth;
    auto* start = new (std::nothrow) ThreadStart{routine, argument};
    --hookDepth;
    if (!start) return EAGAIN;
    const int result = function(thread, attributes, startProgramThread, start);
    if (result != 0) {
        ++hookDepth;
        ::operator delete(start);
        --hookDepth;
    }
    return result;
}

int __libc_start_main(MainFunction main, int argc, char** argv, void (*init)(), void (*fini)(),
                      void (*rtldFini)(), void* stackEnd) {
    using Start = int (*)(MainFunction, int, char**, void (*)(), void (*)(), void (*)(), void*);
    static const Start start = real<Start>("__libc_start_main");
    realMain = main;
    return start(countingMain, argc, argv, init, fini, rtldFini, stackEnd);
}

void* malloc(size_t size) {
    using Function = void* (*)(size_t);
    static Function function = nullptr;
    if (!function) {
        if (hookDepth > 0) return bootstrapAllocate(size);
        function = real<Function>("malloc");
    }
    if (refuse(size)) return nullptr;
    return function(size);
}

void* calloc(size_t count, size_t size) {
    using Function = void* (*)(size_t, size_t);
    static Function function = nullptr;
    if (!function) {
        if (hookDepth > 0) return bootstrapAllocate(count * size);  // the block is still all zero
        function = real<Function>("calloc");
    }
    if (refuse(count * size)) return nullptr;
    return function(count, size);
}

void* realloc(void* block, size_t size) {
    using Function = void* (*)(void*, size_t);
    static const Function function = real<Function>("realloc");
    if (inBootstrap(block)) {
        void* moved = malloc(size);
        const size_t held = static_cast<size_t>(bootstrap + sizeof bootstrap - static_cast<char*>(block));
        if (moved) memcpy(moved, block, size < held ? size : held);
        return moved;
    }
    if (size != 0 && refuse(size)) return nullptr;
    return function(block, size);
}

void free(void* block) {
    using Function = void (*)(void*);
    static Function function = nullptr;
    if (inBootstrap(block)) return;
    if (!function) {
        if (hookDepth > 0) return;  // released by dlsym while free itself is looked up: kept
        function = real<Function>("free");
    }
    function(block);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    using Function = int (*)(void**, size_t, size_t);
    static const Function function = real<Function>("posix_memalign");
    if (refuse(size)) return ENOMEM;
    return function(result, alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    using Function = void* (*)(size_t, size_t);
    static const Function function = real<Function>("aligned_alloc");
    if (refuse(size)) return nullptr;
    return function(alignment, size);
}

void* memalign(size_t alignment, size_t size) {
    using Function = void* (*)(size_t, size_t);
    static const Function function = real<Function>("memalign");
    if (refuse(size)) return nullptr;
    return function(alignment, size);
}

int clock_gettime(clockid_t clock, struct timespec* now) {
    const int result = realClockGettime(clock, now);
    if (result != 0 || clockSpeed == 1 || clock != CLOCK_MONOTONIC) return result;
    // Time from the first reading on runs clockSpeed times as fast.
    const long long real = nanoseconds(*now);
    const long long start = fastClockStart(real);
    *now = fromNanoseconds(start + (real - start) * clockSpeed);
    return result;
}

// The wait between frames sleeps to an absolute time read from the fast clock: the sleep ends when the
// fast clock gets there. Left to the real clock, which falls further behind with every frame, each
// sleep would last longer than the one before.
int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request, struct timespec* remain) {
    using Function = int (*)(clockid_t, int, const struct timespec*, struct timespec*);
    static const Function function = real<Function>("clock_nanosleep");
    if (clockSpeed == 1 || clock != CLOCK_MONOTONIC || !(flags & TIMER_ABSTIME))
        return function(clock, flags, request, remain);
    timespec now{};
    if (realClockGettime(clock, &now) != 0) return function(clock, flags, request, remain);
    const long long start = fastClockStart(nanoseconds(now));
    const timespec target = fromNanoseconds(start + (nanoseconds(*request) - start) / clockSpeed);
    return function(clock, flags, &target, remain);
}

void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    using Function = void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32);
    static const Function function = real<Function>("SDL_UpdateRect");
    function(screen, x, y, w, h);
    if (framesWanted > 0 && frames.fetch_add(1) + 1 == framesWanted) {
        report("\nalloc-fail: %ld allocations before present %ld\n", allocations.load(), framesWanted);
        kill(getpid(), SIGTERM);
    }
}

}  // extern "C"

void* operator new(size_t size) {
    using Function = void* (*)(size_t);
    static const Function function = real<Function>("_Znwm");
    if (refuse(size)) throw std::bad_alloc();
    return function(size);
}

void* operator new[](size_t size) {
    using Function = void* (*)(size_t);
    static const Function function = real<Function>("_Znam");
    if (refuse(size)) throw std::bad_alloc();
    return function(size);
}

void* operator new(size_t size, const std::nothrow_t& tag) noexcept {
    using Function = void* (*)(size_t, const std::nothrow_t&);
    static const Function function = real<Function>("_ZnwmRKSt9nothrow_t");
    if (refuse(size)) return nullptr;
    return function(size, tag);
}

void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    using Function = void* (*)(size_t, const std::nothrow_t&);
    static const Function function = real<Function>("_ZnamRKSt9nothrow_t");
    if (refuse(size)) return nullptr;
    return function(size, tag);
}
