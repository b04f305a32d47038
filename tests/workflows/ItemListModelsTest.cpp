// The list models: the rows and the item behind each row after a list read,
// a receive and a type change; what they give for display and alignment; and
// the resets that views follow.

#include "DataManagerFixture.h"

namespace qel::test {
namespace {

// Counts a model's resets.
struct ResetCount {
    explicit ResetCount(QAbstractItemModel& model) {
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { ++resets; });
    }
    int resets = 0;
};

TEST_F(DataManagerTest, TheKeyboardModelHoldsTheListedSlotsRowByRow) {
    manager->start();
    ResetCount count(manager->kbdSlotModel());
    manager->updateKbdList();
    EXPECT_GE(count.resets, 1) << "views follow the read";
    const KbdSlotModel& model = manager->kbdSlotModel();
    const KbdDataAttributeList& listed = manager->kbdLists().at(type::UserTone);
    ASSERT_EQ(model.rowCount(), static_cast<int>(listed.size()));
    EXPECT_EQ(model.columnCount(), 4);
    for (int row = 0; row < model.rowCount(); ++row)
        ASSERT_EQ(model.item(row), listed[static_cast<std::size_t>(row)]) << row;
    EXPECT_EQ(model.item(model.rowCount()), nullptr);
    EXPECT_EQ(model.item(-1), nullptr);
    EXPECT_EQ(model.data(model.index(0, KbdSlotModel::NoColumn)).toString(),
              QString::number(listed[0]->position));
    EXPECT_EQ(model.data(model.index(0, KbdSlotModel::SizeColumn)).toString(),
              QString::number(listed[0]->size));
    EXPECT_EQ(model.data(model.index(0, 0), ItemTypeRole).toInt(), type::UserTone);
    EXPECT_EQ(model.data(model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "No");
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), "Size");
}

TEST_F(DataManagerTest, ATypeChangeResetsEveryListToThatTypesItems) {
    manager->start();
    manager->updateKbdList();
    ResetCount kbd(manager->kbdSlotModel()), pc(manager->pcFileModel()),
        card(manager->cardFileModel());
    manager->changeDataType(type::Smf);
    EXPECT_EQ(kbd.resets, 1);
    EXPECT_EQ(pc.resets, 1);
    EXPECT_EQ(card.resets, 1);
    const KbdSlotModel& model = manager->kbdSlotModel();
    EXPECT_EQ(model.type(), type::Smf);
    EXPECT_EQ(manager->pcFileModel().type(), type::Smf);
    // The SMF list shows every slot, numbered.
    ASSERT_EQ(model.rowCount(), 200);
    for (int row = 0; row < model.rowCount(); ++row)
        EXPECT_EQ(model.data(model.index(row, KbdSlotModel::NoColumn)).toString(),
                  QString::number(model.item(row)->position));
}

TEST_F(DataManagerTest, AReceiveAddsTheFileAsARowWithItsRecordBehindIt) {
    manager->start();
    manager->updateKbdList();
    ASSERT_EQ(manager->pcFileModel().rowCount(), 0);
    ResetCount count(manager->pcFileModel());
    manager->getFromKbd(0);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const FileListModel& model = manager->pcFileModel();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_GE(count.resets, 1);
    EXPECT_EQ(model.item(0), manager->pcLists()[type::UserTone].front());
    EXPECT_TRUE(std::filesystem::exists(model.item(0)->path));
    EXPECT_EQ(model.data(model.index(0, FileListModel::NameColumn)).toString().toStdString(),
              manager->kbdRowItem(0)->name.c_str());
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), "Date");
    EXPECT_FALSE(model.data(model.index(0, FileListModel::DateColumn)).toString().isEmpty());
}

} // namespace
} // namespace qel::test
