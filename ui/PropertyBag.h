#pragma once
// The saved design properties of a control: name -> value, in the order
// written. Reading gives nothing for a missing entry; what an entry holds is
// the reader's business (it may be of any type, or unreadable).

#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace ui {

class PropertyBag {
public:
    // Replaces an entry of the same name (compared case-insensitively, as
    // design files do), otherwise appends.
    void Write(const QString& name, const QVariant& value);
    std::optional<QVariant> Read(const QString& name) const;
    bool Contains(const QString& name) const { return Read(name).has_value(); }
    void Remove(const QString& name);
    const std::vector<std::pair<QString, QVariant>>& Entries() const { return entries_; }

private:
    std::vector<std::pair<QString, QVariant>> entries_;
};

// Conversions used when loading: nullopt when the value cannot be read as
// the type (no value, text that is not a number, out of range).
std::optional<std::int32_t> BagToInt32(const QVariant& value);
// Colours: also accepts the unsigned form of a system colour (&H8000000F).
std::optional<std::uint32_t> BagToColor(const QVariant& value);
// Booleans: a boolean, a number (non-zero is true) or the texts
// "True"/"False" (any letter case, also "Vero"/"Falso") or a numeric text.
std::optional<bool> BagToBool(const QVariant& value);

}  // namespace ui
