#include "common/engine/sqlite/SqlDialect.h"

#include <cctype>
#include <vector>

#include "common/text/AsciiText.h"

namespace core::sqlite {
namespace {

enum class Kind { Space, Word, Name, Literal, DoubleQuoted, Number, Op, Other };

struct Token {
    Kind kind;
    std::string text;  // Name/DoubleQuoted/Literal: the content, unescaped
    std::size_t end = 0;  // offset just past the token in the statement
};

bool IsWordByte(unsigned char c) {
    // Bytes of UTF-8 sequences count as word bytes, so accented bare names
    // stay one word.
    return std::isalnum(c) || c == '_' || c >= 0x80;
}

// Reads a quoted run starting at sql[i] == quote, where a doubled quote
// stands for one; returns the content and moves i past the closing quote.
// An unterminated run takes the rest of the statement (SQLite then reports
// the syntax error itself).
std::string ReadQuoted(std::string_view sql, std::size_t& i, char quote) {
    std::string content;
    ++i;
    while (i < sql.size()) {
        if (sql[i] == quote) {
            if (i + 1 < sql.size() && sql[i + 1] == quote) {
                content += quote;
                i += 2;
                continue;
            }
            ++i;
            return content;
        }
        content += sql[i++];
    }
    return content;
}

std::vector<Token> Tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (std::isspace(c)) {
            std::size_t j = i;
            while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
            tokens.push_back({Kind::Space, std::string(sql.substr(i, j - i))});
            i = j;
        } else if (c == '\'') {
            tokens.push_back({Kind::Literal, ReadQuoted(sql, i, '\'')});
        } else if (c == '"') {
            tokens.push_back({Kind::DoubleQuoted, ReadQuoted(sql, i, '"')});
        } else if (c == '[') {
            const std::size_t close = sql.find(']', i + 1);
            const std::size_t end = close == std::string_view::npos ? sql.size() : close;
            tokens.push_back({Kind::Name, std::string(sql.substr(i + 1, end - i - 1))});
            i = close == std::string_view::npos ? sql.size() : close + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < sql.size() &&
                                       std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            std::size_t j = i;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) ||
                                      sql[j] == '.' ||
                                      ((sql[j] == '+' || sql[j] == '-') &&
                                       (sql[j - 1] == 'e' || sql[j - 1] == 'E'))))
                ++j;
            tokens.push_back({Kind::Number, std::string(sql.substr(i, j - i))});
            i = j;
        } else if (IsWordByte(c)) {
            std::size_t j = i;
            while (j < sql.size() && IsWordByte(static_cast<unsigned char>(sql[j]))) ++j;
            tokens.push_back({Kind::Word, std::string(sql.substr(i, j - i))});
            i = j;
        } else {
            // Two-character operators first.
            static constexpr std::string_view pairs[] = {"<>", "<=", ">=", "!=", "==", "||"};
            std::string op(1, static_cast<char>(c));
            for (auto p : pairs) {
                if (sql.substr(i, 2) == p) op = std::string(p);
            }
            tokens.push_back({Kind::Op, op});
            i += op.size();
        }
        tokens.back().end = i;
    }
    return tokens;
}

bool IsComparison(const Token& t) {
    if (t.kind != Kind::Op) return false;
    return t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "==" ||
           t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=";
}

const Token* Significant(const std::vector<Token>& tokens, std::size_t from, int step) {
    for (long i = static_cast<long>(from) + step; i >= 0 && i < static_cast<long>(tokens.size());
         i += step) {
        if (tokens[static_cast<std::size_t>(i)].kind != Kind::Space)
            return &tokens[static_cast<std::size_t>(i)];
    }
    return nullptr;
}

bool IsTextOperand(const Token* t, const TextColumnTest& isText) {
    if (!t) return false;
    if (t->kind == Kind::Literal || t->kind == Kind::DoubleQuoted) return true;
    if ((t->kind == Kind::Name || t->kind == Kind::Word) && isText) return isText(t->text);
    return false;
}

std::string QuoteLiteral(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
}

std::vector<const Token*> SignificantTokens(const std::vector<Token>& tokens) {
    std::vector<const Token*> out;
    for (const auto& t : tokens)
        if (t.kind != Kind::Space) out.push_back(&t);
    return out;
}

bool IsKeyword(const Token* t, std::string_view upper) {
    return t && t->kind == Kind::Word && text::AsciiUpper(t->text) == upper;
}

bool IsNameToken(const Token* t) {
    return t && (t->kind == Kind::Name || t->kind == Kind::Word || t->kind == Kind::DoubleQuoted);
}

}  // namespace

std::string QuoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    out += '"';
    return out;
}

std::string TranslateSql(std::string_view sql, const TextColumnTest& isTextColumn) {
    const std::vector<Token> tokens = Tokenize(sql);
    std::string out;
    out.reserve(sql.size() + 32);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        switch (t.kind) {
        case Kind::Name:
            // Kept in brackets, which SQLite also reads as a name. Double
            // quotes would be unsafe: SQLite takes a double-quoted name that
            // matches no column for a text literal, so a misspelt field in
            // a condition would quietly match nothing instead of failing.
            out += '[' + t.text + ']';
            break;
        case Kind::Literal:
        case Kind::DoubleQuoted: {
            out += QuoteLiteral(t.text);
            const Token* prev = Significant(tokens, i, -1);
            const Token* next = Significant(tokens, i, +1);
            // NOCASE folds ASCII letters only: "à" and "À" still differ.
            // The original engine folded every letter; codes and names in
            // these databases are almost always ASCII, and a custom
            // collation would make the databases unreadable by other tools.
            if ((prev && IsComparison(*prev)) || (next && IsComparison(*next)))
                out += " COLLATE NOCASE";
            break;
        }
        case Kind::Op:
            if (t.text == "+" && (IsTextOperand(Significant(tokens, i, -1), isTextColumn) ||
                                  IsTextOperand(Significant(tokens, i, +1), isTextColumn))) {
                out += "||";
            } else {
                out += t.text;
            }
            break;
        default:
            out += t.text;
        }
    }
    return out;
}

std::optional<std::string> MainTable(std::string_view sql) {
    const auto tokens = Tokenize(sql);
    const auto sig = SignificantTokens(tokens);
    for (std::size_t i = 0; i + 1 < sig.size(); ++i) {
        if (IsKeyword(sig[i], "FROM") || IsKeyword(sig[i], "UPDATE") || IsKeyword(sig[i], "INTO")) {
            if (IsNameToken(sig[i + 1])) return sig[i + 1]->text;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<TableSelect> ParseTableSelect(std::string_view sql) {
    const auto tokens = Tokenize(sql);
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < tokens.size() && tokens[i].kind == Kind::Space) ++i;
    };
    auto expectWord = [&](std::string_view w) {
        skipSpace();
        if (i < tokens.size() && IsKeyword(&tokens[i], w)) {
            ++i;
            return true;
        }
        return false;
    };
    if (!expectWord("SELECT")) return std::nullopt;
    skipSpace();
    if (i >= tokens.size() || tokens[i].kind != Kind::Op || tokens[i].text != "*") return std::nullopt;
    ++i;
    if (!expectWord("FROM")) return std::nullopt;
    skipSpace();
    if (i >= tokens.size() || !IsNameToken(&tokens[i])) return std::nullopt;
    TableSelect result;
    result.table = tokens[i].text;
    const std::size_t tailBegin = tokens[i].end;
    ++i;
    // The rest may only be a WHERE or ORDER BY clause: a join, a second
    // table or a grouping gives rows that cannot be written back.
    skipSpace();
    if (i < tokens.size()) {
        const Token* t = &tokens[i];
        if (!IsKeyword(t, "WHERE") && !IsKeyword(t, "ORDER") && !(t->kind == Kind::Op && t->text == ";"))
            return std::nullopt;
        for (std::size_t k = i; k < tokens.size(); ++k) {
            if (IsKeyword(&tokens[k], "JOIN") || IsKeyword(&tokens[k], "GROUP") ||
                IsKeyword(&tokens[k], "UNION"))
                return std::nullopt;
        }
    }
    result.tail = std::string(sql.substr(tailBegin));
    return result;
}

std::string Literal(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace core::sqlite
