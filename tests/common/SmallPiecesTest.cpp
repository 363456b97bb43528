#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>

#include <limits>

#include "common/DataHelpers.h"
#include "common/DateLabel.h"
#include "common/ValueClasses.h"
#include "common/engine/Error.h"

namespace {

TEST(DateLabelTest, ItalianLongDateInProperCase) {
    EXPECT_EQ(core::LongDateLabel(QDate(2002, 9, 25)), "Mercoled\xC3\xAC, 25 Settembre 2002");
    EXPECT_EQ(core::LongDateLabel(QDate(2024, 3, 3)), "Domenica, 03 Marzo 2024");
    EXPECT_EQ(core::LongDateLabel(QDate(1999, 12, 31)), "Venerd\xC3\xAC, 31 Dicembre 1999");
    EXPECT_FALSE(core::TodayLabel().empty());
}

TEST(DateLabelTest, ProperCaseCapitalisesEachWordOnly) {
    EXPECT_EQ(core::ProperCase("mercoled\xC3\xAC, 25 SETTEMBRE"), "Mercoled\xC3\xAC, 25 Settembre");
    EXPECT_EQ(core::ProperCase("\xC3\xA8 l'anno  nuovo"), "\xC3\x88 L'anno  Nuovo");
    EXPECT_EQ(core::ProperCase(""), "");
}

TEST(ValueClassesTest, NewObjectsHoldZeroAndEmptyTexts) {
    const core::cTable table;
    EXPECT_EQ(table.ID, 0);
    EXPECT_TRUE(table.Name.empty() && table.Table.empty());
    const core::cField field;
    EXPECT_EQ(field.ID, 0);
    EXPECT_TRUE(field.Field.empty() && field.Name.empty());
    const core::cDBFormat format;
    EXPECT_EQ(format.ID, 0);
    EXPECT_TRUE(format.Driver.empty() && format.Ext.empty() && format.Name.empty());
    const core::cFile file;
    EXPECT_EQ(file.FileName, "");
    EXPECT_EQ(file.FilterIndex(), 0);
}

TEST(ValueClassesTest, FilterIndexOverflowsOutside16Bits) {
    core::cFile file;
    file.SetFilterIndex(32767);
    EXPECT_EQ(file.FilterIndex(), 32767);
    file.SetFilterIndex(-32768);
    EXPECT_EQ(file.FilterIndex(), -32768);
    file.SetFilterIndex(3);
    for (std::int64_t bad : {std::int64_t{32768}, std::int64_t{-32769}, std::int64_t{70000},
                             std::int64_t{std::numeric_limits<std::int32_t>::max()}}) {
        try {
            file.SetFilterIndex(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const core::Error& e) {
            EXPECT_EQ(e.Number(), core::err::Overflow);
        }
        EXPECT_EQ(file.FilterIndex(), 3) << "a refused value must not change the stored one";
    }
}

QApplication& App() {
    static int argc = 1;
    static char name[] = "common_foundation_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

TEST(GetItemDataTest, SelectedEntrysItemData) {
    App();
    QComboBox combo;
    EXPECT_EQ(core::GetItemData(combo), 0);  // empty list
    combo.addItem("Clienti", 7);
    combo.addItem("Articoli", 12);
    combo.addItem("Senza dato");
    combo.setCurrentIndex(0);
    EXPECT_EQ(core::GetItemData(combo), 7);
    combo.setCurrentIndex(1);
    EXPECT_EQ(core::GetItemData(combo), 12);
    combo.setCurrentIndex(2);
    EXPECT_EQ(core::GetItemData(combo), 0);
    combo.setCurrentIndex(-1);
    EXPECT_EQ(core::GetItemData(combo), 0);
    combo.addItem("Testo", "abc");
    combo.setCurrentIndex(3);
    EXPECT_THROW(core::GetItemData(combo), core::Error);

    QListWidget list;
    EXPECT_EQ(core::GetItemData(list), 0);
    auto* item = new QListWidgetItem("Zone", &list);
    item->setData(Qt::UserRole, -5);
    list.setCurrentRow(0);
    EXPECT_EQ(core::GetItemData(list), -5);
}

}  // namespace
