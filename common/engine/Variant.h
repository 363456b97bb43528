#pragma once
// A field value as the programs see it: one of a few kinds, or Null.
// Texts are UTF-8 throughout; a Null keeps no type and is never confused
// with 0 or the empty text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace core {

// Money with four decimals, stored exactly (no binary rounding).
struct Currency {
    std::int64_t scaled = 0;  // value * 10,000
    friend bool operator==(const Currency&, const Currency&) = default;
};

// A date and time of day, counted in milliseconds from 30 December 1899 at
// midnight (the epoch of the serial dates of Access and Excel).
struct DateTime {
    std::int64_t ms = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;

    static DateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0, int millisecond = 0);
    // Serial date: whole days since the epoch plus the time as a fraction.
    // Negative serials keep the time as an absolute fraction, as Access does.
    static DateTime FromSerial(double serial);
    double ToSerial() const;
    void ToParts(int& year, int& month, int& day, int& hour, int& minute, int& second,
                 int& millisecond) const;
    bool HasTime() const;
    // "YYYY-MM-DD HH:MM:SS" (".mmm" when the milliseconds are not 0); the
    // storage form of the SQLite databases.
    std::string ToIso() const;
    // The text form shown to users: "dd/mm/yyyy", with " hh:mm:ss" when the
    // value has a time of day; a time of day on 30/12/1899 alone, "hh:mm:ss".
    std::string ToDisplay() const;
    static DateTime Today();
};

using Bytes = std::vector<std::uint8_t>;

class Variant {
public:
    enum class Kind { Null, Boolean, Integer, Double, Currency, Date, Text, Binary };

    Variant() = default;  // Null
    Variant(bool v) : data_(v) {}
    Variant(int v) : data_(static_cast<std::int64_t>(v)) {}
    Variant(long v) : data_(static_cast<std::int64_t>(v)) {}
    Variant(long long v) : data_(static_cast<std::int64_t>(v)) {}
    Variant(double v) : data_(v) {}
    Variant(core::Currency v) : data_(v) {}
    Variant(DateTime v) : data_(v) {}
    Variant(std::string v) : data_(std::move(v)) {}
    Variant(std::string_view v) : data_(std::string(v)) {}
    Variant(const char* v) : data_(std::string(v)) {}
    Variant(Bytes v) : data_(std::move(v)) {}

    static Variant Null() { return Variant(); }

    Kind kind() const { return static_cast<Kind>(data_.index()); }
    bool IsNull() const { return kind() == Kind::Null; }
    bool IsText() const { return kind() == Kind::Text; }
    bool IsNumeric() const;  // Boolean, Integer, Double or Currency

    // Direct access; the caller has checked kind().
    bool AsBool() const { return std::get<bool>(data_); }
    std::int64_t AsInteger() const { return std::get<std::int64_t>(data_); }
    double AsDouble() const { return std::get<double>(data_); }
    core::Currency AsCurrency() const { return std::get<core::Currency>(data_); }
    DateTime AsDate() const { return std::get<DateTime>(data_); }
    const std::string& AsText() const { return std::get<std::string>(data_); }
    const Bytes& AsBytes() const { return std::get<Bytes>(data_); }

    // Conversions as the programs' runtime makes them. Each raises error 94
    // ("Uso non valido di Null") on a Null, and error 13 (type mismatch) where
    // the value has no such form.
    std::string ToText() const;      // the value's text form
    double ToDouble() const;         // a number, or a text that reads as one
    std::int64_t ToInteger() const;  // rounded half to even
    bool ToBool() const;
    DateTime ToDate() const;

    // Text form, with a Null given as the empty text.
    std::string ToTextOrEmpty() const { return IsNull() ? std::string() : ToText(); }

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    std::variant<std::monostate, bool, std::int64_t, double, core::Currency, DateTime, std::string,
                 Bytes>
        data_;
};

// A date written as text: "dd/mm/yyyy" (also with "-" or "." and two-digit
// years), "yyyy-mm-dd", either followed by a time "hh:mm[:ss[.mmm]]", or a
// time alone. Nothing when the text is no valid date.
std::optional<DateTime> ParseDateText(std::string_view text);

// Debug and test form: the kind and the value, e.g. Text("abc"), Null.
std::string Describe(const Variant& v);

}  // namespace core
