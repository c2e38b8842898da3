// FB::ShareableReference: a handle on an object whose life is counted elsewhere
// (a COM object, a control), shared by its owner and handed out weakly.
//
//     auto handle = std::make_shared<FB::ShareableReference<IDispatch>>(page);
//     std::weak_ptr<FB::ShareableReference<IDispatch>> weak = handle;
//     if (auto alive = weak.lock()) alive->get()->AddRef();
//
// Whoever owns the shared handle decides when the object is gone for its
// holders: dropping the handle expires every weak copy, so calls queued for the
// object and caches of it can tell whether it still exists. The handle never
// counts a reference of the object itself.
#pragma once

namespace FB {

template <class T>
class ShareableReference {
public:
    explicit ShareableReference(T* object) noexcept : object_(object) {}
    ShareableReference(const ShareableReference&) = delete;
    ShareableReference& operator=(const ShareableReference&) = delete;

    T* get() const noexcept { return object_; }

private:
    T* const object_;
};

}  // namespace FB
