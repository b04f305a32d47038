// What the list models give a view beyond their texts: empty slots as such,
// the keys rows sort by, and the rows a drag carries.

#include "DataManagerFixture.h"
#include "support/SmfBytes.h"
#include "support/TestFiles.h"

#include <QSortFilterProxyModel>
#include <QUrl>
#include <memory>

namespace qel::test {
namespace {

class ListRows : public DataManagerTest {
protected:
    ListRows() { manager->start(); }

    const KbdSlotModel& kbd() { return manager->kbdSlotModel(); }
    QVariant kbdData(int row, int column, int role) {
        return kbd().data(kbd().index(row, column), role);
    }
};

TEST_F(ListRows, EmptySlotsReadEmptyWithoutASizeAndAreFlaggedForTheView) {
    kbdsim::KeyboardMemory& memory = simulator->memory();
    memory.clear(category::Tone, 750); // a fixed-size block back to its blank start
    memory.clear(category::Song, 2);
    manager->updateKbdList();
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();

    struct Case {
        type::id type;
        int row;
        bool empty;
    };
    for (const Case& c :
         {Case{type::UserTone, 0, true}, Case{type::UserTone, 1, false}, Case{type::Song, 2, true},
          Case{type::Song, 0, false}, Case{type::Registration, 0, false}}) {
        SCOPED_TRACE(std::string(typeLabels[c.type]) + " row " + std::to_string(c.row));
        manager->changeDataType(c.type);
        const KbdDataAttributePtr slot = manager->kbdRowItem(c.row);
        ASSERT_TRUE(slot);
        EXPECT_EQ(kbdData(c.row, KbdSlotModel::NameColumn, EmptyRole).toBool(), c.empty);
        EXPECT_EQ(kbdData(c.row, KbdSlotModel::IconColumn, EmptyRole).toBool(), c.empty)
            << "every column";
        const std::string name = kbdRows()[static_cast<std::size_t>(c.row)].name;
        const std::string size = kbdRows()[static_cast<std::size_t>(c.row)].size;
        if (c.empty) {
            EXPECT_EQ(name, "(empty)");
            EXPECT_EQ(size, "");
        } else {
            EXPECT_EQ(name, slot->name);
            EXPECT_EQ(size, std::to_string(slot->size));
        }
    }
}

TEST_F(ListRows, ASlotThatCouldNotBeReadIsUnknownNotEmpty) {
    manager->updateKbdList();
    manager->changeDataType(type::UserRhythm);
    manager->kbdRowItem(5)->known = false;
    manager->changeDataType(type::UserRhythm); // shown again
    EXPECT_EQ(kbdRows()[5].name, "?");
    EXPECT_EQ(kbdRows()[5].size, "?");
    EXPECT_FALSE(kbdData(5, KbdSlotModel::NameColumn, EmptyRole).toBool());
}

TEST_F(ListRows, SortingBySortKeysOrdersNumbersAndSizesAsNumbersAndKeepsTheItemBehindEachRow) {
    kbdsim::KeyboardMemory& memory = simulator->memory();
    for (std::uint16_t n = 140; n < 156; ++n)
        memory.clear(category::Rhythm, n);
    for (const auto& [number, size] : std::vector<std::pair<std::uint16_t, std::size_t>>{
             {140, 900}, {141, 10}, {143, 100}, {150, 2}})
        ASSERT_EQ(memory.store(category::Rhythm, number, ByteVector(size, 1)),
                  kbdsim::KeyboardMemory::StoreResult::Stored);
    manager->updateKbdList();
    manager->changeDataType(type::UserRhythm);

    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&manager->kbdSlotModel());
    proxy.setSortRole(SortRole);
    proxy.sort(KbdSlotModel::SizeColumn, Qt::DescendingOrder);
    std::vector<std::string> sizes;
    for (int row = 0; row < 4; ++row)
        sizes.push_back(proxy.index(row, KbdSlotModel::SizeColumn).data().toString().toStdString());
    EXPECT_EQ(sizes, (std::vector<std::string>{"900", "100", "10", "2"}));
    EXPECT_EQ(proxy.index(15, KbdSlotModel::NameColumn).data().toString(), "(empty)")
        << "empty slots sort below every size";
    // The row shown second stands for slot 143.
    EXPECT_EQ(manager->kbdRowItem(proxy.mapToSource(proxy.index(1, 0)).row())->position, 143);

    proxy.sort(KbdSlotModel::NoColumn, Qt::AscendingOrder);
    for (int row = 0; row < proxy.rowCount(); ++row)
        ASSERT_EQ(proxy.index(row, KbdSlotModel::NoColumn).data().toString(),
                  QString::number(140 + row))
            << "by number, not by text";
}

TEST_F(ListRows, AFileListSortsBySizeAsANumberAndByDate) {
    writeFile(dataDirectory + "big.mid", test::smfWithText(1000));
    writeFile(dataDirectory + "small.mid", test::smfWithText(9));
    manager->updatePcList();
    manager->changeDataType(type::Smf);
    const FileListModel& model = manager->pcFileModel();
    ASSERT_EQ(model.rowCount(), 2);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&manager->pcFileModel());
    proxy.setSortRole(SortRole);
    proxy.sort(FileListModel::SizeColumn, Qt::AscendingOrder);
    // As text "1022" would sort before "31".
    EXPECT_EQ(model.item(proxy.mapToSource(proxy.index(0, 0)).row())->path,
              dataDirectory + "small.mid");
    EXPECT_EQ(model.data(model.index(0, FileListModel::DateColumn), SortRole).toLongLong(),
              static_cast<qint64>(model.item(0)->date));
}

TEST_F(ListRows, ADragCarriesTheModelsOwnRowsOnceEachWithTheTypeShown) {
    manager->updateKbdList();
    manager->changeDataType(type::UserRhythm);
    const KbdSlotModel& model = manager->kbdSlotModel();
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsDragEnabled);
    EXPECT_EQ(model.mimeTypes(), QStringList{kbdRowsMimeType});
    const std::unique_ptr<QMimeData> data(model.mimeData(
        {model.index(3, 1), model.index(3, 2), model.index(1, 0), model.index(12, 3)}));
    ASSERT_TRUE(data);
    const std::optional<DraggedRows> rows = draggedRows(*data, kbdRowsMimeType);
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->type, type::UserRhythm);
    EXPECT_EQ(rows->rows, (std::vector<int>{1, 3, 12}));
    EXPECT_FALSE(draggedRows(*data, pcRowsMimeType)) << "not PC rows";
    EXPECT_EQ(model.mimeData({}), nullptr);
}

TEST_F(ListRows, ADragOfPcRowsAlsoOffersTheFiles) {
    writeFile(dataDirectory + "a.mid", test::smfWithText(10));
    writeFile(dataDirectory + "b.mid", test::smfWithText(20));
    manager->updatePcList();
    manager->changeDataType(type::Smf);
    const FileListModel& model = manager->pcFileModel();
    const std::unique_ptr<QMimeData> data(model.mimeData({model.index(1, 1), model.index(0, 1)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(draggedRows(*data, pcRowsMimeType)->rows, (std::vector<int>{0, 1}));
    ASSERT_EQ(data->urls().size(), 2);
    EXPECT_EQ(data->urls()[0].toLocalFile().toStdString(), model.item(0)->path);
    EXPECT_EQ(manager->cardFileModel().mimeTypes(), QStringList{cardRowsMimeType});
}

TEST(DraggedRows, AnythingButRowsOfAListIsNoDrag) {
    for (const char* text : {"", "5", "x 1", "5 -1", "99 1", "-1 2", "5 1 x", "5 1  2", "5 1.5"}) {
        QMimeData data;
        data.setData(kbdRowsMimeType, text);
        EXPECT_FALSE(draggedRows(data, kbdRowsMimeType)) << '"' << text << '"';
    }
    QMimeData good;
    good.setData(kbdRowsMimeType, "8 0 199");
    ASSERT_TRUE(draggedRows(good, kbdRowsMimeType));
    EXPECT_EQ(draggedRows(good, kbdRowsMimeType)->rows, (std::vector<int>{0, 199}));
}

} // namespace
} // namespace qel::test
