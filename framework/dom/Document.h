// FB::DOM::Document: the page's document (see Node.h for what every wrapper shares).
#pragma once

#include "Element.h"

namespace FB::DOM {

class Document : public Element {
public:
    explicit Document(JSObjectPtr object);
    ~Document() override;

    virtual WindowPtr getWindow();
    virtual ElementPtr getBody();
    virtual ElementPtr createElement(const std::string& tagName);
};

// Wraps a page object as a document through its host (empty for empty).
// Throws std::bad_weak_ptr when the object's host has gone.
DocumentPtr makeDocument(const JSObjectPtr& object);

}  // namespace FB::DOM
