#include "Document.h"

#include "BrowserHost.h"
#include "Window.h"

namespace FB::DOM {

DocumentPtr makeDocument(const JSObjectPtr& object)
{
    return object ? BrowserHostPtr(object->getWeakHost())->wrapDocument(object) : nullptr;
}

Document::Document(JSObjectPtr object) : Node(object), Element(object) {}

Document::~Document() = default;

WindowPtr Document::getWindow()
{
    return makeWindow(getPropertyObject("window"));
}

ElementPtr Document::getBody()
{
    return makeElement(getPropertyObject("body"));
}

ElementPtr Document::createElement(const std::string& tagName)
{
    return makeElement(callMethod("createElement", VariantVector{variant(tagName)}).convertToJSObject());
}

}  // namespace FB::DOM
