#include "common/engine/SimpleSql.h"

#include <cctype>

#include "common/text/AsciiText.h"

namespace core {

namespace {

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ >= text_.size() || (text_[pos_] == ';' && RestBlank(pos_ + 1));
    }
    bool Keyword(std::string_view word) {
        SkipBlanks();
        if (text_.size() - pos_ < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(text_[pos_ + i])) != word[i]) return false;
        const std::size_t after = pos_ + word.size();
        if (after < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[after])) || text_[after] == '_'))
            return false;
        pos_ = after;
        return true;
    }
    bool Symbol(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // [name with blanks] or a bare name.
    bool Name(std::string& out) {
        SkipBlanks();
        if (pos_ >= text_.size()) return false;
        if (text_[pos_] == '[') {
            const std::size_t close = text_.find(']', pos_ + 1);
            if (close == std::string_view::npos) return false;
            out = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
            return !out.empty();
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
               text_[pos_] != ';' && text_[pos_] != '=' && text_[pos_] != '[')
            ++pos_;
        out = std::string(text_.substr(start, pos_ - start));
        return !out.empty();
    }
    // 'text with '' doubled'
    bool Literal(std::string& out) {
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != '\'') return false;
        out.clear();
        for (std::size_t i = pos_ + 1; i < text_.size(); ++i) {
            if (text_[i] == '\'') {
                if (i + 1 < text_.size() && text_[i + 1] == '\'') {
                    out += '\'';
                    ++i;
                } else {
                    pos_ = i + 1;
                    return true;
                }
            } else {
                out += text_[i];
            }
        }
        return false;
    }

private:
    bool RestBlank(std::size_t from) const {
        for (std::size_t i = from; i < text_.size(); ++i)
            if (!std::isspace(static_cast<unsigned char>(text_[i]))) return false;
        return true;
    }
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<SimpleSelect> ParseSimpleSelect(std::string_view sql) {
    Scanner scan(sql);
    SimpleSelect select;
    if (!scan.Keyword("SELECT") || !scan.Symbol('*') || !scan.Keyword("FROM") || !scan.Name(select.table))
        return std::nullopt;
    if (scan.AtEnd()) return select;
    std::string field;
    if (!scan.Keyword("WHERE") || !scan.Name(field) || !scan.Symbol('=') || !scan.Literal(select.whereValue) ||
        !scan.AtEnd())
        return std::nullopt;
    select.whereField = field;
    return select;
}

bool IsActionStatement(std::string_view sql) {
    Scanner scan(sql);
    for (std::string_view word : {"DELETE", "UPDATE", "INSERT", "CREATE", "DROP", "ALTER"}) {
        Scanner probe(sql);
        if (probe.Keyword(word)) return true;
    }
    if (!scan.Keyword("SELECT")) return false;
    // SELECT ... INTO makes a table.
    return text::AsciiUpper(sql).find(" INTO ") != std::string::npos;
}

}  // namespace core
