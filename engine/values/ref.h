// Shared, reference-counted ownership for values, handlers and syntax-tree
// nodes. The count lives inside the object (one allocation, one pointer per
// reference). It is a plain integer, not an atomic one: every value and every
// tree belongs to one context, and a context is used by one thread at a time
// (the public header's rule), so two threads never hold references to the
// same object at once. A context handed from one thread to another passes
// through the host's own synchronisation, which orders the counts with it.
// Copying a reference is the interpreter's most frequent operation; a locked
// instruction on each copy and release cost more than any other single step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace zelkscript {

class RefCounted {
public:
    RefCounted() noexcept = default;
    RefCounted(const RefCounted &) noexcept : refCount_(0) {}
    RefCounted &operator=(const RefCounted &) noexcept { return *this; }
    virtual ~RefCounted() = default;

    void retainRef() const noexcept { ++refCount_; }
    void releaseRef() const noexcept {
        if (--refCount_ == 0) delete this;
    }
    // True when exactly one reference holds the object: the holder may then
    // change it in place without anyone else observing.
    bool hasSingleRef() const noexcept { return refCount_ == 1; }
    uint32_t refCount() const noexcept { return refCount_; }

private:
    mutable uint32_t refCount_ = 0;
};

// Ref<T>: a shared reference to a RefCounted T. An empty Ref is a legal value
// everywhere (a "null reference" in the language's terms).
template <class T>
class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    explicit Ref(T *raw) noexcept : ptr_(raw) { if (ptr_) ptr_->retainRef(); }
    Ref(const Ref &other) noexcept : ptr_(other.ptr_) { if (ptr_) ptr_->retainRef(); }
    Ref(Ref &&other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <class U>
    Ref(const Ref<U> &other) noexcept : ptr_(other.get()) { if (ptr_) ptr_->retainRef(); }
    template <class U>
    Ref(Ref<U> &&other) noexcept : ptr_(other.release()) {}
    ~Ref() { if (ptr_) ptr_->releaseRef(); }

    Ref &operator=(const Ref &other) noexcept {
        if (other.ptr_) other.ptr_->retainRef();
        T *old = std::exchange(ptr_, other.ptr_);
        if (old) old->releaseRef();
        return *this;
    }
    Ref &operator=(Ref &&other) noexcept {
        if (this != &other) {
            T *old = std::exchange(ptr_, std::exchange(other.ptr_, nullptr));
            if (old) old->releaseRef();
        }
        return *this;
    }
    Ref &operator=(std::nullptr_t) noexcept { reset(); return *this; }

    void reset() noexcept {
        if (T *old = std::exchange(ptr_, nullptr)) old->releaseRef();
    }
    // Gives up ownership without releasing; the caller now holds one count.
    T *release() noexcept { return std::exchange(ptr_, nullptr); }

    T *get() const noexcept { return ptr_; }
    T *operator->() const noexcept { return ptr_; }
    T &operator*() const noexcept { return *ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    friend bool operator==(const Ref &a, const Ref &b) noexcept { return a.ptr_ == b.ptr_; }
    friend bool operator==(const Ref &a, std::nullptr_t) noexcept { return a.ptr_ == nullptr; }

private:
    T *ptr_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args &&...args) {
    return Ref<T>(new T(std::forward<Args>(args)...));
}

template <class T, class U>
Ref<T> staticRefCast(const Ref<U> &r) noexcept { return Ref<T>(static_cast<T *>(r.get())); }

template <class T, class U>
Ref<T> dynamicRefCast(const Ref<U> &r) noexcept { return Ref<T>(dynamic_cast<T *>(r.get())); }

} // namespace zelkscript
