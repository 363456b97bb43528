#include "common/engine/flatfile/CsvReader.h"

#include <cstring>

namespace core::flatfile {
namespace {

constexpr std::size_t kChunk = 16 * 1024;
constexpr int kInsideField = 2;  // libcsv's FIELD_BEGUN

// Only blanks are trimmed around unquoted values: with the default a tab
// would also count as a blank and tab-separated files would lose their
// empty fields.
int IsBlank(unsigned char c) { return c == ' '; }

}  // namespace

CsvReader::CsvReader(const std::string& file, char separator, std::size_t skip) : file_(file) {
    in_ = OpenForReading(FsPath(file));
    if (!in_) FailUnreadable(file);
    if (skip && std::fseek(in_.get(), long(skip), SEEK_SET) != 0) FailUnreadable(file);
    bytesRead_ = skip;
    if (csv_init(&parser_, CSV_EMPTY_IS_NULL) != 0)
        Fail(err::ReservedError, "Memoria insufficiente per leggere il file '" + file + "'.");
    parserReady_ = true;
    csv_set_delim(&parser_, static_cast<unsigned char>(separator));
    csv_set_space_func(&parser_, IsBlank);
}

CsvReader::~CsvReader() {
    if (parserReady_) csv_free(&parser_);
}

void CsvReader::OnField(void* text, std::size_t length, void* self) {
    auto* me = static_cast<CsvReader*>(self);
    if (text)
        me->current_.emplace_back(std::string(static_cast<const char*>(text), length));
    else
        me->current_.emplace_back(std::nullopt);
}

void CsvReader::OnRecordEnd(int, void* self) {
    auto* me = static_cast<CsvReader*>(self);
    me->ready_.push_back(std::move(me->current_));
    me->current_.clear();
}

void CsvReader::Feed() {
    char chunk[kChunk];
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, in_.get());
    if (got == 0) {
        if (std::ferror(in_.get())) FailDamaged(file_, "errore di lettura dal disco");
        finished_ = true;
        // libcsv reports a quote left open only in its strict mode, which
        // would also refuse the stray quotes of real files (12" monitor);
        // its public state says it just as well: inside a quoted field.
        if (parser_.pstate == kInsideField && parser_.quoted)
            FailDamaged(file_, "un valore tra virgolette non è mai chiuso");
        if (csv_fini(&parser_, OnField, OnRecordEnd, this) != 0)
            FailDamaged(file_, "errore nell'interpretazione del testo", csv_strerror(csv_error(&parser_)));
        return;
    }
    if (std::memchr(chunk, '\0', got))
        Fail(err::NotADatabase, "Il file '" + file_ + "' non è un file di testo.");
    bytesRead_ += got;
    if (csv_parse(&parser_, chunk, got, OnField, OnRecordEnd, this) != got)
        FailDamaged(file_, "errore nell'interpretazione del testo", csv_strerror(csv_error(&parser_)));
}

bool CsvReader::Next(RawRecord& record) {
    while (ready_.empty()) {
        if (finished_) return false;
        Feed();
    }
    record = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

}  // namespace core::flatfile
