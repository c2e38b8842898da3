// The boundary every COM method and exported COM entry point goes through:
// nothing thrown inside leaves it, failures become HRESULTs.
//
//   STDMETHODIMP Thing::Do(BSTR text)
//   {
//       return Com::guarded([&] { return doInside(text); });
//   }
//
// The body returns an HRESULT (or nothing, which counts as S_OK). Running out of
// memory answers E_OUTOFMEMORY, a Com::Error its own HRESULT, anything else
// E_UNEXPECTED.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <exception>
#include <new>
#include <type_traits>
#include <utility>

namespace Com {

// A failed HRESULT as an exception, for code between two boundaries.
class Error : public std::exception {
public:
    explicit Error(HRESULT result) noexcept : result_(result) {}
    HRESULT result() const noexcept { return result_; }
    const char* what() const noexcept override { return "COM call failed"; }

private:
    HRESULT result_;
};

// Throws Com::Error for a failed result; hands a success through.
inline HRESULT check(HRESULT result)
{
    if (FAILED(result)) throw Error(result);
    return result;
}

template <class Body>
HRESULT guarded(Body&& body) noexcept
{
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (const Error& error) {
        return error.result();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace Com
