// Variant: the value type carried in notifications, and the argument list.
//
// A Variant holds one heap "placeholder" (null when empty); copying a Variant
// clones the holder, so every receiver of a notification owns its values.
#pragma once

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

class placeholder {
public:
    virtual ~placeholder() {}
    virtual const std::type_info& TypeInfo() const = 0;
    virtual placeholder* Clone() const = 0;
    virtual std::string ToString() const = 0;
    virtual double ToDouble() const = 0;
    // Address of the held value.
    virtual const void* ValuePtr() const = 0;
};

namespace zxvariant {

// Text of a double: a whole number prints as an integer, a very large or very
// small magnitude in exponent form, anything else with four decimals.
inline std::string FormatDouble(double value) {
    char buf[64];
    const double kEpsilon = 2.220446e-16;
    if (!std::isfinite(value)) {
        std::snprintf(buf, sizeof(buf), "%e", value);
        return buf;
    }
    double whole = 0.0;
    double fraction = std::modf(value, &whole);
    // Whole numbers are printed as 64-bit integers; beyond that range the
    // integer conversion would overflow, so they take the exponent form.
    if (std::fabs(fraction) < kEpsilon && std::fabs(whole) < 9.2e18) {
        std::snprintf(buf, sizeof(buf), "%lld", static_cast<long long>(whole));
    } else if (std::fabs(value) > 1e9 || std::fabs(value) < 0.005) {
        std::snprintf(buf, sizeof(buf), "%e", value);
    } else {
        std::snprintf(buf, sizeof(buf), "%.4f", value);
    }
    return buf;
}

template <typename T>
struct Convert;

template <>
struct Convert<bool> {
    static std::string Text(bool v) { return v ? "true" : "false"; }
    static double Number(bool v) { return v ? 1.0 : 0.0; }
};
template <>
struct Convert<int> {
    static std::string Text(int v) {
        char buf[16];
        std::snprintf(buf, sizeof(buf), "%d", v);
        return buf;
    }
    static double Number(int v) { return static_cast<double>(v); }
};
template <>
struct Convert<double> {
    static std::string Text(double v) { return FormatDouble(v); }
    static double Number(double v) { return v; }
};
template <>
struct Convert<std::string> {
    static std::string Text(const std::string& v) { return v; }
    static double Number(const std::string& v) {
        std::istringstream in(v);
        double d = 0.0;
        if (!(in >> d)) return 0.0;
        return d;
    }
};

// Enumerations print the name of their type, as the runtime spells it, and
// have no numeric value.
template <typename E>
struct ConvertEnum {
    static std::string Text(E) { return typeid(E).name(); }
    static double Number(E) { return 0.0; }
};

// The number type behind T: T itself, or an enumeration's underlying type.
template <typename T, bool = std::is_enum<T>::value>
struct NumberOf {
    typedef T type;
};
template <typename T>
struct NumberOf<T, true> {
    typedef typename std::underlying_type<T>::type type;
};

template <typename T>
using ConvertFor = typename std::conditional<std::is_enum<T>::value, ConvertEnum<T>, Convert<T>>::type;

}  // namespace zxvariant

template <typename T>
class holder : public placeholder {
    static_assert(std::is_same<T, bool>::value || std::is_same<T, int>::value || std::is_same<T, double>::value ||
                      std::is_same<T, std::string>::value || std::is_enum<T>::value,
                  "a Variant holds bool, int, double, std::string or an enumeration");

public:
    explicit holder(const T& value) : held(value) {}
    const std::type_info& TypeInfo() const override { return typeid(T); }
    placeholder* Clone() const override { return new holder(held); }
    std::string ToString() const override { return zxvariant::ConvertFor<T>::Text(held); }
    double ToDouble() const override { return zxvariant::ConvertFor<T>::Number(held); }
    const void* ValuePtr() const override { return &held; }

    T held;
};

class Variant {
public:
    Variant() : content(nullptr) {}
    template <typename T>
    Variant(const T& value) : content(new holder<T>(value)) {}
    Variant(const char* text) : content(new holder<std::string>(text ? text : "")) {}
    Variant(const Variant& other) : content(other.content ? other.content->Clone() : nullptr) {}
    Variant(Variant&& other) noexcept : content(other.content) { other.content = nullptr; }
    ~Variant() { delete content; }

    Variant& operator=(Variant other) noexcept {
        std::swap(content, other.content);
        return *this;
    }

    bool IsEmpty() const { return content == nullptr; }
    const std::type_info& TypeInfo() const { return content ? content->TypeInfo() : typeid(void); }
    std::string ToString() const { return content ? content->ToString() : std::string(); }
    double ToDouble() const { return content ? content->ToDouble() : 0.0; }
    // Address of the held value; null when empty.
    const void* ValuePtr() const { return content ? content->ValuePtr() : nullptr; }

    // The value as T: the held value when it is a T; text from ToString;
    // numbers (and enumerations) from ToDouble; T() when empty or when the
    // held value cannot become a T.
    template <typename T>
    T Get() const {
        if (!content) return T();
        if (content->TypeInfo() == typeid(T)) return *static_cast<const T*>(content->ValuePtr());
        return Fallback<T>();
    }

private:
    template <typename T>
    typename std::enable_if<std::is_same<T, std::string>::value, T>::type Fallback() const {
        return content->ToString();
    }
    template <typename T>
    typename std::enable_if<std::is_floating_point<T>::value, T>::type Fallback() const {
        return static_cast<T>(content->ToDouble());
    }
    // Integers and enumerations take the whole part of the number; one that
    // T cannot hold (or no number at all, such as "nan" or "1e300" read from
    // text) cannot become a T, and gives T().
    template <typename T>
    typename std::enable_if<std::is_integral<T>::value || std::is_enum<T>::value, T>::type Fallback() const {
        const double d = content->ToDouble();
        if (std::is_same<T, bool>::value) return static_cast<T>(d != 0.0 && !std::isnan(d));
        typedef typename zxvariant::NumberOf<T>::type N;
        const double whole = std::trunc(d);
        // max() + 1 is a power of two, exact as a double (max() itself may not be).
        if (!(whole >= static_cast<double>(std::numeric_limits<N>::min()) &&
              whole < static_cast<double>(std::numeric_limits<N>::max()) + 1.0))
            return T();
        return static_cast<T>(static_cast<N>(whole));
    }

    placeholder* content;
};

typedef std::vector<Variant> ArgList;

// Fills an argument list in order: ArgAppender(args) << oldType << newType;
class ArgAppender {
public:
    explicit ArgAppender(ArgList& args) : list(args) {}
    template <typename T>
    ArgAppender& Append(const T& value) {
        list.push_back(Variant(value));
        return *this;
    }
    template <typename T>
    ArgAppender& operator<<(const T& value) {
        return Append(value);
    }

private:
    ArgList& list;
};

// Reads argument i of a list: an empty or missing value reads as 0, false or "".
template <typename T>
T ArgAt(const ArgList& args, size_t index) {
    return index < args.size() ? args[index].Get<T>() : T();
}
