#include "tests/access/MdbTools.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace accesstest {

namespace {

constexpr char kFieldSeparator = '\x1f';
constexpr char kRowSeparator = '\x1e';
const std::string kNullMark = "<<NULL>>";

std::string Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("cannot run " + program.toStdString() + " " +
                                 arguments.join(' ').toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    const QByteArray out = process.readAllStandardOutput();
    return std::string(out.constData(), static_cast<std::size_t>(out.size()));
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

}  // namespace

bool MdbToolsAvailable() { return !QStandardPaths::findExecutable("mdb-export").isEmpty(); }

ExportedTable MdbExport(const std::string& file, const std::string& table) {
    const std::string out = Run("mdb-export", {"-Q", "-d", QString(QChar(kFieldSeparator)), "-R",
                                               QString(QChar(kRowSeparator)), "-0",
                                               QString::fromStdString(kNullMark), "-b", "hex", "-D",
                                               "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S",
                                               QString::fromStdString(file), QString::fromStdString(table)});
    ExportedTable result;
    auto lines = Split(out, kRowSeparator);
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) return result;
    result.columns = Split(lines.front(), kFieldSeparator);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::optional<std::string>> row;
        for (auto& field : Split(lines[i], kFieldSeparator)) {
            if (field == kNullMark) row.emplace_back(std::nullopt);
            else row.emplace_back(std::move(field));
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

std::vector<std::string> MdbTables(const std::string& file) {
    const std::string out = Run("mdb-tables", {"-S", "-1", QString::fromStdString(file)});
    std::vector<std::string> names;
    for (auto& line : Split(out, '\n'))
        if (!line.empty()) names.push_back(std::move(line));
    return names;
}

}  // namespace accesstest
