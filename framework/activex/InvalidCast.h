// FB::ActiveX::invalid_cast: a std::bad_cast with a text of its own ("Invalid
// object", "This is not a valid Window object"), for the places where the
// Internet Explorer road reports an object that is gone or of the wrong kind.
#pragma once

#include <string>
#include <typeinfo>
#include <utility>

namespace FB::ActiveX {

class invalid_cast : public std::bad_cast {
public:
    explicit invalid_cast(std::string text) : text_(std::move(text)) {}
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

}  // namespace FB::ActiveX
