#include "ui/PropertyBag.h"

#include <cmath>
#include <limits>

namespace ui {

void PropertyBag::Write(const QString& name, const QVariant& value)
{
    for (auto& entry : entries_) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0) {
            entry.second = value;
            return;
        }
    }
    entries_.emplace_back(name, value);
}

std::optional<QVariant> PropertyBag::Read(const QString& name) const
{
    for (const auto& entry : entries_)
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second;
    return std::nullopt;
}

void PropertyBag::Remove(const QString& name)
{
    std::erase_if(entries_, [&](const auto& e) { return e.first.compare(name, Qt::CaseInsensitive) == 0; });
}

namespace {
// Any integral reading of the value: numbers (whole doubles only through
// rounding, as a Long conversion does) and numeric texts, "&H" hex included.
std::optional<long long> ToWhole(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return value.toLongLong();
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong u = value.toULongLong();
        if (u > static_cast<qulonglong>(std::numeric_limits<long long>::max()))
            return std::nullopt;
        return static_cast<long long>(u);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!(d > -9.3e18 && d < 9.3e18))
            return std::nullopt;
        return static_cast<long long>(std::nearbyint(d));
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        bool ok = false;
        long long n = 0;
        if (text.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
            // Design files write colours as "&H00A56D3A&": a 32-bit pattern.
            QString digits = text.mid(2);
            if (digits.endsWith(QLatin1Char('&')))
                digits.chop(1);
            const qulonglong u = digits.toULongLong(&ok, 16);
            if (!ok || digits.size() > 8)
                return std::nullopt;
            return static_cast<long long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(u)));
        }
        n = text.toLongLong(&ok);
        if (ok)
            return n;
        const double d = text.toDouble(&ok);
        if (ok && d > -9.3e18 && d < 9.3e18)
            return static_cast<long long>(std::nearbyint(d));
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}
}  // namespace

std::optional<std::int32_t> BagToInt32(const QVariant& value)
{
    const auto n = ToWhole(value);
    if (!n || *n < std::numeric_limits<std::int32_t>::min() || *n > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*n);
}

std::optional<std::uint32_t> BagToColor(const QVariant& value)
{
    const auto n = ToWhole(value);
    if (!n || *n < std::numeric_limits<std::int32_t>::min() || *n > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(*n));
}

std::optional<bool> BagToBool(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
            text.compare(QLatin1String("Vero"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 ||
            text.compare(QLatin1String("Falso"), Qt::CaseInsensitive) == 0)
            return false;
    }
    const auto n = ToWhole(value);
    if (!n)
        return std::nullopt;
    return *n != 0;
}

}  // namespace ui
