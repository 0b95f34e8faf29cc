#pragma once

#include <QPoint>
#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <type_traits>

// Names for the cases of parametrised suites. CTest lists every case by this name, so it must
// come out the same in every build: it is made from the case's own values, never from bytes
// of the parameter object (which hold pointers).

namespace casename {
inline QString text(const char* value)
{
    return QString::fromUtf8(value ? value : "null");
}
inline QString text(const QString& value)
{
    return value;
}
inline QString text(const QByteArray& value)
{
    return QString::fromUtf8(value);
}
inline QString text(const QPoint& value)
{
    return QStringLiteral("%1_%2").arg(value.x()).arg(value.y());
}
template <typename T, std::enable_if_t<std::is_arithmetic_v<T>, int> = 0> QString text(T value)
{
    return QString::number(value);
}
template <typename T, std::enable_if_t<std::is_enum_v<T>, int> = 0> QString text(T value)
{
    return QString::number(static_cast<long long>(value));
}
} // namespace casename

// The ASCII letters and digits of text (other characters by their code, "u7537"), each run of
// other ASCII characters as one '_', then the case's position, which keeps two cases whose
// texts read alike apart.
std::string CaseName(const QString& text, size_t index);

// Name generator for a suite whose parameter is a text, a number, an enum or a point.
struct ByValue
{
    template <typename P> std::string operator()(const ::testing::TestParamInfo<P>& info) const
    {
        return CaseName(casename::text(info.param), info.index);
    }
};

// Name generator that names each case after one member of its parameter struct.
template <typename Struct, typename Field> auto NameFrom(Field Struct::*member)
{
    return [member](const ::testing::TestParamInfo<Struct>& info) {
        return CaseName(casename::text(info.param.*member), info.index);
    };
}
