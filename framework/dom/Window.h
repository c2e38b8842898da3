// FB::DOM::Window: the page's window (see Node.h for what every wrapper shares).
//
// createArray and createMap make new page objects, the way native code hands
// lists and maps to page script in a browser whose script objects are not
// built from native values.
#pragma once

#include "Node.h"

namespace FB::DOM {

class Window : public virtual Node {
public:
    explicit Window(JSObjectPtr object);
    ~Window() override;

    virtual DocumentPtr getDocument();
    virtual void alert(const std::wstring& message);
    virtual void alert(const std::string& message);
    // A new, empty page array ("Array"() on the window).
    virtual JSObjectPtr createArray();
    // A new, empty page object ("Object"() on the window).
    virtual JSObjectPtr createMap();
    // The page's address: "location", then its "href".
    virtual std::string getLocation();
};

// Wraps a page object as a window through its host (empty for empty).
// Throws std::bad_weak_ptr when the object's host has gone.
WindowPtr makeWindow(const JSObjectPtr& object);

}  // namespace FB::DOM
