#pragma once
// The system's exception classes. Each carries a fixed English message; the
// editor's general error handler and the tme tool's main catch them once.
#include <stdexcept>
#include <string>

namespace kep {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    // The class name shown among an error's technical details.
    virtual const char* ClassName() const noexcept { return "Exception"; }
    std::string Message() const { return what(); }
};

#define KEP_EXCEPTION(Name, Base)                                              \
    class Name : public Base {                                                 \
    public:                                                                    \
        using Base::Base;                                                      \
        const char* ClassName() const noexcept override { return #Name; }      \
    }

KEP_EXCEPTION(EStreamError, Exception);
KEP_EXCEPTION(EFOpenError, EStreamError);   // "Cannot open file ..."
KEP_EXCEPTION(EFCreateError, EStreamError); // "Cannot create file ..."
KEP_EXCEPTION(EFilerError, EStreamError);
KEP_EXCEPTION(EReadError, EFilerError);
KEP_EXCEPTION(EWriteError, EFilerError);
KEP_EXCEPTION(EParserError, Exception);
KEP_EXCEPTION(EConvertError, Exception);
KEP_EXCEPTION(EOverflow, Exception);
KEP_EXCEPTION(EInvalidOp, Exception);
// A file that is damaged or outside what the formats can hold.
KEP_EXCEPTION(EDocumentError, Exception);

#undef KEP_EXCEPTION

} // namespace kep
