// The category classes: which class each category number gets, their name
// offsets, and entry names from file paths.

#include "model/VdfCategories.h"
#include "model/VdfData.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(VdfCategory, FactoryGivesAClassForExactlyTheFourteenCategories) {
    const std::uint16_t withClass[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 0x8000};
    for (std::uint16_t id : withClass) {
        auto object = makeCategory(id);
        ASSERT_NE(object, nullptr) << id;
        EXPECT_EQ(object->category(), id);
    }
    const std::uint16_t withoutClass[] = {0, 1, 14, 15, 17, 0x7FFF, 0x8001, 0xFFFF};
    for (std::uint16_t id : withoutClass)
        EXPECT_EQ(makeCategory(id), nullptr) << id;
}

TEST(VdfCategory, NamedCategoriesAndTheirNameOffsets) {
    const std::pair<std::uint16_t, int> named[] = {{2, 36}, {4, 0}, {9, 0}, {11, 2}, {13, 58}};
    for (auto [id, offset] : named) {
        auto object = makeCategory(id);
        auto* namedObject = dynamic_cast<VdfNamedDataCategory*>(object.get());
        ASSERT_NE(namedObject, nullptr) << id;
        EXPECT_EQ(namedObject->nameOffset(), offset) << id;
    }
    for (std::uint16_t id : {3, 5, 6, 7, 8, 10, 12, 16, 0x8000})
        EXPECT_NE(dynamic_cast<VdfUnnamedDataCategory*>(makeCategory(id).get()), nullptr) << id;
}

TEST(VdfCategory, EntryNameFromPathDropsFolderAndExtensionAndPads) {
    const std::pair<const char*, const char*> cases[] = {
        {"/data/AB.vdf", "AB      "},
        {"/data/ABCDEFGHIJ.vdf", "ABCDEFGHIJ"},
        {"C:\\data\\WIN.vdf", "WIN     "},
        {"/data/two.dots.mid", "two.dots"},
        {"/data/.vdf", "        "},
        {"plain", "plain   "},
    };
    for (auto [path, name] : cases)
        EXPECT_EQ(entryNameFromPath(path), name) << path;
}

TEST(VdfCategory, PackageItemsSortAfterAllOtherCategories) {
    VdfDataChildren children;
    for (category::id c : {category::Package, category::SMF, category::Tone, category::DrawbarOrgan})
        children[c];
    std::vector<category::id> order;
    for (const auto& [c, items] : children)
        order.push_back(c);
    EXPECT_EQ(order, (std::vector<category::id>{category::Tone, category::DrawbarOrgan,
                                                category::SMF, category::Package}));
}

} // namespace
} // namespace qel
