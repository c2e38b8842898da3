// A page callback that is a dispatch object: the controller's result sink in the
// COM control.
//
// Deliver calls the object's default member (DISPID 0) as a method with the values
// as arguments, synchronously on the calling thread. Dispatch arguments travel in
// reverse, so the first value is the last VARIANT. Integers become VT_I4, texts
// VT_BSTR (narrow texts are UTF-8). The callback's answer and failures are ignored.
//
// Threading: use it on the thread (apartment) that handed the object over.
#pragma once

#include "ComSupport.h"
#include "ResultSink.h"

#include <windows.h>
#include <oaidl.h>

#include <memory>

namespace Plexhost {

class DispatchCallback : public IResultSink {
public:
    explicit DispatchCallback(IDispatch* target);
    ~DispatchCallback() override;
    DispatchCallback(const DispatchCallback&) = delete;
    DispatchCallback& operator=(const DispatchCallback&) = delete;

    // A callback for the argument when it holds a dispatch object, else none.
    static std::shared_ptr<DispatchCallback> from(const VARIANT& argument);

    void Deliver(const ResultValues& values) override;
    IDispatch* target() const { return target_.Get(); }

private:
    Com::ComPtr<IDispatch> target_;
};

// Calls DISPID 0 of target as a method with the values; returns Invoke's answer.
HRESULT invokeDefaultMember(IDispatch* target, const ResultValues& values);

}  // namespace Plexhost
