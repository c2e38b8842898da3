#include "Delegate.h"

namespace SkinUI {

CEventSourceUI::~CEventSourceUI()
{
    for (int i = 0; i < m_delegates.GetSize(); ++i) delete static_cast<CDelegateBase*>(m_delegates.GetAt(i));
}

void CEventSourceUI::operator+=(const CDelegateBase& d)
{
    for (int i = 0; i < m_delegates.GetSize(); ++i)
        if (static_cast<CDelegateBase*>(m_delegates.GetAt(i))->Equals(d)) return;
    m_delegates.Add(d.Copy());
}

void CEventSourceUI::operator-=(const CDelegateBase& d)
{
    for (int i = 0; i < m_delegates.GetSize(); ++i) {
        CDelegateBase* present = static_cast<CDelegateBase*>(m_delegates.GetAt(i));
        if (!present->Equals(d)) continue;
        delete present;
        m_delegates.Remove(i);
        return;
    }
}

bool CEventSourceUI::operator()(void* param)
{
    for (int i = 0; i < m_delegates.GetSize(); ++i) {
        CDelegateBase* d = static_cast<CDelegateBase*>(m_delegates.GetAt(i));
        if (d && !d->Invoke(param)) return false;
    }
    return true;
}

}  // namespace SkinUI
