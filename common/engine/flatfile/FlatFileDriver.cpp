#include "common/engine/flatfile/FlatFileDriver.h"

#include <QString>

#include "common/engine/Drivers.h"
#include "common/engine/flatfile/FlatFileConnection.h"
#include "common/engine/flatfile/FlatFileSupport.h"

namespace core::flatfile {

std::optional<FileFormat> FormatOfDriverText(std::string_view driverText) {
    const QString text = QString::fromUtf8(driverText.data(), qsizetype(driverText.size())).trimmed();
    auto is = [&](const char* name) { return text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("dBASE III") || is("dBASE IV") || is("dBASE 5.0")) return FileFormat::Dbase;
    if (is("Text")) return FileFormat::Text;
    for (const char* v : {"Excel 3.0", "Excel 4.0", "Excel 5.0", "Excel 7.0", "Excel 8.0", "Excel 97"})
        if (is(v)) return FileFormat::Excel;
    return std::nullopt;
}

namespace {

class FlatFileDriver final : public Driver {
public:
    std::string Name() const override { return "dBASE, testo ed Excel"; }
    bool HandlesDriverText(std::string_view driverText) const override {
        return FormatOfDriverText(driverText).has_value();
    }
    // Never chosen by a file's first bytes: these formats carry no reliable
    // signature, and an empty connect text means an Access or SQLite file.
    std::shared_ptr<Connection> Open(const OpenRequest& request) override {
        const auto format = FormatOfDriverText(request.connect.driver);
        if (!format)
            throw Error(err::NotInstalledIsam, "Impossibile trovare il driver ISAM installabile.",
                        kErrorSource);
        return std::make_shared<FlatFileConnection>(request.path, *format);
    }
};

}  // namespace
}  // namespace core::flatfile

namespace core {
std::unique_ptr<Driver> MakeFlatFileDriver() { return std::make_unique<flatfile::FlatFileDriver>(); }
}  // namespace core
