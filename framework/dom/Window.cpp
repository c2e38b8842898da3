#include "Window.h"

#include "BrowserHost.h"
#include "Document.h"
#include "utf8_tools.h"

namespace FB::DOM {

WindowPtr makeWindow(const JSObjectPtr& object)
{
    return object ? BrowserHostPtr(object->getWeakHost())->wrapWindow(object) : nullptr;
}

Window::Window(JSObjectPtr object) : Node(std::move(object)) {}

Window::~Window() = default;

DocumentPtr Window::getDocument()
{
    return makeDocument(getPropertyObject("document"));
}

void Window::alert(const std::wstring& message)
{
    alert(wideToUtf8(message));
}

void Window::alert(const std::string& message)
{
    callMethod("alert", VariantVector{variant(message)});
}

JSObjectPtr Window::createArray()
{
    return callMethod("Array", VariantVector{}).convertToJSObject();
}

JSObjectPtr Window::createMap()
{
    return callMethod("Object", VariantVector{}).convertToJSObject();
}

std::string Window::getLocation()
{
    NodePtr location = getNode("location");
    return location ? location->getPropertyText("href") : std::string();
}

}  // namespace FB::DOM
