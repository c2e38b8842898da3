// Base of objects shared between the caller's thread and the sound callback
// threads (packets). The count starts at 1; the call that drops it to 0
// destroys the object. AddRef and Release may be called on any thread.
#ifndef AUDIO_REFCOUNT_H
#define AUDIO_REFCOUNT_H

#include <atomic>

class CRefCount {
public:
    CRefCount() = default;
    CRefCount(const CRefCount&) = delete;
    CRefCount& operator=(const CRefCount&) = delete;

    void AddRef() { count_.fetch_add(1, std::memory_order_relaxed); }
    void Release()
    {
        if (count_.fetch_sub(1, std::memory_order_acq_rel) == 1) Destroy();
    }
    long RefCountForTesting() const { return count_.load(); }

protected:
    virtual ~CRefCount() = default;
    virtual void Destroy() { delete this; }

private:
    std::atomic<long> count_{1};
};

#endif
