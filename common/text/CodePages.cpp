#include "common/text/CodePages.h"

#include <QString>
#include <QStringDecoder>

#include <map>

#include "common/text/Utf8.h"

namespace core::text {
namespace {

QByteArrayView View(std::string_view bytes) { return {bytes.data(), static_cast<qsizetype>(bytes.size())}; }

// One decoder per page and thread: opening a converter costs far more than
// decoding a field.
QStringDecoder* DecoderFor(int codePage) {
    thread_local std::map<int, QStringDecoder> decoders;
    auto found = decoders.find(codePage);
    if (found == decoders.end()) {
        QStringDecoder decoder(("cp" + std::to_string(codePage)).c_str(), QStringDecoder::Flag::Stateless);
        found = decoders.emplace(codePage, std::move(decoder)).first;
    }
    return found->second.isValid() ? &found->second : nullptr;
}

// Qt's DOS pages (ICU's IBM tables) rotate 0x1A, 0x1C and 0x7F, where
// Windows keeps the lower half ASCII; page 437 also gives 0xE6 as the Greek
// mu where Windows gives the micro sign.
void AsWindowsDos(QString& text, std::string_view bytes, int codePage) {
    if (text.size() != static_cast<qsizetype>(bytes.size())) return;  // one unit per byte in these pages
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        if (b < 0x80) text[i] = QChar(b);
        if (b == 0xE6 && codePage == kDos437) text[i] = QChar(0x00B5);
    }
}

}  // namespace

std::string FromCodePage(std::string_view bytes, int codePage) {
    if (codePage == kUtf8) return std::string(bytes);
    QStringDecoder* decoder = DecoderFor(codePage);
    if (!decoder) decoder = DecoderFor(kWindows1252);
    if (!decoder) {
        // Qt built without ICU: Latin-1 agrees with Windows-1252 everywhere
        // but 0x80-0x9F. The code-page tests fail on such a build.
        return QString::fromLatin1(View(bytes)).toStdString();
    }
    QString text = decoder->decode(View(bytes));
    if (codePage == kDos437 || codePage == kDos850) AsWindowsDos(text, bytes, codePage);
    return text.toStdString();
}

std::string DecodeFileText(std::string_view bytes) {
    const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (starts("\xEF\xBB\xBF")) {
        // Marked as UTF-8: damaged sequences become replacement characters.
        bytes.remove_prefix(3);
        if (IsValidUtf8(bytes)) return std::string(bytes);
        return QString::fromUtf8(View(bytes)).toStdString();
    }
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        QStringDecoder decoder(starts("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::Default);
        bytes.remove_prefix(2);
        return QString(decoder.decode(View(bytes))).toStdString();
    }
    if (!IsValidUtf8(bytes)) return FromCodePage(bytes, kWindows1252);
    return std::string(bytes);
}

}  // namespace core::text
