#include "common/engine/Variant.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "common/engine/Error.h"
#include "common/engine/NumberText.h"
#include "common/text/AsciiText.h"

namespace core {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);  // relative to 1970

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

[[noreturn]] void ThrowNull() {
    throw Error(err::InvalidUseOfNull, "Uso non valido di Null.");
}

[[noreturn]] void ThrowMismatch() {
    throw Error(err::TypeMismatch, "Tipo non corrispondente.");
}

std::string CurrencyText(Currency c) {
    const bool negative = c.scaled < 0;
    const std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-(c.scaled + 1)) + 1
                                             : static_cast<std::uint64_t>(c.scaled);
    std::string text = std::to_string(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        char digits[5];
        std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(fraction));
        std::string tail(digits);
        while (!tail.empty() && tail.back() == '0') tail.pop_back();
        text += NumberFormat::System().decimalPoint;
        text += tail;
    }
    return negative ? "-" + text : text;
}

}  // namespace

DateTime DateTime::FromParts(int year, int month, int day, int hour, int minute, int second,
                             int millisecond) {
    const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month),
                                            static_cast<unsigned>(day)) -
                              kEpochDays;
    const std::int64_t ms = ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 +
                            millisecond;
    return DateTime{days * kMsPerDay + ms};
}

DateTime DateTime::FromSerial(double serial) {
    if (!std::isfinite(serial)) return DateTime{};
    // Clamp to years 100..9999, the range the application's dates can hold.
    serial = std::clamp(serial, -657434.0, 2958465.99999);
    const double whole = std::trunc(serial);
    const double fraction = std::fabs(serial - whole);
    const std::int64_t ms = static_cast<std::int64_t>(std::llround(fraction * kMsPerDay));
    return DateTime{static_cast<std::int64_t>(whole) * kMsPerDay + ms};
}

double DateTime::ToSerial() const {
    const std::int64_t days = FloorDiv(ms, kMsPerDay);
    const std::int64_t rest = ms - days * kMsPerDay;
    const double fraction = static_cast<double>(rest) / kMsPerDay;
    // Negative serials carry the time as an absolute fraction.
    return days >= 0 ? days + fraction : days - fraction;
}

void DateTime::ToParts(int& year, int& month, int& day, int& hour, int& minute, int& second,
                       int& millisecond) const {
    const std::int64_t days = FloorDiv(ms, kMsPerDay);
    std::int64_t rest = ms - days * kMsPerDay;
    CivilFromDays(days + kEpochDays, year, month, day);
    millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    second = static_cast<int>(rest % 60);
    rest /= 60;
    minute = static_cast<int>(rest % 60);
    hour = static_cast<int>(rest / 60);
}

bool DateTime::HasTime() const { return FloorDiv(ms, kMsPerDay) * kMsPerDay != ms; }

std::string DateTime::ToIso() const {
    int y, mo, d, h, mi, s, milli;
    ToParts(y, mo, d, h, mi, s, milli);
    // Written digit by digit: every date saved goes through here, and
    // snprintf costs more than the rest of the conversion.
    if (y < 0 || y > 9999) {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
        std::string text = buffer;
        if (milli != 0) {
            std::snprintf(buffer, sizeof buffer, ".%03d", milli);
            text += buffer;
        }
        return text;
    }
    char text[23];
    auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) text[at + i] = static_cast<char>('0' + value % 10);
    };
    put(0, y, 4);
    text[4] = '-';
    put(5, mo, 2);
    text[7] = '-';
    put(8, d, 2);
    text[10] = ' ';
    put(11, h, 2);
    text[13] = ':';
    put(14, mi, 2);
    text[16] = ':';
    put(17, s, 2);
    if (milli == 0) return std::string(text, 19);
    text[19] = '.';
    put(20, milli, 3);
    return std::string(text, 23);
}

std::string DateTime::ToDisplay() const {
    int y, mo, d, h, mi, s, milli;
    ToParts(y, mo, d, h, mi, s, milli);
    char buffer[40];
    // A time on the epoch's day is a time alone, and is written as one (it
    // reads back as the same value); midnight of that day stays a date.
    if (HasTime() && y == 1899 && mo == 12 && d == 30)
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", h, mi, s);
    else if (HasTime())
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", d, mo, y, h, mi, s);
    else
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", d, mo, y);
    return buffer;
}

DateTime DateTime::Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool Variant::IsNumeric() const {
    switch (kind()) {
        case Kind::Boolean:
        case Kind::Integer:
        case Kind::Double:
        case Kind::Currency:
            return true;
        default:
            return false;
    }
}

std::string Variant::ToText() const {
    switch (kind()) {
        case Kind::Null:
            ThrowNull();
        case Kind::Boolean:
            return AsBool() ? "True" : "False";
        case Kind::Integer:
            return std::to_string(AsInteger());
        case Kind::Double:
            return FormatNumber(AsDouble());
        case Kind::Currency:
            return CurrencyText(AsCurrency());
        case Kind::Date:
            return AsDate().ToDisplay();
        case Kind::Text:
            return AsText();
        case Kind::Binary: {
            const Bytes& bytes = AsBytes();
            return std::string(bytes.begin(), bytes.end());
        }
    }
    ThrowMismatch();
}

double Variant::ToDouble() const {
    switch (kind()) {
        case Kind::Null:
            ThrowNull();
        case Kind::Boolean:
            return AsBool() ? -1.0 : 0.0;
        case Kind::Integer:
            return static_cast<double>(AsInteger());
        case Kind::Double:
            return AsDouble();
        case Kind::Currency:
            return static_cast<double>(AsCurrency().scaled) / 10000.0;
        case Kind::Date:
            return AsDate().ToSerial();
        case Kind::Text: {
            if (auto number = ParseSystemNumber(AsText())) return *number;
            ThrowMismatch();
        }
        case Kind::Binary:
            ThrowMismatch();
    }
    ThrowMismatch();
}

std::int64_t Variant::ToInteger() const {
    if (kind() == Kind::Integer) return AsInteger();
    const double value = ToDouble();
    const double rounded = std::nearbyint(value);  // default rounding mode: half to even
    if (!(rounded >= -9.2233720368547758e18 && rounded < 9.2233720368547758e18))
        throw Error(err::Overflow, "Overflow.");
    return static_cast<std::int64_t>(rounded);
}

bool Variant::ToBool() const {
    if (kind() == Kind::Boolean) return AsBool();
    if (kind() == Kind::Text) {
        const std::string t = text::AsciiLower(AsText());
        for (const char* yes : {"true", "vero", "yes", "sì", "si", "on"})
            if (t == yes) return true;
        for (const char* no : {"false", "falso", "no", "off"})
            if (t == no) return false;
    }
    return ToDouble() != 0.0;
}

DateTime Variant::ToDate() const {
    switch (kind()) {
        case Kind::Null:
            ThrowNull();
        case Kind::Date:
            return AsDate();
        case Kind::Text:
            if (auto date = ParseDateText(AsText())) return *date;
            if (auto number = ParseSystemNumber(AsText())) return DateTime::FromSerial(*number);
            ThrowMismatch();
        case Kind::Binary:
            ThrowMismatch();
        default:
            return DateTime::FromSerial(ToDouble());
    }
}

namespace {

// Reads up to maxDigits digits; false when there are none.
bool ReadNumber(std::string_view text, std::size_t& pos, int maxDigits, int& value, int& digits) {
    value = 0;
    digits = 0;
    while (pos < text.size() && digits < maxDigits && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

bool ValidDate(int y, int m, int d) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1]) return false;
    if (m == 2 && d == 29) return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return true;
}

bool ReadTime(std::string_view text, std::size_t& pos, std::int64_t& ms) {
    int h, mi, s = 0, milli = 0, digits;
    if (!ReadNumber(text, pos, 2, h, digits)) return false;
    if (pos >= text.size() || text[pos] != ':') return false;
    ++pos;
    if (!ReadNumber(text, pos, 2, mi, digits) || digits != 2) return false;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!ReadNumber(text, pos, 2, s, digits) || digits != 2) return false;
        if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
            ++pos;
            int fraction;
            if (!ReadNumber(text, pos, 3, fraction, digits)) return false;
            milli = fraction * (digits == 1 ? 100 : digits == 2 ? 10 : 1);
            while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
        }
    }
    if (h > 23 || mi > 59 || s > 59) return false;
    ms = ((static_cast<std::int64_t>(h) * 60 + mi) * 60 + s) * 1000 + milli;
    return true;
}

}  // namespace

std::optional<DateTime> ParseDateText(std::string_view text) {
    text = text::Trim(text);
    if (text.empty()) return std::nullopt;
    std::size_t pos = 0;
    int a, b, c, da, db, dc;
    std::int64_t timeMs = 0;
    if (!ReadNumber(text, pos, 4, a, da)) return std::nullopt;
    if (pos < text.size() && text[pos] == ':') {  // a time of day alone
        pos = 0;
        if (!ReadTime(text, pos, timeMs) || pos != text.size()) return std::nullopt;
        return DateTime{timeMs};
    }
    if (pos >= text.size()) return std::nullopt;
    const char separator = text[pos];
    if (separator != '/' && separator != '-' && separator != '.') return std::nullopt;
    ++pos;
    if (!ReadNumber(text, pos, 2, b, db)) return std::nullopt;
    if (pos >= text.size() || text[pos] != separator) return std::nullopt;
    ++pos;
    if (!ReadNumber(text, pos, 4, c, dc)) return std::nullopt;
    int year, month, day;
    if (da == 4) {  // year first: yyyy-mm-dd
        year = a, month = b, day = c;
    } else {  // day first, as written in Italy: dd/mm/yyyy
        if (da > 2) return std::nullopt;
        day = a, month = b, year = c;
        if (dc <= 2) year += year < 30 ? 2000 : 1900;
        else if (dc == 3) return std::nullopt;
    }
    if (!ValidDate(year, month, day)) return std::nullopt;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) ++pos;
        if (!ReadTime(text, pos, timeMs) || pos != text.size()) return std::nullopt;
    }
    DateTime date = DateTime::FromParts(year, month, day);
    date.ms += timeMs;
    return date;
}

std::string Describe(const Variant& v) {
    switch (v.kind()) {
        case Variant::Kind::Null:
            return "Null";
        case Variant::Kind::Boolean:
            return std::string("Boolean(") + (v.AsBool() ? "True" : "False") + ")";
        case Variant::Kind::Integer:
            return "Integer(" + std::to_string(v.AsInteger()) + ")";
        case Variant::Kind::Double:
            return "Double(" + FormatNumber(v.AsDouble()) + ")";
        case Variant::Kind::Currency:
            return "Currency(" + std::to_string(v.AsCurrency().scaled) + "e-4)";
        case Variant::Kind::Date:
            return "Date(" + v.AsDate().ToIso() + ")";
        case Variant::Kind::Text:
            return "Text(\"" + v.AsText() + "\")";
        case Variant::Kind::Binary:
            return "Binary(" + std::to_string(v.AsBytes().size()) + " bytes)";
    }
    return "?";
}

}  // namespace core
