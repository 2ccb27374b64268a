// The framework's exception classes. Every exception that the framework or the
// program raises is one of these; each carries a message and an error number.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace fw {

class RuntimeException : public std::exception {
public:
    explicit RuntimeException(std::string message = {}, int32_t errorNumber = 0)
        : message_(std::move(message)), errorNumber_(errorNumber) {}

    const std::string& Message() const noexcept { return message_; }
    int32_t ErrorNumber() const noexcept { return errorNumber_; }
    // The framework's class name of the exception, as a plug-in names it.
    virtual const char* ClassName() const noexcept { return "RuntimeException"; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
    int32_t errorNumber_;
};

#define FW_DECLARE_EXCEPTION(Name)                                              \
    class Name : public RuntimeException {                                      \
    public:                                                                     \
        using RuntimeException::RuntimeException;                               \
        const char* ClassName() const noexcept override { return #Name; }       \
    }

FW_DECLARE_EXCEPTION(NilObjectException);
FW_DECLARE_EXCEPTION(IllegalCastException);
FW_DECLARE_EXCEPTION(OutOfBoundsException);
FW_DECLARE_EXCEPTION(OutOfMemoryException);

#undef FW_DECLARE_EXCEPTION

}  // namespace fw
