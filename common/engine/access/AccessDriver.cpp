#include <QString>

#include "common/engine/Drivers.h"
#include "common/engine/access/AccessConnection.h"
#include "common/engine/access/JetHeader.h"

namespace core {

namespace {

// Access files (Jet 3, Jet 4 and unencrypted ACE) through libmdb, read-only.
class AccessDriver : public Driver {
public:
    std::string Name() const override { return "Access"; }

    // "Access", "Access 2000", "MS Access", "Jet 3.x", "Jet 4.x"...
    bool HandlesDriverText(std::string_view driverText) const override {
        const QString text = QString::fromUtf8(driverText.data(), static_cast<qsizetype>(driverText.size())).trimmed();
        for (const char* prefix : {"access", "jet", "ms access", "microsoft access"})
            if (text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) return true;
        return false;
    }

    bool RecognisesHeader(std::string_view header) const override { return access::HasJetSignature(header); }

    std::shared_ptr<Connection> Open(const OpenRequest& request) override {
        return access::AccessConnection::Open(request.path, request.connect.password);
    }
};

}  // namespace

std::unique_ptr<Driver> MakeAccessDriver() { return std::make_unique<AccessDriver>(); }

}  // namespace core
