#pragma once

#include <stdexcept>
#include <string>

// Base of the program's errors: a std::exception carrying a fixed UTF-8 message.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Raised for a widget value or call that is not valid in the widget's state.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};
