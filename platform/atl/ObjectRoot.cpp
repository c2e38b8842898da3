#include "ObjectRoot.h"

namespace Atl {

HRESULT queryInterfaceByTable(void* object, const InterfaceEntry* entries, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!entries || !entries[0].iid) return E_NOINTERFACE;
    const InterfaceEntry* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        found = &entries[0];
    } else {
        for (const InterfaceEntry* e = entries; e->iid; ++e) {
            if (IsEqualIID(iid, *e->iid)) {
                found = e;
                break;
            }
        }
    }
    if (!found) return E_NOINTERFACE;
    auto* unknown = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + found->offset);
    unknown->AddRef();
    *out = unknown;
    return S_OK;
}

}  // namespace Atl
