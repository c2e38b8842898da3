// A COM object for tests that hand one out: a plain IDispatch with an atomic
// reference count, named members that record every call made on them
// (arguments in script order, the this value apart, the calling thread) and
// answer a value, and optionally no IDispatchEx of its own. It serves as a page
// object of the Internet Explorer road, a page function (member L"", called as
// DISPID_VALUE), an event sink or a site.
//
//     auto sink = FakeDispatch::make();
//     sink->member(L"onecho");                 // records calls of sink.onecho(...)
//     ... sink->calls(L"onecho").size(), sink->references()
//     sink->answersOnly(&DIID_Events);          // QueryInterface: IUnknown and DIID_Events
//
// Used on any thread; the records have their own lock.
#pragma once

#include "ComSupport.h"
#include "CountedUnknown.h"

#include <windows.h>
#include <dispex.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FakeDispatch : public CountedUnknown<IDispatch> {
public:
    struct Call {
        WORD flags = 0;
        std::vector<Com::Variant> args;  // script order
        bool withThis = false;
        DWORD thread = 0;
    };

    static Com::ComPtr<FakeDispatch> make() { return Com::ComPtr<FakeDispatch>::Adopt(new FakeDispatch); }

    // A member with an answer (VT_EMPTY by default); DISPID_VALUE is L"".
    void member(const std::wstring& name, const VARIANT* answer = nullptr)
    {
        std::lock_guard<std::mutex> guard(lock_);
        Member& m = members_[name];
        if (answer) m.answer = Com::Variant(*answer);
    }
    // The member's calls and property reads fail with DISP_E_EXCEPTION.
    void failing(const std::wstring& name)
    {
        std::lock_guard<std::mutex> guard(lock_);
        members_[name].fails = true;
    }
    std::vector<Call> calls(const std::wstring& name) const
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = members_.find(name);
        return found == members_.end() ? std::vector<Call>() : found->second.calls;
    }
    // QueryInterface answers IUnknown and kind only (nullptr: IUnknown alone);
    // by default IUnknown and IDispatch.
    void answersOnly(const IID* kind)
    {
        std::lock_guard<std::mutex> guard(lock_);
        kind_ = kind;
    }
    // Runs after each call of the member has been recorded, outside the lock,
    // on the calling thread.
    void afterCall(const std::wstring& name, std::function<void()> action)
    {
        std::lock_guard<std::mutex> guard(lock_);
        members_[name].after = std::move(action);
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (count < 1) return E_INVALIDARG;
        auto found = members_.find(names[0]);
        if (found == members_.end()) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = idOf(found->first);
        return S_OK;
    }
    STDMETHODIMP Invoke(
        DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        std::function<void()> after;
        {
            std::lock_guard<std::mutex> guard(lock_);
            Member* m = byId(id);
            if (!m) return DISP_E_MEMBERNOTFOUND;
            if (m->fails) return DISP_E_EXCEPTION;
            Call call;
            call.flags = flags;
            call.thread = GetCurrentThreadId();
            if (params) {
                call.withThis =
                    params->cNamedArgs > 0 && params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_THIS;
                for (UINT i = params->cArgs; i > params->cNamedArgs; --i) call.args.emplace_back(params->rgvarg[i - 1]);
            }
            m->calls.push_back(std::move(call));
            if (result) VariantCopy(result, &m->answer.Get());
            after = m->after;
        }
        if (after) after();
        return S_OK;
    }

private:
    struct Member {
        Com::Variant answer;
        bool fails = false;
        std::vector<Call> calls;
        std::function<void()> after;
    };
    FakeDispatch() : CountedUnknown(1) {}
    ~FakeDispatch() override = default;

    void* interfaceFor(REFIID iid) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!IsEqualIID(iid, IID_IUnknown) && !(kind_ && IsEqualIID(iid, *kind_))) return nullptr;
        return static_cast<IDispatch*>(this);
    }

    DISPID idOf(const std::wstring& name) const
    {
        if (name.empty()) return DISPID_VALUE;
        DISPID id = 1;
        for (const auto& [each, member] : members_) {
            if (each == name) return id;
            if (!each.empty()) ++id;
        }
        return DISPID_UNKNOWN;
    }
    Member* byId(DISPID id)
    {
        for (auto& [name, member] : members_)
            if (idOf(name) == id) return &member;
        return nullptr;
    }

    mutable std::mutex lock_;
    std::map<std::wstring, Member> members_;
    const IID* kind_ = &IID_IDispatch;
};
