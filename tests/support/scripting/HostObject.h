// ScriptHost::HostObject: a script-visible object of a page host, an
// IDispatchEx with named members that are values (expandos, set by script or
// C++) or native methods.
//
//     auto* console = new ScriptHost::HostObject;   // one reference, the creator's
//     console->defineMethod(L"log", [](const std::vector<VARIANT>& args, VARIANT*) { ...; return S_OK; });
//
// Members keep their slot (and DISPID) for the object's life. A lookup with
// fdexNameEnsure makes a placeholder that only a property put fills: read
// before, it is missing (DISP_E_MEMBERNOTFOUND), as in the engine's own objects.
// A member whose value is a function is called through it.
//
// Threading: the page's thread only (the reference count alone is atomic).
#pragma once

#include <windows.h>
#include <dispex.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

namespace ScriptHost {

// Fills exception (where the caller gave one) as an error of source with text,
// and answers DISP_E_EXCEPTION: the failure of a call that page script sees.
HRESULT raiseScriptError(EXCEPINFO* exception, const wchar_t* source, const wchar_t* text);

class HostObject : public IDispatchEx {
public:
    // Arguments in call order; `result` starts empty.
    using Method = std::function<HRESULT(const std::vector<VARIANT>& args, VARIANT* result)>;

    HostObject();  // reference count 1, owned by the creator
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;
    void defineMethod(const std::wstring& name, Method method);
    void setValue(const std::wstring& name, const VARIANT& value);
    bool getValue(const std::wstring& name, VARIANT* value) const;  // a copy
    bool has(const std::wstring& name) const;
    // A refused member fails every call or access with a script exception "refused".
    void refuse(const std::wstring& name, bool refused = true);
    void clearValues();  // drops every expando (page teardown breaks reference cycles)

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT* argError) override;
    // IDispatchEx
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) override;
    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, IServiceProvider* caller) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR name, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID id) override;
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) override;
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD flags, DISPID id, DISPID* next) override;
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) override;

protected:
    virtual ~HostObject();
    // Further interfaces of a derived object, null for none (QueryInterface adds the reference).
    virtual IUnknown* extraInterface(REFIID) { return nullptr; }

private:
    struct Member {
        std::wstring name;
        VARIANT value;
        Method method;
        bool present = true;
        bool refused = false;
    };
    Member* find(const std::wstring& name);
    const Member* find(const std::wstring& name) const;
    Member* member(DISPID id);
    Member& ensure(const std::wstring& name);

    LONG references_ = 1;
    std::vector<Member> members_;  // DISPID = index + 1
};

}  // namespace ScriptHost
