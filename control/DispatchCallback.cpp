#include "DispatchCallback.h"

#include <oleauto.h>

#include <vector>

namespace Plexhost {
namespace {

std::wstring fromUtf8(const std::string& text)
{
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// The arguments of one call; owns their system strings.
class Arguments {
public:
    explicit Arguments(const ResultValues& values) : variants_(values.size())
    {
        for (size_t i = 0; i < values.size(); ++i) {
            VARIANT& v = variants_[values.size() - 1 - i];
            VariantInit(&v);
            if (const int* number = std::get_if<int>(&values[i])) {
                V_VT(&v) = VT_I4;
                V_I4(&v) = *number;
                continue;
            }
            std::wstring text = std::holds_alternative<std::string>(values[i])
                ? fromUtf8(std::get<std::string>(values[i]))
                : std::get<std::wstring>(values[i]);
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
    }
    ~Arguments()
    {
        for (VARIANT& v : variants_) VariantClear(&v);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    DISPPARAMS params() { return DISPPARAMS{variants_.data(), nullptr, static_cast<UINT>(variants_.size()), 0}; }

private:
    std::vector<VARIANT> variants_;
};

}  // namespace

HRESULT invokeDefaultMember(IDispatch* target, const ResultValues& values)
{
    if (!target) return E_POINTER;
    Arguments arguments(values);
    DISPPARAMS params = arguments.params();
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    HRESULT hr =
        target->Invoke(DISPID_VALUE, IID_NULL, 0x400, DISPATCH_METHOD, &params, &result, &exception, &argumentError);
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

DispatchCallback::DispatchCallback(IDispatch* target) : target_(target)
{
    target_->AddRef();
}

DispatchCallback::~DispatchCallback()
{
    target_->Release();
}

std::shared_ptr<DispatchCallback> DispatchCallback::from(const VARIANT& argument)
{
    if (V_VT(&argument) != VT_DISPATCH || !V_DISPATCH(&argument)) return nullptr;
    return std::make_shared<DispatchCallback>(V_DISPATCH(&argument));
}

void DispatchCallback::Deliver(const ResultValues& values)
{
    invokeDefaultMember(target_, values);  // the page's answer does not matter
}

}  // namespace Plexhost
