// Per-thread free lists for the small objects that every operation makes and
// drops (script objects and string handlers). Reusing a block saves a trip
// through the general allocator on the interpreter's hottest path. A block
// freed on another thread simply joins that thread's list. The lists are
// plain data, so they stay usable while a thread's other thread-locals are
// being destroyed; a guard returns the cached blocks when the thread ends.
// Sanitizer builds use the general allocator, so every use-after-free and
// leak stays visible to them.
#pragma once

#include <cstddef>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELKSCRIPT_POOL_DISABLED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZELKSCRIPT_POOL_DISABLED 1
#endif
#endif

namespace zelkscript {

template <size_t Size>
class BlockPool {
public:
    static void *allocate() {
#ifndef ZELKSCRIPT_POOL_DISABLED
        Cache &cache = cache_;
        if (cache.head) {
            void *block = cache.head;
            cache.head = *static_cast<void **>(block);
            --cache.count;
            return block;
        }
        if (!cache.guarded && !cache.dead) {
            cache.guarded = true;
            static thread_local Guard guard;
            (void)guard;
        }
#endif
        return ::operator new(Size);
    }

    static void release(void *block) noexcept {
#ifndef ZELKSCRIPT_POOL_DISABLED
        Cache &cache = cache_;
        if (!cache.dead && cache.count < kMaxCachedBlocks) {
            *static_cast<void **>(block) = cache.head;
            cache.head = block;
            ++cache.count;
            return;
        }
#endif
        ::operator delete(block);
    }

private:
    // Large enough for a copy of a 10,000-element vector to come from the
    // list. Blocks kept here were all in use at once a moment ago, so the
    // list never raises a thread's peak memory, it only holds on to it.
    static constexpr size_t kMaxCachedBlocks = 65536;
    static_assert(Size >= sizeof(void *));

    struct Cache {
        void *head;
        size_t count;
        bool guarded;
        bool dead;
    };
    struct Guard {
        ~Guard() {
            Cache &cache = cache_;
            cache.dead = true;
            while (cache.head) {
                void *next = *static_cast<void **>(cache.head);
                ::operator delete(cache.head);
                cache.head = next;
            }
            cache.count = 0;
        }
    };
    static thread_local Cache cache_;
};

template <size_t Size>
thread_local typename BlockPool<Size>::Cache BlockPool<Size>::cache_{nullptr, 0, false, false};

// Class-level operators for a pooled class.
#define ZELKSCRIPT_POOLED_CLASS(Class)                                                                        \
    static void *operator new(size_t size) {                                                                  \
        return size == sizeof(Class) ? ::zelkscript::BlockPool<sizeof(Class)>::allocate() : ::operator new(size); \
    }                                                                                                         \
    static void operator delete(void *block, size_t size) noexcept {                                          \
        if (size == sizeof(Class))                                                                            \
            ::zelkscript::BlockPool<sizeof(Class)>::release(block);                                           \
        else                                                                                                  \
            ::operator delete(block);                                                                         \
    }

} // namespace zelkscript
