#pragma once
// Pointing a data control at a database and a query, and reading the item
// data of a list's selected entry.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

class QComboBox;
class QListWidget;

namespace core {

class DataControl;

// Sets the data control's connect text (";PWD=" + password), database,
// Exclusive false, RecordsetType 1 and record source, and refreshes it. An
// empty path means the destination database, an empty password the
// destination password (program-wide values). On failure shows the error's
// description in a critical message box titled with the error number,
// returns false and leaves the properties as they were set. Never throws
// (except that showing the message needs dialogs installed).
bool OpenDataControl(DataControl& dc, const std::string& query, const std::string& databasePath,
                     const std::string& password);

// While one lives, the failure message of OpenDataControl on this thread
// carries what `details` returns as its details: a run stopped by a failed
// open shows, like any other stop, what it had done so far.
class OpenFailureDetails {
public:
    explicit OpenFailureDetails(std::function<std::string()> details);
    ~OpenFailureDetails();
    OpenFailureDetails(const OpenFailureDetails&) = delete;
    OpenFailureDetails& operator=(const OpenFailureDetails&) = delete;

private:
    std::function<std::string()> previous_;
};

// Closes each data control (closing commits what it wrote). Never throws:
// returns what failed, in words, empty when every one closed. A run ends
// with this, so that nothing of it stays open on its destination.
std::string CloseAll(std::initializer_list<DataControl*> controls);

// The item data (Qt::UserRole) of the selected entry as a 32-bit integer; 0
// when nothing is selected or the entry has no item data. Raises 13 for item
// data that is no number and 6 for a number outside 32 bits.
std::int32_t GetItemData(const QComboBox& list);
std::int32_t GetItemData(const QListWidget& list);

}  // namespace core
