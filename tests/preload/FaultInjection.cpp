// Preloaded into a freshly started test program (LD_PRELOAD) to make the system fail where a
// test says, so that the test sees how the program's real code paths take it: reads of a file,
// thread starts, and allocations. The test program steers it through the environment and the
// functions at the end, which it looks up at run time; see support/FaultInjection.h.
//
// PLANORA_FAIL_READS_OF=path: once the file at path has been read up to its last byte, every
// later read of it that reaches into its second half fails with EIO, as a failing disk does
// when a program reads a file a second time.
//
// Every operator new and delete that is not aligned goes through malloc and free.

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// --- Reads --------------------------------------------------------------------------------

struct Target {
    bool set = false;
    dev_t device = 0;
    ino_t inode = 0;
};

const Target& target() {
    static const Target t = [] {
        Target found;
        struct stat st {};
        const char* path = std::getenv("PLANORA_FAIL_READS_OF");
        if (path != nullptr && ::stat(path, &st) == 0)
            found = {true, st.st_dev, st.st_ino};
        return found;
    }();
    return t;
}

std::atomic<bool> readToItsEnd{false};

// The size of the file behind fd when it is the target; -1 otherwise.
off_t targetSize(int fd) {
    const Target& t = target();
    struct stat st {};
    if (!t.set || ::fstat(fd, &st) != 0 || st.st_dev != t.device || st.st_ino != t.inode)
        return -1;
    return st.st_size;
}

// Reads n bytes at offset through read, unless the read must fail.
template <typename Read>
ssize_t readOrFail(int fd, off_t offset, size_t n, Read read) {
    const off_t size = targetSize(fd);
    if (size >= 0 && readToItsEnd && offset + off_t(n) > size / 2) {
        errno = EIO;
        return -1;
    }
    const ssize_t got = read();
    if (size >= 0 && got > 0 && offset + got >= size)
        readToItsEnd = true;
    return got;
}

// --- Thread starts --------------------------------------------------------------------------

std::atomic<int> failStartsFrom{0}; // 0: no start fails
std::atomic<int> starts{0};
std::atomic<bool> newThreadsCannotAllocate{false};
std::atomic<void (*)(void*)> beforeStart{nullptr};
std::atomic<void*> beforeStartContext{nullptr};

// --- Allocations ----------------------------------------------------------------------------

thread_local bool cannotAllocate = false;
thread_local std::size_t failAllocationFrom = 0; // 0: none

void* allocate(std::size_t n) {
    if (cannotAllocate)
        throw std::bad_alloc();
    if (failAllocationFrom != 0 && n >= failAllocationFrom) {
        failAllocationFrom = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}

struct Start {
    void* (*routine)(void*);
    void* argument;
};

void* startWithoutAllocations(void* p) {
    const Start start = *static_cast<Start*>(p);
    std::free(p);
    cannotAllocate = true;
    return start.routine(start.argument);
}

} // namespace

extern "C" {

ssize_t pread(int fd, void* buffer, size_t n, off_t offset) {
    static const auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return readOrFail(fd, offset, n, [&] { return real(fd, buffer, n, offset); });
}

ssize_t pread64(int fd, void* buffer, size_t n, off64_t offset) {
    static const auto real = next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
    return readOrFail(fd, off_t(offset), n, [&] { return real(fd, buffer, n, offset); });
}

ssize_t read(int fd, void* buffer, size_t n) {
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    const off_t offset = targetSize(fd) >= 0 ? ::lseek(fd, 0, SEEK_CUR) : 0;
    return readOrFail(fd, offset, n, [&] { return real(fd, buffer, n); });
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                   void* argument) {
    static const auto real =
        next<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>("pthread_create");
    const int n = ++starts;
    if (const auto hook = beforeStart.load())
        hook(beforeStartContext.load());
    const int from = failStartsFrom.load();
    if (from > 0 && n >= from)
        return EAGAIN;
    if (!newThreadsCannotAllocate.load())
        return real(thread, attributes, routine, argument);
    auto* start = static_cast<Start*>(std::malloc(sizeof(Start)));
    if (start == nullptr)
        return EAGAIN;
    *start = {routine, argument};
    const int error = real(thread, attributes, startWithoutAllocations, start);
    if (error != 0)
        std::free(start);
    return error;
}

// The steering; each call that arms something resets what it arms.

// The next allocation through operator new of at least `bytes` on the calling thread throws
// std::bad_alloc, as when memory runs out.
void planoraFailNextAllocation(std::size_t bytes) {
    failAllocationFrom = bytes;
}

// Thread start n (counted from this call, 1 = the next) and every one after it fail with
// EAGAIN; 0 lets every start succeed again.
void planoraFailThreadStartsFrom(int n) {
    starts = 0;
    failStartsFrom = n;
}

// Threads started from now on fail every allocation through operator new.
void planoraNewThreadsCannotAllocate(bool on) {
    newThreadsCannotAllocate = on;
}

// Runs hook(context) at every thread start, before the thread is created; null for none.
void planoraBeforeThreadStart(void (*hook)(void*), void* context) {
    beforeStartContext = context;
    beforeStart = hook;
}

// Thread starts asked for since planoraFailThreadStartsFrom was last called.
int planoraThreadStarts() {
    return starts.load();
}

} // extern "C"

void* operator new(std::size_t n) {
    return allocate(n);
}
void* operator new[](std::size_t n) {
    return allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept {
    return operator new(n, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
