#include "common/engine/odbc/OdbcDialect.h"

#include <cctype>

namespace core::odbc {

std::string QuoteIdentifier(std::string_view name, const Dialect& dialect) {
    if (dialect.quote.empty() || dialect.quote == " ") return std::string(name);
    std::string out = dialect.quote;
    for (char c : name) {
        out += c;
        if (std::string_view(&c, 1) == dialect.quote) out += c;
    }
    return out + dialect.quote;
}

namespace {

// Reads a literal or a bracketed name starting at pos; returns its end.
std::size_t LiteralEnd(std::string_view sql, std::size_t pos) {
    for (std::size_t i = pos + 1; i < sql.size(); ++i) {
        if (sql[i] == '\'') {
            if (i + 1 < sql.size() && sql[i + 1] == '\'') ++i;
            else return i + 1;
        }
    }
    return sql.size();
}

}  // namespace

std::string TranslateSql(std::string_view sql, const Dialect& dialect, const TextColumnTest& isTextColumn) {
    std::string out;
    out.reserve(sql.size() + 16);
    bool lastOperandText = false;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'') {
            const std::size_t end = LiteralEnd(sql, i);
            out.append(sql.substr(i, end - i));
            lastOperandText = true;
            i = end;
        } else if (c == '[') {
            std::size_t close = sql.find(']', i + 1);
            if (close == std::string_view::npos) close = sql.size();
            const std::string_view name = sql.substr(i + 1, close - i - 1);
            out += QuoteIdentifier(name, dialect);
            lastOperandText = isTextColumn && isTextColumn(name);
            i = close + 1;
        } else if (c == '+' && dialect.concat != "+") {
            std::size_t next = i + 1;
            while (next < sql.size() && std::isspace(static_cast<unsigned char>(sql[next]))) ++next;
            bool nextText = false;
            if (next < sql.size() && sql[next] == '\'') {
                nextText = true;
            } else if (next < sql.size() && sql[next] == '[') {
                std::size_t close = sql.find(']', next + 1);
                if (close == std::string_view::npos) close = sql.size();
                nextText = isTextColumn && isTextColumn(sql.substr(next + 1, close - next - 1));
            }
            out += (lastOperandText || nextText) ? dialect.concat : "+";
            ++i;
        } else {
            if (!std::isspace(static_cast<unsigned char>(c)) && c != '(' && c != ')') lastOperandText = false;
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace core::odbc
