#include "common/DataHelpers.h"

#include <QComboBox>
#include <QListWidget>
#include <QVariant>

#include <cmath>
#include <exception>
#include <utility>

#include "common/Dialogs.h"
#include "common/Messages.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Error.h"

namespace core {
namespace {

thread_local std::function<std::string()> tOpenFailureDetails;

std::int32_t ItemDataAsInt32(const QVariant& data) {
    if (!data.isValid() || data.isNull()) return 0;
    bool ok = false;
    const double value = data.toDouble(&ok);
    if (!ok || std::isnan(value)) throw Error(err::TypeMismatch, "Tipo non corrispondente: il dato dell'elemento selezionato non è un numero.", "GetItemData");
    const double rounded = std::nearbyint(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        throw Error(err::Overflow, "Overflow: il dato dell'elemento selezionato supera i 32 bit.", "GetItemData");
    return static_cast<std::int32_t>(rounded);
}

}  // namespace

bool OpenDataControl(DataControl& dc, const std::string& query, const std::string& databasePath,
                     const std::string& password) {
    const std::string path = databasePath.empty() ? ThePrefs().destinationPath : databasePath;
    const std::string pwd = password.empty() ? ThePrefs().destinationPassword : password;
    int number = 0;
    std::string description;
    try {
        if (databasePath.empty() && DestinationIsServer()) {
            // The destination on a database server (DBCONNECT).
            PointAtDestination(dc, pwd);
        } else {
            dc.Connect = ";PWD=" + pwd;
            dc.DatabaseName = path;
        }
        dc.Exclusive = false;
        dc.RecordsetType = 1;
        dc.RecordSource = query;
        dc.Refresh();
        return true;
    } catch (const Error& e) {
        number = e.Number();
        description = e.Description();
    } catch (const std::exception& e) {
        // Not an engine error (out of memory, a library's own exception): it
        // is still reported, never let through.
        number = err::ReservedError;
        description = e.what();
    }
    std::string details;
    if (tOpenFailureDetails) {
        try {
            details = tOpenFailureDetails();
        } catch (const std::exception&) {
        }
    }
    TheDialogs().MessageBox(description, MsgButtons::Ok, MsgIcon::Critical, msg::ErrorTitle(number), details);
    return false;
}

OpenFailureDetails::OpenFailureDetails(std::function<std::string()> details)
    : previous_(std::exchange(tOpenFailureDetails, std::move(details))) {}

OpenFailureDetails::~OpenFailureDetails() { tOpenFailureDetails = std::move(previous_); }

std::int32_t GetItemData(const QComboBox& list) {
    const int index = list.currentIndex();
    return index < 0 ? 0 : ItemDataAsInt32(list.itemData(index));
}

std::int32_t GetItemData(const QListWidget& list) {
    const QListWidgetItem* item = list.currentItem();
    return item == nullptr ? 0 : ItemDataAsInt32(item->data(Qt::UserRole));
}

std::string CloseAll(std::initializer_list<DataControl*> controls)
{
    std::string failures;
    for (DataControl* control : controls) {
        try {
            control->Close();
        } catch (const std::exception& e) {
            failures += (failures.empty() ? "" : "\n") + std::string(e.what());
        }
    }
    return failures;
}

}  // namespace core

