// A bound call, type-erased, that runs once on the browser's main thread.
//
// FunctorCallImpl keeps the bound callable (a lambda or any callable taking no
// arguments, with copies of its argument values), optionally a shared pointer to
// the object the call targets, which keeps that object alive until the call
// object dies, and the result once call() ran.
//
// Make instances with makeFunctorCall: one allocation together with the shared
// count.
//
// Threading: built on the calling thread, run on the main thread, destroyed on
// either; the result is read only after the run is known to have finished.
#pragma once

#include "TraceLog.h"

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace FB {

class FunctorCall {
public:
    virtual ~FunctorCall() = default;
    // Runs the bound call and stores its result.
    virtual void call() = 0;
};

using FunctorCallPtr = std::shared_ptr<FunctorCall>;

namespace detail {

inline void traceFunctorCallDestroyed(bool voidResult)
{
    trace("FunctorCall",
        voidResult ? "Destroying FunctorCall object (void)" : "Destroying FunctorCall object (non-void)");
}

// Reference type of calls made without a reference object.
struct NoReference {};

}  // namespace detail

template <class Functor, class Reference, class Result>
class FunctorCallImpl : public FunctorCall {
public:
    explicit FunctorCallImpl(Functor functor) : functor(std::move(functor)), holdsReference(false) {}
    FunctorCallImpl(Functor functor, std::shared_ptr<Reference> reference)
        : functor(std::move(functor)), holdsReference(true), reference(std::move(reference))
    {
    }
    ~FunctorCallImpl() override { detail::traceFunctorCallDestroyed(false); }

    void call() override { result.emplace(functor()); }
    Result getResult() const { return *result; }
    bool hasResult() const { return result.has_value(); }

    Functor functor;
    const bool holdsReference;
    std::shared_ptr<Reference> reference;
    std::optional<Result> result;
};

template <class Functor, class Reference>
class FunctorCallImpl<Functor, Reference, void> : public FunctorCall {
public:
    explicit FunctorCallImpl(Functor functor) : functor(std::move(functor)), holdsReference(false) {}
    FunctorCallImpl(Functor functor, std::shared_ptr<Reference> reference)
        : functor(std::move(functor)), holdsReference(true), reference(std::move(reference))
    {
    }
    ~FunctorCallImpl() override { detail::traceFunctorCallDestroyed(true); }

    void call() override
    {
        functor();
        ran = true;
    }
    void getResult() const {}
    bool hasResult() const { return ran; }

    Functor functor;
    const bool holdsReference;
    std::shared_ptr<Reference> reference;
    bool ran = false;
};

template <class Functor>
using FunctorResult = std::invoke_result_t<Functor&>;

template <class Functor>
auto makeFunctorCall(Functor functor)
{
    using Impl = FunctorCallImpl<Functor, detail::NoReference, FunctorResult<Functor>>;
    return std::make_shared<Impl>(std::move(functor));
}

template <class Functor, class Reference>
auto makeFunctorCall(Functor functor, std::shared_ptr<Reference> reference)
{
    using Impl = FunctorCallImpl<Functor, Reference, FunctorResult<Functor>>;
    return std::make_shared<Impl>(std::move(functor), std::move(reference));
}

}  // namespace FB
