#pragma once

// The bench of the transfer tests: a data manager whose keyboard list was
// read, and what the keyboard was sent since (deletes, data blocks).

#include "support/ScratchFolder.h"
#include "support/SentMessages.h"
#include "support/TestFiles.h"
#include "workflows/DataManagerFixture.h"

#include <algorithm>

namespace qel::test {

class Transfers : public DataManagerTest {
protected:
    Transfers() {
        manager->start();
        manager->updateKbdList();
        EXPECT_TRUE(view.kbdErrors.empty());
        sent.clear();
    }

    kbdsim::KeyboardMemory& memory() { return simulator->memory(); }

    // The row of the first item of the current type whose size is not 0.
    int firstItemRow() const {
        for (int row = 0; manager->kbdRowItem(row); ++row)
            if (manager->kbdRowItem(row)->size != 0)
                return row;
        return -1;
    }

    // The row of the PC list that shows the file at `path`; -1 if none.
    int pcRowOf(const std::string& path) const {
        for (int row = 0; manager->pcRowItem(row); ++row)
            if (manager->pcRowItem(row)->path == path)
                return row;
        return -1;
    }

    // Writes a PC file into the data directory and reads the PC list again.
    std::string putPcFile(const std::string& name, const ByteVector& bytes) {
        const std::string path = dataDirectory + name;
        writeFile(path, bytes);
        manager->updatePcList();
        return path;
    }

    std::vector<std::string> dataFiles() const { return ScratchFolder::fileNames(dataDirectory); }

    // The delete commands sent since the last clear, as (parameter, number).
    std::vector<std::pair<int, std::int32_t>> deletes() const {
        return test::commandsSent(sent, test::isDeleteParameter);
    }

    std::size_t dataBlocksSent() const { return test::countOfType(sent, sysex::DataBlock); }

    // The buttons and locks as a finished action leaves them on the "Keyboard" tab.
    void expectActionEnded() {
        EXPECT_TRUE(view.send);
        EXPECT_TRUE(view.receive);
        EXPECT_TRUE(view.update);
        EXPECT_FALSE(view.locked);
        EXPECT_FALSE(view.progressShown);
        EXPECT_FALSE(manager->busy());
        EXPECT_EQ(manager->frame().dialog(), nullptr);
    }

    // Fills the data area with SMF items in slots 20 and up until `free` bytes are left.
    void leaveDataMemory(std::uint32_t free) {
        for (std::uint16_t n = 20; memory().freeDataMemory() > free; ++n) {
            const std::uint32_t size = std::min<std::uint32_t>(
                200000, (memory().freeDataMemory() - free) & ~std::uint32_t{1});
            if (size == 0)
                break;
            ASSERT_EQ(memory().store(category::SMF, n, ByteVector(size, 0x11)),
                      kbdsim::KeyboardMemory::StoreResult::Stored);
        }
    }
};

} // namespace qel::test
