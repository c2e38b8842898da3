// Members are kept in definition order and never erased (a deleted member keeps
// its slot), so a DISPID handed to the engine stays valid for the object's life.
#include "HostObject.h"

namespace ScriptHost {

namespace {

std::vector<VARIANT> argumentsInCallOrder(const DISPPARAMS* params)
{
    std::vector<VARIANT> args;
    if (!params) return args;
    // rgvarg holds the arguments last-first; named arguments (this, property put) come first.
    for (UINT i = params->cArgs; i > params->cNamedArgs; --i) {
        VARIANT copy;
        VariantInit(&copy);
        VariantCopyInd(&copy, &params->rgvarg[i - 1]);
        args.push_back(copy);
    }
    return args;
}

void clearAll(std::vector<VARIANT>& args)
{
    for (auto& arg : args) VariantClear(&arg);
}

HRESULT raise(EXCEPINFO* exception, const wchar_t* text)
{
    return raiseScriptError(exception, L"TestBrowser", text);
}

}  // namespace

HRESULT raiseScriptError(EXCEPINFO* exception, const wchar_t* source, const wchar_t* text)
{
    if (exception) {
        ZeroMemory(exception, sizeof *exception);
        exception->scode = E_FAIL;
        exception->bstrSource = SysAllocString(source);
        exception->bstrDescription = SysAllocString(text);
    }
    return DISP_E_EXCEPTION;
}

HostObject::HostObject() = default;

HostObject::~HostObject()
{
    clearValues();
}

HostObject::Member* HostObject::find(const std::wstring& name)
{
    for (auto& m : members_)
        if (m.name == name) return &m;
    return nullptr;
}

const HostObject::Member* HostObject::find(const std::wstring& name) const
{
    for (auto& m : members_)
        if (m.name == name) return &m;
    return nullptr;
}

HostObject::Member* HostObject::member(DISPID id)
{
    if (id < 1 || static_cast<size_t>(id) > members_.size()) return nullptr;
    return &members_[id - 1];
}

HostObject::Member& HostObject::ensure(const std::wstring& name)
{
    if (Member* m = find(name)) {
        m->present = true;
        return *m;
    }
    Member m;
    m.name = name;
    VariantInit(&m.value);
    members_.push_back(std::move(m));
    return members_.back();
}

void HostObject::defineMethod(const std::wstring& name, Method method)
{
    Member& m = ensure(name);
    VariantClear(&m.value);
    m.method = std::move(method);
}

void HostObject::setValue(const std::wstring& name, const VARIANT& value)
{
    Member& m = ensure(name);
    m.method = nullptr;
    VariantClear(&m.value);
    VariantCopy(&m.value, const_cast<VARIANT*>(&value));
}

bool HostObject::getValue(const std::wstring& name, VARIANT* value) const
{
    const Member* m = find(name);
    if (!m || !m->present || m->method) return false;
    VariantInit(value);
    return SUCCEEDED(VariantCopy(value, const_cast<VARIANT*>(&m->value)));
}

bool HostObject::has(const std::wstring& name) const
{
    const Member* m = find(name);
    return m && m->present;
}

void HostObject::refuse(const std::wstring& name, bool refused)
{
    ensure(name).refused = refused;
}

void HostObject::clearValues()
{
    for (auto& m : members_) {
        VARIANT old = m.value;
        VariantInit(&m.value);
        VariantClear(&old);  // may re-enter this object
    }
}

HRESULT STDMETHODCALLTYPE HostObject::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, __uuidof(IDispatchEx))) {
        *object = static_cast<IDispatchEx*>(this);
        AddRef();
        return S_OK;
    }
    if (IUnknown* extra = extraInterface(iid)) {
        extra->AddRef();
        *object = extra;
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE HostObject::AddRef()
{
    return InterlockedIncrement(&references_);
}

ULONG STDMETHODCALLTYPE HostObject::Release()
{
    ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE HostObject::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostObject::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i > 0) continue;  // no named arguments
        BSTR name = SysAllocString(names[i]);
        if (FAILED(GetDispID(name, 0, &ids[i]))) hr = DISP_E_UNKNOWNNAME;
        SysFreeString(name);
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE HostObject::Invoke(
    DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT*)
{
    return InvokeEx(id, lcid, flags, params, result, exception, nullptr);
}

HRESULT STDMETHODCALLTYPE HostObject::GetDispID(BSTR name, DWORD flags, DISPID* id)
{
    if (!name || !id) return E_POINTER;
    std::wstring key(name, SysStringLen(name));
    Member* m = find(key);
    if (!m || !m->present) {
        if (!(flags & fdexNameEnsure)) {
            *id = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        if (!m) {
            m = &ensure(key);
            m->present = false;  // a placeholder until a put fills it
        }
    }
    *id = static_cast<DISPID>(m - members_.data()) + 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostObject::InvokeEx(
    DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, IServiceProvider*)
{
    Member* m = member(id);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    if (m->refused) return raise(exception, L"refused");
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!params || params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
        m->present = true;
        VARIANT value;
        VariantInit(&value);
        VariantCopyInd(&value, &params->rgvarg[0]);
        m->method = nullptr;
        VARIANT old = m->value;
        m->value = value;
        VariantClear(&old);
        return S_OK;
    }
    if (!m->present) return DISP_E_MEMBERNOTFOUND;
    if (m->method) {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        Method method = m->method;  // the call may redefine the member
        std::vector<VARIANT> args = argumentsInCallOrder(params);
        VARIANT local;
        VariantInit(&local);
        HRESULT hr = method(args, &local);
        clearAll(args);
        if (result)
            *result = local;
        else
            VariantClear(&local);
        if (hr == DISP_E_EXCEPTION) return raise(exception, L"native method failed");
        return hr;
    }
    if ((flags & DISPATCH_METHOD) && m->value.vt == VT_DISPATCH && m->value.pdispVal) {
        // A stored page function: call it through its default member.
        IDispatch* function = m->value.pdispVal;
        function->AddRef();
        DISPPARAMS plain = {
            params ? params->rgvarg : nullptr, nullptr, params ? params->cArgs - params->cNamedArgs : 0, 0};
        if (params && params->cNamedArgs) plain.rgvarg = params->rgvarg + params->cNamedArgs;
        HRESULT hr = function->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &plain, result, exception, nullptr);
        function->Release();
        return hr;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (result) return VariantCopy(result, &m->value);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE HostObject::DeleteMemberByName(BSTR name, DWORD)
{
    Member* m = find(std::wstring(name, SysStringLen(name)));
    if (!m) return S_FALSE;
    m->present = false;
    m->method = nullptr;
    VariantClear(&m->value);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostObject::DeleteMemberByDispID(DISPID id)
{
    Member* m = member(id);
    if (!m) return S_FALSE;
    m->present = false;
    m->method = nullptr;
    VariantClear(&m->value);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostObject::GetMemberProperties(DISPID, DWORD, DWORD*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostObject::GetMemberName(DISPID id, BSTR* name)
{
    Member* m = member(id);
    if (!m || !m->present) return DISP_E_MEMBERNOTFOUND;
    *name = SysAllocStringLen(m->name.data(), static_cast<UINT>(m->name.size()));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostObject::GetNextDispID(DWORD, DISPID id, DISPID* next)
{
    size_t from = id == DISPID_STARTENUM ? 0 : static_cast<size_t>(id);
    for (size_t i = from; i < members_.size(); ++i) {
        if (!members_[i].present) continue;
        *next = static_cast<DISPID>(i) + 1;
        return S_OK;
    }
    *next = DISPID_UNKNOWN;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE HostObject::GetNameSpaceParent(IUnknown** parent)
{
    *parent = nullptr;
    return E_NOTIMPL;
}

}  // namespace ScriptHost
