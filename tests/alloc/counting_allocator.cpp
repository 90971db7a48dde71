// counting_allocator: malloc and friends, counted, on the C library's own
// allocator (see counting_allocator.h). Built with -fno-builtin, so that the
// compiler does not treat these definitions as the functions it knows.
#include "counting_allocator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace alloc_count {

namespace {

struct counts {
    std::atomic<long> allocations;
    std::atomic<std::size_t> sizes[KEPT_SIZES];
};
static_assert(std::atomic<long>::is_always_lock_free);

counts private_counts;
counts* shared = &private_counts;
bool armed = false;  // per process: a fork copies it, a child may set its own

void note(std::size_t size) {
    if (!armed) return;
    const long n = shared->allocations.fetch_add(1);
    if (n < KEPT_SIZES) shared->sizes[n] = size;
}

}  // namespace

void share() {
    void* area = mmap(nullptr, sizeof(counts), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) return;  // counts stay private: total() then shows 0 for children
    shared = new (area) counts{};
}

void arm() { armed = true; }

long total() { return shared->allocations.load(); }

std::size_t size_of(int i) { return i >= 0 && i < KEPT_SIZES ? shared->sizes[i].load() : 0; }

}  // namespace alloc_count

extern "C" {

void* malloc(std::size_t size) noexcept {
    alloc_count::note(size);
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    alloc_count::note(count * size);
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) noexcept {
    alloc_count::note(size);
    return __libc_realloc(block, size);
}

void free(void* block) noexcept { __libc_free(block); }

void* memalign(std::size_t alignment, std::size_t size) noexcept {
    alloc_count::note(size);
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    alloc_count::note(size);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    alloc_count::note(size);
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) return ENOMEM;
    *out = block;
    return 0;
}

void* valloc(std::size_t size) noexcept {
    alloc_count::note(size);
    return __libc_memalign(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), size);
}

}  // extern "C"
