#include "common/engine/access/JetHeader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/engine/access/JetText.h"

namespace core::access {

namespace {

constexpr std::size_t kSignatureOffset = 4;
constexpr std::string_view kJetSignature{"Standard Jet DB\0", 16};
constexpr std::string_view kAceSignature{"Standard ACE DB\0", 16};
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kScrambledOffset = 0x18;
constexpr std::size_t kCodePageOffset = 0x3C;
constexpr std::size_t kPageKeyOffset = 0x3E;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kJet3PasswordSize = 20;
constexpr std::size_t kJet4PasswordSize = 40;
constexpr std::size_t kCreationDateOffset = 0x72;
constexpr std::size_t kMinimumSize = kCreationDateOffset + 8;
constexpr std::array<std::uint8_t, 4> kHeaderKey = {0xC7, 0xDA, 0x39, 0x6B};

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// The Jet 4 password mask: the creation date's integer part, truncated
// toward zero as a 32-bit integer, in little-endian order. A date that does
// not fit (a damaged header) gives no mask rather than undefined behaviour.
std::array<std::uint8_t, 4> DateMask(double date) {
    std::uint32_t value = 0;
    if (std::isfinite(date) && date > -2147483649.0 && date < 2147483648.0)
        value = static_cast<std::uint32_t>(static_cast<std::int32_t>(date));
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::string Jet3Password(const std::uint8_t* p, int codePage) {
    std::size_t n = 0;
    while (n < kJet3PasswordSize && p[n] != 0) ++n;
    return DecodeCodePageText(p, n, codePage);
}

std::string Jet4Password(const std::uint8_t* p, double creationDate) {
    const auto mask = DateMask(creationDate);
    std::array<std::uint8_t, kJet4PasswordSize> clear{};
    for (std::size_t i = 0; i < clear.size(); ++i) clear[i] = p[i] ^ mask[i % 4];
    std::size_t n = 0;
    while (n + 1 < clear.size() && (clear[n] != 0 || clear[n + 1] != 0)) n += 2;
    return DecodeJet4Text(clear.data(), n);
}

}  // namespace

bool HasJetSignature(std::string_view bytes) {
    if (bytes.size() < kSignatureOffset + kJetSignature.size()) return false;
    // Page 0 starts with its page type (0) and the constant 1.
    if (bytes[0] != 0 || bytes[1] != 1 || bytes[2] != 0 || bytes[3] != 0) return false;
    const std::string_view signature = bytes.substr(kSignatureOffset, kJetSignature.size());
    return signature == kJetSignature || signature == kAceSignature;
}

std::optional<JetHeader> ReadJetHeader(std::span<const std::uint8_t> page0) {
    if (page0.size() < kMinimumSize) return std::nullopt;
    const std::string_view text(reinterpret_cast<const char*>(page0.data()), page0.size());
    if (!HasJetSignature(text)) return std::nullopt;

    JetHeader header;
    header.version = page0[kVersionOffset];
    const bool ace = text.substr(kSignatureOffset, kAceSignature.size()) == kAceSignature;
    header.format = header.version == 0 ? JetFormat::Jet3 : (ace || header.version >= 2 ? JetFormat::Ace : JetFormat::Jet4);

    const std::size_t scrambled = header.format == JetFormat::Jet3 ? 126 : 128;
    std::vector<std::uint8_t> page(page0.begin(), page0.end());
    const std::size_t end = std::min(page.size(), kScrambledOffset + scrambled);
    Rc4Apply(kHeaderKey, std::span(page).subspan(kScrambledOffset, end - kScrambledOffset));

    header.codePage = static_cast<std::uint16_t>(page[kCodePageOffset] | page[kCodePageOffset + 1] << 8);
    header.pageKey = Le32(&page[kPageKeyOffset]);
    std::memcpy(&header.creationDate, &page[kCreationDateOffset], sizeof(double));

    if (header.format == JetFormat::Jet3) {
        header.password = Jet3Password(&page[kPasswordOffset], header.codePage);
    } else if (!header.WholeFileEncrypted()) {
        // In an encrypted ACE file these bytes hold the cipher's parameters.
        header.password = Jet4Password(&page[kPasswordOffset], header.creationDate);
    }
    return header;
}

void Rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
    if (key.empty()) return;
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (auto& byte : data) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

}  // namespace core::access
