#include "common/engine/flatfile/DbfMemo.h"

#include <QString>
#include <filesystem>
#include <system_error>

namespace core::flatfile {
namespace {

// Memo file beside the table whose name differs only in the extension and
// in letter case (DOS programs wrote CLIENTI.DBT next to clienti.dbf).
std::filesystem::path FindMemoFile(const std::filesystem::path& table, QString* wanted) {
    std::error_code ec;
    const QString stem = QString::fromStdString(Utf8Path(table.stem()));
    const std::filesystem::path dir = table.has_parent_path() ? table.parent_path() : ".";
    for (const char* ext : {".dbt", ".fpt"}) {
        const QString name = stem + ext;
        if (wanted->isEmpty()) *wanted = name;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            const QString candidate = QString::fromStdString(Utf8Path(entry.path().filename()));
            if (candidate.compare(name, Qt::CaseInsensitive) == 0) return entry.path();
        }
    }
    return {};
}

std::uint32_t LittleEndian32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

}  // namespace

DbfMemo::DbfMemo(const std::string& tableFile, const std::string& fieldName) {
    QString wanted;
    const std::filesystem::path path = FindMemoFile(FsPath(tableFile), &wanted);
    if (path.empty())
        Fail(err::CannotOpenFile, "Il campo memo '" + fieldName + "' del file '" + tableFile +
                                      "' è conservato nel file '" + wanted.toStdString() +
                                      "', che non si trova accanto alla tabella.");
    name_ = Utf8Path(path);
    file_ = OpenForReading(path);
    if (!file_) FailUnreadable(name_);

    std::error_code ec;
    fileSize_ = std::filesystem::file_size(path, ec);
    unsigned char header[32] = {};
    if (ec || fileSize_ < 512 || std::fread(header, 1, sizeof header, file_.get()) != sizeof header)
        FailDamaged(name_, "il file dei campi memo è troncato");

    if (path.extension().string().size() == 4 &&
        QString::fromStdString(path.extension().string()).compare(".fpt", Qt::CaseInsensitive) == 0) {
        kind_ = Kind::FoxPro;
        blockSize_ = (header[6] << 8) | header[7];
    } else {
        // dBASE IV writes its block size at offset 20; dBASE III leaves it 0
        // and always uses 512.
        const std::uint32_t size = header[20] | (header[21] << 8);
        blockSize_ = size ? size : 512;
    }
    if (blockSize_ == 0) FailDamaged(name_, "la dimensione dei blocchi memo è nulla");
}

std::string DbfMemo::Read(std::uint32_t block) {
    if (block == 0) return {};
    const std::uint64_t offset = std::uint64_t(block) * blockSize_;
    if (offset >= fileSize_) FailDamaged(name_, "un campo memo punta oltre la fine del file");
    if (std::fseek(file_.get(), long(offset), SEEK_SET) != 0)
        FailDamaged(name_, "posizione di un campo memo non raggiungibile");

    unsigned char head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file_.get());
    if (kind_ == Kind::FoxPro) {
        if (got != 8) FailDamaged(name_, "un campo memo è troncato");
        return ReadCounted(offset + 8, BigEndian32(head + 4));
    }
    // dBASE IV blocks start with FF FF 08 00 and the length including these
    // 8 bytes; blocks without the mark are dBASE III texts ended by 0x1A.
    if (got == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
        const std::uint32_t length = LittleEndian32(head + 4);
        return ReadCounted(offset + 8, length >= 8 ? length - 8 : 0);
    }
    return ReadTerminated(offset);
}

std::string DbfMemo::ReadCounted(std::uint64_t offset, std::uint64_t length) {
    if (offset + length > fileSize_) FailDamaged(name_, "un campo memo è troncato");
    std::string out(length, '\0');
    if (std::fseek(file_.get(), long(offset), SEEK_SET) != 0 ||
        std::fread(out.data(), 1, length, file_.get()) != length)
        FailDamaged(name_, "un campo memo è troncato");
    return out;
}

std::string DbfMemo::ReadTerminated(std::uint64_t offset) {
    if (std::fseek(file_.get(), long(offset), SEEK_SET) != 0)
        FailDamaged(name_, "posizione di un campo memo non raggiungibile");
    std::string out;
    char chunk[512];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file_.get());
        for (std::size_t i = 0; i < got; ++i) {
            if (chunk[i] == '\x1A') return out;
            out += chunk[i];
        }
        if (got < sizeof chunk) return out;  // end of file ends the last memo
    }
}

}  // namespace core::flatfile
