// A class object for one creatable COM class.
//
// Wraps the class's creator function (usually Atl::ComObject<T>::Create).
// LockServer counts on the module lock like a live object does. The class
// object itself counts too, unless it is made uncounted: then only LockServer
// keeps the module loaded, so a class object that the platform keeps does not.
#pragma once

#include "ObjectRoot.h"

namespace Atl {

using CreatorFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class ClassFactory : public ObjectRoot, public IClassFactory {
public:
    static const InterfaceEntry* interfaceEntries();

    // Makes a class object for creator and asks it for iid.
    static HRESULT Create(CreatorFunction creator, REFIID iid, void** out, bool counted = true);

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

protected:
    CreatorFunction creator = nullptr;
};

}  // namespace Atl
