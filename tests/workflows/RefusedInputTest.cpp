// Files the data manager cannot use are refused before the keyboard hears a
// single message: a Send of a file whose sizes or offsets do not fit its
// length, or that is no regular file, and a Receive into a folder that cannot
// take the file.

#include "model/ContainerLayout.h"
#include "model/VdfData.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"
#include "support/TestFiles.h"
#include "workflows/TransfersFixture.h"

#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qel {
namespace {

using namespace std::chrono_literals;
using test::PackageBuilder;
using test::singleItemFile;
using test::Transfers;
using test::writeFile;

void setBe32(ByteVector& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + static_cast<std::size_t>(i)) =
            static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// File offset of rhythm entry `i` of a package's directory: size, then offset.
std::size_t rhythmEntry(int i) {
    return VdfData::headerSize + files::directory::rhythmEntries + 8 * static_cast<std::size_t>(i);
}

struct BadFile {
    const char* what;
    const char* name;
    type::id type;
    ByteVector bytes;
};

std::vector<BadFile> badFiles() {
    std::vector<BadFile> files;
    ByteVector rhythm = singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(400, 3));
    rhythm.resize(100);
    files.push_back({"a rhythm cut to 100 bytes", "cut.vdf", type::UserRhythm, rhythm});
    for (std::uint32_t claim : {0x40000000u, 0xFFFFFFFFu})
        files.push_back(
            {"a size field that claims 1 to 4 GB", "huge.vdf", type::UserRhythm,
             singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(36, 3), claim)});
    PackageBuilder package;
    package.tones(1).rhythm(0, "PKGRHYTM", 400);
    ByteVector farOffset = package.build();
    setBe32(farOffset, rhythmEntry(0) + 4, 0xFFFFFF00u);
    files.push_back(
        {"a package rhythm offset past the end", "offset.vdf", type::Package, farOffset});
    ByteVector hugeSize = package.build();
    setBe32(hugeSize, rhythmEntry(0), 0xC0000000u);
    files.push_back({"a package rhythm size of 3 GB", "size.vdf", type::Package, hugeSize});
    ByteVector song = test::smfFile(0, 1, 96, {"00 90 3C 40 60 80 3C 00 00 FF 2F 00"});
    song.resize(song.size() - 6); // the track's length claims bytes that are not there
    files.push_back({"a song whose track is cut", "cut.mid", type::Smf, song});
    return files;
}

TEST_F(Transfers, AFileTheSendWouldRefuseIsRefusedBeforeAnyMidiMessage) {
    for (const BadFile& bad : badFiles()) {
        SCOPED_TRACE(bad.what);
        const std::string path = dataDirectory + bad.name;
        writeFile(path, bad.bytes);
        manager->changeDataType(bad.type);
        view.kbdErrors.clear();
        sent.clear();
        manager->putFileToKbd(path, 0);
        ASSERT_EQ(view.kbdErrors.size(), 1u);
        if (bad.type == type::Smf)
            EXPECT_EQ(view.kbdErrors[0].rfind("Can't open the file: " + path + " (", 0), 0u)
                << view.kbdErrors[0];
        else
            EXPECT_EQ(view.kbdErrors[0], "Illegal Format");
        EXPECT_TRUE(sent.empty()) << sent.size() << " MIDI messages";
        expectActionEnded();
        std::filesystem::remove(path);
    }
}

TEST_F(Transfers, AFifoGivenToSendIsRefusedAtOnceWithItsPath) {
    test::ScratchFolder elsewhere;
    const std::string fifo = elsewhere / "pipe.vdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    manager->changeDataType(type::UserRhythm);
    sent.clear();
    // Opening a FIFO for reading waits for a writer. Should the send wait,
    // a writer comes after a second, so that the test ends and fails.
    std::promise<void> done;
    std::thread writer([fifo, ended = done.get_future()] {
        if (ended.wait_for(1s) == std::future_status::ready)
            return;
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    manager->putFileToKbd(fifo, 0);
    const auto took = std::chrono::steady_clock::now() - start;
    done.set_value();
    writer.join();
    EXPECT_LT(took, 1s);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Not a regular file: " + fifo});
    EXPECT_TRUE(sent.empty());
}

// ---- receiving ----

TEST_F(Transfers, AReceiveIntoAFolderThatCannotTakeTheFileFailsBeforeAnyMidiMessage) {
    writeFile(dataDirectory + "plain", ByteVector(1));
    const std::string readOnly = dataDirectory + "locked/";
    std::filesystem::create_directory(readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_exec);
    std::vector<std::pair<std::string, std::string>> cases{
        {dataDirectory + "plain/sub/", "Not a directory"}};
    // Root writes into any folder whatever its permissions say.
    if (::geteuid() != 0)
        cases.push_back({readOnly, "Permission denied"});
    manager->changeDataType(type::UserRhythm);
    const int row = firstItemRow();
    for (const auto& [folder, reason] : cases) {
        SCOPED_TRACE(folder);
        manager->setDataDirectory(folder);
        view.kbdErrors.clear();
        sent.clear();
        manager->getFromKbd(row);
        EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Can't create the file in " + folder +
                                                           " (" + reason + ")"});
        EXPECT_TRUE(sent.empty()) << sent.size() << " MIDI messages";
        expectActionEnded();
    }
    EXPECT_TRUE(std::filesystem::is_empty(readOnly));
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
}

} // namespace
} // namespace qel
