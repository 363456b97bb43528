#include "common/engine/odbc/OdbcRowCodec.h"

#include <cstdint>
#include <cstring>

namespace core::odbc {

namespace {

template <class T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

template <class T>
T Take(const std::string& in, std::size_t& pos) {
    T value{};
    std::memcpy(&value, in.data() + pos, sizeof(T));
    pos += sizeof(T);
    return value;
}

}  // namespace

std::string PackRow(const std::vector<Variant>& row) {
    std::string out;
    for (const Variant& value : row) {
        out += static_cast<char>(value.kind());
        switch (value.kind()) {
            case Variant::Kind::Null: break;
            case Variant::Kind::Boolean: out += value.AsBool() ? '\1' : '\0'; break;
            case Variant::Kind::Integer: Put(out, value.AsInteger()); break;
            case Variant::Kind::Double: Put(out, value.AsDouble()); break;
            case Variant::Kind::Currency: Put(out, value.AsCurrency().scaled); break;
            case Variant::Kind::Date: Put(out, value.AsDate().ms); break;
            case Variant::Kind::Text:
                Put(out, static_cast<std::uint32_t>(value.AsText().size()));
                out += value.AsText();
                break;
            case Variant::Kind::Binary:
                Put(out, static_cast<std::uint32_t>(value.AsBytes().size()));
                out.append(reinterpret_cast<const char*>(value.AsBytes().data()), value.AsBytes().size());
                break;
        }
    }
    return out;
}

std::vector<Variant> UnpackRow(const std::string& packed) {
    std::vector<Variant> row;
    std::size_t pos = 0;
    while (pos < packed.size()) {
        const auto kind = static_cast<Variant::Kind>(packed[pos++]);
        switch (kind) {
            case Variant::Kind::Null: row.emplace_back(); break;
            case Variant::Kind::Boolean: row.emplace_back(packed[pos++] != '\0'); break;
            case Variant::Kind::Integer: row.emplace_back(static_cast<long long>(Take<std::int64_t>(packed, pos))); break;
            case Variant::Kind::Double: row.emplace_back(Take<double>(packed, pos)); break;
            case Variant::Kind::Currency: row.emplace_back(Currency{Take<std::int64_t>(packed, pos)}); break;
            case Variant::Kind::Date: row.emplace_back(DateTime{Take<std::int64_t>(packed, pos)}); break;
            case Variant::Kind::Text: {
                const auto size = Take<std::uint32_t>(packed, pos);
                row.emplace_back(packed.substr(pos, size));
                pos += size;
                break;
            }
            case Variant::Kind::Binary: {
                const auto size = Take<std::uint32_t>(packed, pos);
                const auto* first = reinterpret_cast<const unsigned char*>(packed.data() + pos);
                row.emplace_back(Bytes(first, first + size));
                pos += size;
                break;
            }
        }
    }
    return row;
}

}  // namespace core::odbc
