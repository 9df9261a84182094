#pragma once
// The program's failures are exceptions that carry a readable message and
// the name of their class, as the user sees it in some message boxes.
#include "Core/PlatformExport.h"

#include <QString>

#include <exception>
#include <string>

class PLATFORM_EXPORT Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toStdString()) {}
    ~Exception() override;
    const QString &message() const { return m_message; }
    void setMessage(const QString &message)
    {
        m_message = message;
        m_utf8 = message.toStdString();
    }
    virtual QString className() const { return QStringLiteral("Exception"); }
    const char *what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};

#define ZANDRELL_EXCEPTION_CLASS(Name, Base)                                                                           \
    class PLATFORM_EXPORT Name : public Base {                                                                         \
    public:                                                                                                            \
        using Base::Base;                                                                                              \
        QString className() const override { return QStringLiteral(#Name); }                                           \
    };

// A silent cancel: the user chose Cancel, nothing is reported.
ZANDRELL_EXCEPTION_CLASS(EAbort, Exception)
// A broken consistency check: a programming error, reported with its source and line.
ZANDRELL_EXCEPTION_CLASS(EAssertionFailed, Exception)
// A configuration file that could not be written.
ZANDRELL_EXCEPTION_CLASS(EIniFileError, Exception)
// A failure reported by the operating system (a file, a library).
ZANDRELL_EXCEPTION_CLASS(EOSError, Exception)
// A value that is not a number where one was expected.
ZANDRELL_EXCEPTION_CLASS(EConvertError, Exception)

// "message (Console/DMIMPL, line 253)": the source is the unit path without extension.
PLATFORM_EXPORT QString AssertionText(const QString &message, const char *file, int line);
PLATFORM_EXPORT QString UnitNameOfSource(const char *file);

#define Z_ASSERT(cond, msg)                                                                                            \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            throw EAssertionFailed(AssertionText((msg), __FILE__, __LINE__));                                          \
    } while (false)

// Runs a block and turns anything it throws into a message text; used at the
// boundary of a user action so that no failure ever escapes the event loop.
PLATFORM_EXPORT QString ExceptionMessage(const std::exception &e);
