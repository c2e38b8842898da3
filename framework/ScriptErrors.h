// The exceptions that carry script-facing failures, with the texts that the
// browser bridges hand on to page script.
//
// script_error is the base of everything a bridge reports as a script
// exception; bad_variant_cast is the failure of every typed read of a variant
// and names the held and the wanted type. These exceptions stay inside the
// framework's module: bridges catch them at every entry point.
#pragma once

#include <exception>
#include <string>
#include <typeinfo>

namespace FB {

class script_error : public std::exception {
public:
    explicit script_error(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class invalid_arguments : public script_error {
public:
    invalid_arguments() : script_error("Invalid Arguments") {}
    explicit invalid_arguments(std::string message) : script_error(std::move(message)) {}
};

class invalid_member : public script_error {
public:
    explicit invalid_member(const std::string& memberName)
        : script_error("The specified member does not exist: " + memberName)
    {
    }
};

class object_invalidated : public script_error {
public:
    object_invalidated() : script_error("This object is no longer valid") {}
};

class bad_variant_cast : public std::bad_cast {
public:
    bad_variant_cast(const std::type_info& from, const std::type_info& to);
    const char* what() const noexcept override { return "bad cast"; }
    // Readable names of the held type and of the type that was asked for.
    const std::string& from() const noexcept { return from_; }
    const std::string& to() const noexcept { return to_; }

private:
    std::string from_;
    std::string to_;
};

}  // namespace FB
