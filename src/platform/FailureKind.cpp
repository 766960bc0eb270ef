#include "platform/FailureKind.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <typeinfo>

QString exceptionKind(const std::exception &error)
{
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return QStringLiteral("out of memory");
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status), &std::free);
    return QStringLiteral("%1 thrown").arg(QString::fromUtf8(status == 0 && name ? name.get() : typeid(error).name()));
}
