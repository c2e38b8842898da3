// Delegates: a bound member function (or plain function) that an event source
// calls with one untyped parameter. CEventSourceUI is a list of heap copies of
// delegates; firing stops at the first one that answers false.
#pragma once

#include "PointerCollections.h"

#include <cstring>

namespace SkinUI {

class CDelegateBase {
public:
    CDelegateBase(void* object, void* function) : m_object(object), m_function(function) {}
    CDelegateBase(const CDelegateBase& other) = default;
    virtual ~CDelegateBase() = default;
    virtual CDelegateBase* Copy() const = 0;
    virtual bool Invoke(void* param) = 0;

    bool Equals(const CDelegateBase& other) const
    {
        return m_object == other.m_object && m_function == other.m_function;
    }
    bool operator()(void* param) { return Invoke(param); }

protected:
    void* GetFn() const { return m_function; }
    void* GetObj() const { return m_object; }

private:
    void* m_object;
    void* m_function;
};

// A plain function bool f(void*).
class CDelegateStatic : public CDelegateBase {
    using Fn = bool (*)(void*);

public:
    explicit CDelegateStatic(Fn fn) : CDelegateBase(nullptr, reinterpret_cast<void*>(fn)) {}
    CDelegateBase* Copy() const override { return new CDelegateStatic(*this); }
    bool Invoke(void* param) override { return reinterpret_cast<Fn>(GetFn())(param); }
};

// A member function bool (T::*)(void*) of an object of class O.
template <class O, class T>
class CDelegate : public CDelegateBase {
    using Fn = bool (T::*)(void*);

public:
    CDelegate(O* object, Fn fn) : CDelegateBase(object, fnKey(fn)), m_fn(fn) {}
    CDelegateBase* Copy() const override { return new CDelegate(*this); }
    bool Invoke(void* param) override
    {
        O* object = static_cast<O*>(GetObj());
        return (object->*m_fn)(param);
    }

private:
    // Two delegates are equal when object and function are the same; the member
    // pointer's first word identifies the function.
    static void* fnKey(Fn fn)
    {
        void* key = nullptr;
        static_assert(sizeof(fn) >= sizeof(key));
        memcpy(&key, &fn, sizeof(key));
        return key;
    }
    Fn m_fn;
};

template <class O, class T>
CDelegate<O, T> MakeDelegate(O* object, bool (T::*fn)(void*))
{
    return CDelegate<O, T>(object, fn);
}

inline CDelegateStatic MakeDelegate(bool (*fn)(void*))
{
    return CDelegateStatic(fn);
}

class CEventSourceUI {
public:
    CEventSourceUI() = default;
    ~CEventSourceUI();
    CEventSourceUI(const CEventSourceUI&) = delete;
    CEventSourceUI& operator=(const CEventSourceUI&) = delete;

    explicit operator bool() const { return !m_delegates.IsEmpty(); }
    void operator+=(const CDelegateBase& d);
    void operator+=(bool (*fn)(void*)) { *this += MakeDelegate(fn); }
    void operator-=(const CDelegateBase& d);
    void operator-=(bool (*fn)(void*)) { *this -= MakeDelegate(fn); }
    // True when every delegate answers true (or there are none).
    bool operator()(void* param);
    int GetCount() const { return m_delegates.GetSize(); }

private:
    CPtrArrayUI m_delegates;
};

}  // namespace SkinUI
