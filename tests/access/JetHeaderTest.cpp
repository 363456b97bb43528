#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/engine/access/JetHeader.h"
#include "tests/access/AccessFixtures.h"

using namespace core::access;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> FirstPage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> page(4096);
    in.read(reinterpret_cast<char*>(page.data()), static_cast<std::streamsize>(page.size()));
    page.resize(static_cast<std::size_t>(in.gcount()));
    return page;
}

// A page 0 as Access writes it: signature, version, then the fields in
// clear, scrambled with the fixed header key.
struct HeaderBuilder {
    std::vector<std::uint8_t> page = std::vector<std::uint8_t>(4096, 0);
    int version;

    explicit HeaderBuilder(int jetVersion, bool ace = false) : version(jetVersion) {
        page[1] = 1;
        const char* signature = ace ? "Standard ACE DB" : "Standard Jet DB";
        std::memcpy(&page[4], signature, 15);
        page[0x14] = static_cast<std::uint8_t>(jetVersion);
    }
    HeaderBuilder& CodePage(std::uint16_t cp) {
        page[0x3C] = static_cast<std::uint8_t>(cp);
        page[0x3D] = static_cast<std::uint8_t>(cp >> 8);
        return *this;
    }
    HeaderBuilder& PageKey(std::uint32_t key) {
        for (int i = 0; i < 4; ++i) page[0x3E + i] = static_cast<std::uint8_t>(key >> (8 * i));
        return *this;
    }
    HeaderBuilder& Date(double serial) {
        std::memcpy(&page[0x72], &serial, 8);
        return *this;
    }
    // Jet 3: code-page bytes as given.
    HeaderBuilder& Jet3Password(std::string_view bytes) {
        std::memcpy(&page[0x42], bytes.data(), bytes.size());
        return *this;
    }
    // Jet 4: UTF-16 units, masked with the creation date set before.
    HeaderBuilder& Jet4Password(std::u16string_view units) {
        double date;
        std::memcpy(&date, &page[0x72], 8);
        const auto mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(date));
        for (std::size_t i = 0; i < 20; ++i) {
            const char16_t u = i < units.size() ? units[i] : 0;
            page[0x42 + 2 * i] = static_cast<std::uint8_t>(u);
            page[0x43 + 2 * i] = static_cast<std::uint8_t>(u >> 8);
        }
        for (std::size_t i = 0; i < 40; ++i) page[0x42 + i] ^= static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
        return *this;
    }
    std::vector<std::uint8_t> Build() const {
        auto out = page;
        const std::uint8_t key[] = {0xC7, 0xDA, 0x39, 0x6B};
        Rc4Apply(key, std::span(out).subspan(0x18, version == 0 ? 126 : 128));
        return out;
    }
};

TEST(Rc4, MatchesThePublishedTestVectorAndIsItsOwnInverse) {
    const std::uint8_t key[] = {'K', 'e', 'y'};
    auto data = Bytes("Plaintext");
    Rc4Apply(key, data);
    const std::vector<std::uint8_t> expected = {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3};
    EXPECT_EQ(data, expected);
    Rc4Apply(key, data);
    EXPECT_EQ(data, Bytes("Plaintext"));
}

TEST(JetSignature, RecognisesJetAndAceButNotOtherFiles) {
    const auto jet = HeaderBuilder(1).Build();
    const auto ace = HeaderBuilder(3, true).Build();
    auto asText = [](const std::vector<std::uint8_t>& b) {
        return std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
    };
    EXPECT_TRUE(HasJetSignature(asText(jet)));
    EXPECT_TRUE(HasJetSignature(asText(ace)));
    EXPECT_FALSE(HasJetSignature(std::string_view("SQLite format 3\0", 16)));
    EXPECT_FALSE(HasJetSignature(asText(jet).substr(0, 18)));  // cut inside the signature
    EXPECT_FALSE(HasJetSignature({}));
    auto wrongPageType = jet;
    wrongPageType[0] = 1;
    EXPECT_FALSE(HasJetSignature(asText(wrongPageType)));
    // A system (workgroup) file has another signature.
    auto workgroup = jet;
    std::memcpy(&workgroup[4], "Standard Jet SY", 15);
    EXPECT_FALSE(HasJetSignature(asText(workgroup)));
}

TEST(JetHeaderRead, Jet3PasswordIsCodePageTextUpToTwentyBytes) {
    auto header = ReadJetHeader(HeaderBuilder(0).CodePage(1252).Jet3Password("Citt\xE0" "2024").Build());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->format, JetFormat::Jet3);
    EXPECT_EQ(header->PageSize(), 2048);
    EXPECT_EQ(header->password, "Citt\xC3\xA0" "2024");

    // All twenty bytes used: no terminator, nothing read past them.
    header = ReadJetHeader(HeaderBuilder(0).Jet3Password("abcdefghijklmnopqrst").Build());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->password, "abcdefghijklmnopqrst");
}

TEST(JetHeaderRead, Jet4PasswordIsUnmaskedWithTheCreationDate) {
    auto header = ReadJetHeader(HeaderBuilder(1).Date(44568.677).Jet4Password(u"S\u00e9greto").Build());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->format, JetFormat::Jet4);
    EXPECT_EQ(header->PageSize(), 4096);
    EXPECT_EQ(header->password, "S\xC3\xA9greto");

    // Twenty characters fill the 40 bytes.
    header = ReadJetHeader(HeaderBuilder(1).Date(38143.5).Jet4Password(u"ABCDEFGHIJKLMNOPQRST").Build());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->password, "ABCDEFGHIJKLMNOPQRST");

    // No password: the stored bytes are the mask alone.
    header = ReadJetHeader(HeaderBuilder(1).Date(38143.5).Jet4Password(u"").Build());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->password, "");
}

TEST(JetHeaderRead, DamagedCreationDateGivesNoMaskInsteadOfUndefinedBehaviour) {
    for (double date : {std::nan(""), 1e300, -1e300}) {
        auto header = ReadJetHeader(HeaderBuilder(1).Date(date).Jet4Password(u"x").Build());
        ASSERT_TRUE(header);  // readable; the password is whatever the bytes say
    }
}

TEST(JetHeaderRead, AceWithPageKeyIsWholeFileEncrypted) {
    auto header = ReadJetHeader(HeaderBuilder(3, true).PageKey(0xA0BE38A3).Build());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->format, JetFormat::Ace);
    EXPECT_TRUE(header->WholeFileEncrypted());
    EXPECT_EQ(header->password, "");

    // A Jet 4 file with a page key is only RC4-encoded page by page:
    // readable, and its password is still checked.
    header = ReadJetHeader(HeaderBuilder(1).PageKey(0x12345678).Date(40000).Jet4Password(u"pw").Build());
    ASSERT_TRUE(header);
    EXPECT_FALSE(header->WholeFileEncrypted());
    EXPECT_EQ(header->password, "pw");
}

TEST(JetHeaderRead, RejectsShortOrForeignPages) {
    const auto page = HeaderBuilder(1).Build();
    EXPECT_FALSE(ReadJetHeader(std::span(page).first(0x79)));
    EXPECT_TRUE(ReadJetHeader(std::span(page).first(0x7A)));
    auto foreign = page;
    foreign[4] = 'X';
    EXPECT_FALSE(ReadJetHeader(foreign));
    EXPECT_FALSE(ReadJetHeader({}));
}

TEST(JetHeaderRead, RealFilesGiveTheirKnownPasswords) {
    struct Case {
        const char* file;
        JetFormat format;
        const char* password;
        bool encrypted;
    } cases[] = {
        {"access/V1997_test.mdb", JetFormat::Jet3, "", false},
        {"access/nwind.mdb", JetFormat::Jet3, "", false},
        {"access/V2000_test.mdb", JetFormat::Jet4, "", false},
        {"access/V2000_with-password.mdb", JetFormat::Jet4, "password", false},
        {"access/V2003_with-password.mdb", JetFormat::Jet4, "password", false},
        {"access/V2007_test.accdb", JetFormat::Ace, "", false},
        {"access/V2010_test.accdb", JetFormat::Ace, "", false},
        {"access/V2010_with-password.accdb", JetFormat::Ace, "", true},
        {"v4/archivio4.mdb", JetFormat::Jet4, "vup", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto header = ReadJetHeader(FirstPage(accesstest::FixturePath(c.file)));
        ASSERT_TRUE(header);
        EXPECT_EQ(header->format, c.format);
        EXPECT_EQ(header->password, c.password);
        EXPECT_EQ(header->WholeFileEncrypted(), c.encrypted);
    }
}

}  // namespace

namespace {

// Whether a text is well-formed UTF-8 (no overlong forms, no surrogates).
bool ValidUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0)) return false;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = cp << 6 | (d & 0x3F);
        }
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

TEST(JetHeaderRead, ArbitraryBytesBehindAValidSignatureNeverBreakTheReader) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<std::uint8_t>(seed >> 24);
    };
    for (int round = 0; round < 2000; ++round) {
        auto page = HeaderBuilder(round % 4, round % 4 >= 2).Build();
        const std::size_t size = 0x7A + round % 200;
        page.resize(size);
        for (std::size_t i = 0x18; i < size; ++i) page[i] = next();
        const auto header = ReadJetHeader(page);
        ASSERT_TRUE(header);
        EXPECT_TRUE(ValidUtf8(header->password)) << round;
    }
}

}  // namespace
