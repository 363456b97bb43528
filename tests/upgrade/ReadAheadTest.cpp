// The archive's rows read on a second thread: the same rows, values and
// positions as a plain loop, an error raised at the row where the reader met
// it, and a caller that stops early never left waiting.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "upgrade/ReadAhead.h"

namespace {

using core::Variant;
using upgrade::ReadAhead;

// rows rows of (number, "riga <number>", number * 1.5); Next throws 3049
// when it would move onto row failAt.
class CountingCursor : public core::Cursor {
public:
    CountingCursor(int rows, std::optional<int> failAt) : rows_(rows), failAt_(failAt) {
        columns_.resize(3);
        columns_[0].name = "ID";
        columns_[1].name = "sNome";
        columns_[2].name = "nValore";
        Load();
    }
    const std::vector<core::FieldInfo>& Columns() const override { return columns_; }
    bool AtEnd() const override { return row_ >= rows_; }
    void Next() override {
        if (failAt_ && row_ + 1 == *failAt_) throw core::Error(3049, "pagina danneggiata");
        ++row_;
        ++moves;
        Load();
    }
    const Variant& Get(int column) const override { return values_[static_cast<std::size_t>(column)]; }
    double Percent() const override { return rows_ ? 100.0 * row_ / rows_ : 0.0; }

    std::atomic<int> moves{0};

private:
    void Load() {
        values_ = {Variant(static_cast<long long>(row_)), Variant("riga " + std::to_string(row_)),
                   Variant(row_ * 1.5)};
    }
    int rows_;
    std::optional<int> failAt_;
    int row_ = 0;
    std::vector<core::FieldInfo> columns_;
    std::vector<Variant> values_;
};

struct Source {
    explicit Source(int rows, std::optional<int> failAt = std::nullopt) {
        auto owned = std::make_unique<CountingCursor>(rows, failAt);
        cursor = owned.get();
        recordset = std::make_unique<core::Recordset>(nullptr, std::move(owned), true);
    }
    CountingCursor* cursor;
    std::unique_ptr<core::Recordset> recordset;
};

TEST(ReadAhead, GivesEveryRowInOrderWithItsPosition) {
    // Fewer rows than a batch, exactly a batch, and many batches (more than
    // the reader may hold ahead, so it waits for the caller).
    for (const int rows : {0, 1, 256, 257, 5000}) {
        SCOPED_TRACE(rows);
        Source source(rows);
        ReadAhead reader(*source.recordset, {2, 0});
        int seen = 0;
        while (ReadAhead::Row* row = reader.Next()) {
            ASSERT_EQ(row->values.size(), 2u);
            EXPECT_DOUBLE_EQ(row->values[0].AsDouble(), seen * 1.5);
            EXPECT_EQ(row->values[1].AsInteger(), seen);
            EXPECT_DOUBLE_EQ(row->percent, 100.0 * seen / rows);
            ++seen;
        }
        EXPECT_EQ(seen, rows);
        EXPECT_EQ(reader.Next(), nullptr);  // and stays at the end
        EXPECT_TRUE(source.recordset->Eof());
    }
}

TEST(ReadAhead, ErrorComesAfterEveryRowBeforeIt) {
    for (const int failAt : {1, 256, 1000}) {
        SCOPED_TRACE(failAt);
        Source source(5000, failAt);
        ReadAhead reader(*source.recordset, {1});
        int seen = 0;
        try {
            while (ReadAhead::Row* row = reader.Next()) {
                EXPECT_EQ(row->values[0].AsText(), "riga " + std::to_string(seen));
                ++seen;
            }
            ADD_FAILURE() << "no error";
        } catch (const core::Error& e) {
            EXPECT_EQ(e.Number(), 3049);
        }
        EXPECT_EQ(seen, failAt);
    }
}

TEST(ReadAhead, CallerThatStopsEarlyIsNotKeptWaiting) {
    Source source(100000);
    {
        ReadAhead reader(*source.recordset, {0});
        for (int i = 0; i < 10; ++i) ASSERT_NE(reader.Next(), nullptr);
    }
    // The reader stopped with a few batches read ahead, not at the end.
    EXPECT_LT(source.cursor->moves.load(), 100000 / 2);
}

}  // namespace
