#include "DispatchCallback.h"

#include "CallbackNesting.h"

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

// The arguments of one call, last first as dispatch calls take them.
class Arguments {
public:
    explicit Arguments(const ResultValues& values)
    {
        variants_.reserve(values.size());
        for (auto value = values.rbegin(); value != values.rend(); ++value) {
            if (const int* number = std::get_if<int>(&*value))
                variants_.emplace_back(static_cast<LONG>(*number));
            else if (const std::string* narrow = std::get_if<std::string>(&*value))
                variants_.emplace_back(std::wstring_view(fromUtf8(*narrow)));
            else
                variants_.emplace_back(std::wstring_view(std::get<std::wstring>(*value)));
        }
    }

    DISPPARAMS params()
    {
        return DISPPARAMS{Com::variantArray(variants_.data()), nullptr, static_cast<UINT>(variants_.size()), 0};
    }

private:
    std::vector<Com::Variant> variants_;
};

}  // namespace

HRESULT invokeDefaultMember(IDispatch* target, const ResultValues& values)
{
    if (!target) return E_POINTER;
    Arguments arguments(values);
    DISPPARAMS params = arguments.params();
    Com::Variant result;
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    HRESULT hr = target->Invoke(
        DISPID_VALUE, IID_NULL, 0x400, DISPATCH_METHOD, &params, result.Put(), &exception, &argumentError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

DispatchCallback::DispatchCallback(IDispatch* target) : target_(target) {}

DispatchCallback::~DispatchCallback() = default;

std::shared_ptr<DispatchCallback> DispatchCallback::from(const VARIANT& argument)
{
    if (V_VT(&argument) != VT_DISPATCH || !V_DISPATCH(&argument)) return nullptr;
    return std::make_shared<DispatchCallback>(V_DISPATCH(&argument));
}

void DispatchCallback::Deliver(const ResultValues& values)
{
    CallbackNesting::Delivery nested;
    Com::ComPtr<IDispatch> target = target_;  // held for the call, whatever the page drops inside it
    invokeDefaultMember(target.Get(), values);  // the page's answer does not matter
}

}  // namespace Plexhost
