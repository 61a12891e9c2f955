#include "conn/text_format.h"

#include <cstdio>
#include <vector>

namespace dbk {

long long FormatArg::asSigned() const {
    switch (kind_) {
        case Kind::Signed:
            return signed_;
        case Kind::Unsigned:
            return static_cast<long long>(unsigned_);
        case Kind::Real:
            return static_cast<long long>(real_);
        case Kind::Text:
            return std::atoll(std::string(text_).c_str());
    }
    return 0;
}

unsigned long long FormatArg::asUnsigned() const {
    switch (kind_) {
        case Kind::Signed:
            return static_cast<unsigned long long>(signed_);
        case Kind::Unsigned:
            return unsigned_;
        case Kind::Real:
            return static_cast<unsigned long long>(real_);
        case Kind::Text:
            return std::strtoull(std::string(text_).c_str(), nullptr, 10);
    }
    return 0;
}

double FormatArg::asReal() const {
    switch (kind_) {
        case Kind::Signed:
            return static_cast<double>(signed_);
        case Kind::Unsigned:
            return static_cast<double>(unsigned_);
        case Kind::Real:
            return real_;
        case Kind::Text:
            return std::atof(std::string(text_).c_str());
    }
    return 0;
}

std::string FormatArg::asText() const {
    switch (kind_) {
        case Kind::Signed:
            return std::to_string(signed_);
        case Kind::Unsigned:
            return std::to_string(unsigned_);
        case Kind::Real: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%g", real_);
            return buf;
        }
        case Kind::Text:
            return std::string(text_);
    }
    return {};
}

namespace {

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    char conversion = 0;
};

// Reads the conversion after a '%' at fmt[pos]; returns the position after it.
size_t readSpec(std::string_view fmt, size_t pos, Spec& spec) {
    while (pos < fmt.size() && std::string_view("-+ #0").find(fmt[pos]) != std::string_view::npos) {
        spec.flags += fmt[pos++];
    }
    auto readNumber = [&](int& out) {
        if (pos < fmt.size() && fmt[pos] >= '0' && fmt[pos] <= '9') {
            out = 0;
            while (pos < fmt.size() && fmt[pos] >= '0' && fmt[pos] <= '9') {
                out = out * 10 + (fmt[pos++] - '0');
            }
        }
    };
    readNumber(spec.width);
    if (pos < fmt.size() && fmt[pos] == '.') {
        ++pos;
        spec.precision = 0;
        readNumber(spec.precision);
    }
    while (pos < fmt.size() && std::string_view("hlLqjzt").find(fmt[pos]) != std::string_view::npos) {
        ++pos;  // the argument carries its own width
    }
    if (pos < fmt.size()) {
        spec.conversion = fmt[pos++];
    }
    return pos;
}

std::string numberSpec(const Spec& spec, const char* length, char conversion) {
    std::string s = "%" + spec.flags;
    if (spec.width >= 0)
        s += std::to_string(spec.width);
    if (spec.precision >= 0)
        s += "." + std::to_string(spec.precision);
    s += length;
    s += conversion;
    return s;
}

template <class T>
std::string printNumber(const std::string& spec, T value) {
    int n = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (n <= 0)
        return {};
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::snprintf(buf.data(), buf.size(), spec.c_str(), value);
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string convert(const Spec& spec, const FormatArg& arg) {
    switch (spec.conversion) {
        case 'd':
        case 'i':
            return printNumber(numberSpec(spec, "ll", 'd'), arg.asSigned());
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            return printNumber(numberSpec(spec, "ll", spec.conversion), arg.asUnsigned());
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
            return printNumber(numberSpec(spec, "", spec.conversion), arg.asReal());
        case 'c':
            return std::string(1, static_cast<char>(arg.asSigned()));
        default:
            break;
    }
    std::string text = arg.asText();
    if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
        text.resize(static_cast<size_t>(spec.precision));
    }
    if (spec.width > 0 && text.size() < static_cast<size_t>(spec.width)) {
        const std::string pad(static_cast<size_t>(spec.width) - text.size(), ' ');
        text = spec.flags.find('-') != std::string::npos ? text + pad : pad + text;
    }
    return text;
}

}  // namespace

std::string formatArgs(std::string_view fmt, std::span<const FormatArg> args) {
    std::string out;
    out.reserve(fmt.size() + 32);
    auto next = args.begin();
    size_t pos = 0;
    while (pos < fmt.size()) {
        const size_t percent = fmt.find('%', pos);
        if (percent == std::string_view::npos) {
            out.append(fmt.substr(pos));
            break;
        }
        out.append(fmt.substr(pos, percent - pos));
        if (percent + 1 < fmt.size() && fmt[percent + 1] == '%') {
            out += '%';
            pos = percent + 2;
            continue;
        }
        Spec spec;
        pos = readSpec(fmt, percent + 1, spec);
        if (spec.conversion == 0)
            break;
        if (next != args.end()) {
            out += convert(spec, *next++);
        }
    }
    return out;
}

FormatArg UiArg::arg() const {
    return isText_ ? FormatArg(std::string_view(text_.constData(), static_cast<size_t>(text_.size())))
                   : number_;
}

QString formatUiArgs(const QString& fmt, std::initializer_list<UiArg> args) {
    std::vector<FormatArg> converted;
    converted.reserve(args.size());
    for (const UiArg& a : args)
        converted.push_back(a.arg());
    const QByteArray tmpl = fmt.toUtf8();
    const std::string result =
        formatArgs(std::string_view(tmpl.constData(), static_cast<size_t>(tmpl.size())), converted);
    return QString::fromUtf8(result.data(), static_cast<qsizetype>(result.size()));
}

}  // namespace dbk
