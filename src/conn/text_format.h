#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace dbk {

// One argument of a printf-style template. Strings are taken as bytes; numbers keep their sign.
class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Real, Text };

    FormatArg(int v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(long v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(long long v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(unsigned v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned long v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned long long v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(double v) : kind_(Kind::Real), real_(v) {}
    FormatArg(const char* v) : kind_(Kind::Text), text_(v ? v : "") {}
    FormatArg(std::string_view v) : kind_(Kind::Text), text_(v) {}
    FormatArg(const std::string& v) : kind_(Kind::Text), text_(v) {}

    Kind kind() const { return kind_; }
    long long asSigned() const;
    unsigned long long asUnsigned() const;
    double asReal() const;
    std::string asText() const;

private:
    Kind kind_;
    long long signed_ = 0;
    unsigned long long unsigned_ = 0;
    double real_ = 0;
    std::string_view text_;
};

// Fills a printf-style template ("%s", "%d", "%ld", "%lu", "%-5.2f", "%%" ...) with the given
// arguments. Unlike printf it cannot read past its arguments: a conversion without an argument
// writes nothing, and a string argument may hold any byte, NUL included.
std::string formatArgs(std::string_view fmt, std::span<const FormatArg> args);

template <class... Args>
std::string format(std::string_view fmt, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return formatArgs(fmt, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return formatArgs(fmt, list);
    }
}

// The same for interface texts: the template and string arguments are QStrings.
class UiArg {
public:
    template <class N>
    requires std::is_arithmetic_v<N> UiArg(N v) : number_(toFormatArg(v)) {}
    UiArg(const QString& v) : text_(v.toUtf8()), isText_(true) {}
    UiArg(const char* v) : text_(QByteArray(v)), isText_(true) {}
    // Valid while this argument lives.
    FormatArg arg() const;

private:
    template <class N>
    static FormatArg toFormatArg(N v) {
        if constexpr (std::is_floating_point_v<N>) {
            return FormatArg(static_cast<double>(v));
        } else if constexpr (std::is_signed_v<N>) {
            return FormatArg(static_cast<long long>(v));
        } else {
            return FormatArg(static_cast<unsigned long long>(v));
        }
    }
    FormatArg number_{0};
    QByteArray text_;
    bool isText_ = false;
};

QString formatUiArgs(const QString& fmt, std::initializer_list<UiArg> args);

template <class... Args>
QString formatUi(const QString& fmt, const Args&... args) {
    return formatUiArgs(fmt, {UiArg(args)...});
}

}  // namespace dbk
