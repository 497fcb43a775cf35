#pragma once

#include <stdexcept>
#include <string>

namespace planora {

// The root of the exceptions that the platform raises. An exception that escapes an event
// handler ends at the platform's one exception barrier (UnhandledException).
class RuntimeException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class OutOfBoundsException : public RuntimeException {
public:
    using RuntimeException::RuntimeException;
};

// Raised by every checked use of Nil: a Nil picture, a missing control or window.
class NilObjectException : public RuntimeException {
public:
    NilObjectException() : RuntimeException("NilObjectException") {}
    explicit NilObjectException(const std::string& what) : RuntimeException(what) {}
};

} // namespace planora
