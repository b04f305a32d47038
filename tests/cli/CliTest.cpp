// tq7400 as a user runs it: each command's output and exit status, --json
// read back, usage errors, failures, and Ctrl+C during a transfer. Each run
// has a keyboard of its own: the built-in virtual keyboard with its demo
// content.

#include "cli/CommandLine.h"
#include "support/ChildProcess.h"
#include "support/NewestSnapshot.h"
#include "support/PackageBuilder.h"
#include "support/ProcessSettings.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using kbdsim::test::ChildProcess;
using qel::ByteVector;

struct Outcome {
    int status;
    std::string out, err;
};

class Cli : public testing::Test {
protected:
    Cli() {
        // Stored settings live here; the command line must never write them.
        config = scratch.path() + "/config";
        std::filesystem::create_directories(config);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        data = scratch.path() + "/data";
    }

    // Runs tq7400 with `arguments` to its end; a crash is a failure. A
    // `wrapper` (a program and its options) starts tq7400 when given.
    Outcome run(std::vector<std::string> arguments, const std::vector<std::string>& wrapper = {}) {
        const std::string out = scratch.path() + "/out.txt", err = scratch.path() + "/err.txt";
        std::vector<std::string> full = command(arguments, err);
        full.insert(full.end() - static_cast<std::ptrdiff_t>(arguments.size()) - 1, wrapper.begin(),
                    wrapper.end());
        ChildProcess child(full, out);
        EXPECT_TRUE(child.started());
        const int status = child.waitForExit(60s);
        EXPECT_GE(status, 0) << "did not end";
        EXPECT_LT(status, 128) << "died of signal " << status - 128;
        return {status, kbdsim::test::readFile(out), kbdsim::test::readFile(err)};
    }

    // Standard error to its own file, through a shell that execs the program.
    static std::vector<std::string> command(const std::vector<std::string>& arguments,
                                            const std::string& err) {
        std::vector<std::string> full{"/bin/sh", "-c", "e=$1; shift; exec \"$@\" 2>\"$e\"",
                                      "sh",      err,  CLI_PROGRAM};
        full.insert(full.end(), arguments.begin(), arguments.end());
        return full;
    }

    // Runs tq7400 with its standard output on a pipe whose reader has gone
    // already, so that its first write fails; a crash is a failure.
    struct ClosedOutcome {
        int status;
        int signal; // the signal that ended it, 0 when it exited
        std::string err;
    };
    ClosedOutcome runIntoClosedPipe(const std::vector<std::string>& arguments) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipe";
            return {-1, 0, ""};
        }
        ::close(ends[0]);
        const std::string err = scratch.path() + "/err.txt";
        std::vector<std::string> full{CLI_PROGRAM};
        full.insert(full.end(), arguments.begin(), arguments.end());
        ChildProcess child(full, ends[1], err);
        ::close(ends[1]);
        EXPECT_TRUE(child.started());
        const int status = child.waitForExit(60s);
        EXPECT_GE(status, 0) << "did not end";
        return {status, child.endingSignal(), kbdsim::test::readFile(err)};
    }

    static QJsonObject json(const std::string& text) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
        return document.object();
    }

    qel::test::ScratchFolder scratch;
    std::string config, data;
};

TEST_F(Cli, DevicesAndModelNameTheVirtualKeyboard) {
    const Outcome devices = run({"--virtual", "devices"});
    EXPECT_EQ(devices.status, 0);
    EXPECT_NE(devices.out.find("in   TQ-7400 Virtual Keyboard\n"), std::string::npos);
    EXPECT_NE(devices.out.find("out  TQ-7400 Virtual Keyboard\n"), std::string::npos);
    const QJsonObject listed = json(run({"--json", "devices"}).out);
    EXPECT_TRUE(listed["inputs"].toArray().contains("TQ-7400 Virtual Keyboard"));
    EXPECT_TRUE(listed["outputs"].toArray().contains("TQ-7400 Virtual Keyboard"));

    const Outcome model = run({"--virtual", "model"});
    EXPECT_EQ(model.status, 0);
    EXPECT_EQ(model.out, "3 TQ-7400\n");
    const QJsonObject code = json(run({"--virtual", "--json", "model"}).out);
    EXPECT_EQ(code["code"].toInt(), 3);
    EXPECT_EQ(code["name"].toString(), "TQ-7400");
    EXPECT_TRUE(std::filesystem::is_empty(config)) << "no settings were written";
}

TEST_F(Cli, ListGivesEverySlotAndTheMemory) {
    const Outcome list = run({"--virtual", "--json", "list"});
    ASSERT_EQ(list.status, 0) << list.err;
    const QJsonObject root = json(list.out);
    const QJsonArray types = root["types"].toArray();
    const int counts[] = {100, 100, 100, 20, 4, 16, 32, 5, 200};
    ASSERT_EQ(types.size(), 9);
    for (int t = 0; t < 9; ++t) {
        EXPECT_EQ(types[t]["type"].toInt(), t);
        EXPECT_EQ(types[t]["slots"].toArray().size(), counts[t]) << t;
    }
    const QJsonObject first = types[0]["slots"].toArray()[0].toObject();
    EXPECT_EQ(first["no"].toInt(), 600);
    EXPECT_EQ(first["name"].toString(), "DEMO TN1");
    EXPECT_EQ(first["size"].toInt(), 70);
    const QJsonObject memory = root["dataMemory"].toObject();
    EXPECT_EQ(memory["used"].toInt() + memory["free"].toInt(), 1572840);

    const Outcome rhythms = run({"--virtual", "list", "USER rhythm"});
    ASSERT_EQ(rhythms.status, 0);
    EXPECT_EQ(rhythms.out.rfind("USER RHYTHM\n   140  DEMO RH1       300\n", 0), 0u) << rhythms.out;
    EXPECT_NE(rhythms.out.find("data memory: "), std::string::npos);
}

TEST_F(Cli, GetSavesTheItemAndInfoDescribesIt) {
    const Outcome get = run({"--virtual", "--quiet", "get", "rhythm", "141", data});
    ASSERT_EQ(get.status, 0) << get.err;
    const std::string path = data + "/DEMO RH2.vdf";
    EXPECT_EQ(get.out, path + "\n");
    ASSERT_TRUE(std::filesystem::exists(path));

    const Outcome info = run({"--json", "info", path});
    ASSERT_EQ(info.status, 0) << info.err;
    const QJsonObject described = json(info.out);
    EXPECT_EQ(described["type"].toInt(), 5);
    EXPECT_EQ(described["label"].toString(), "USER RHYTHM");
    EXPECT_EQ(described["name"].toString(), "DEMO RH2");
    EXPECT_EQ(described["size"].toInt(), 520);

    const Outcome put = run({"--virtual", "put", path, "150"});
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_EQ(put.out, "Sent DEMO RH2.vdf into USER RHYTHM 150\n");
}

TEST_F(Cli, PutAndDeleteSayWhatTheyReplaceAndKeepACopyWhenAsked) {
    ASSERT_EQ(run({"--virtual", "--quiet", "get", "rhythm", "140", data}).status, 0);
    const std::string kept = scratch.path() + "/kept";
    const Outcome put =
        run({"--virtual", "--keep-copy", kept, "put", data + "/DEMO RH1.vdf", "141"});
    ASSERT_EQ(put.status, 0) << put.err;
    EXPECT_NE(put.out.find("replacing USER RHYTHM 141 \"DEMO RH2\" 520 bytes\n"), std::string::npos)
        << put.out;
    EXPECT_TRUE(std::filesystem::exists(kept + "/DEMO RH2.vdf")) << put.out;
    EXPECT_NE(put.out.find("\nSent DEMO RH1.vdf into USER RHYTHM 141, replacing \"DEMO RH2\"\n"),
              std::string::npos)
        << put.out;

    const Outcome removed = run({"--virtual", "delete", "rhythm", "140"});
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_NE(removed.out.find("clearing  USER RHYTHM 140 \"DEMO RH1\""), std::string::npos)
        << removed.out;
    EXPECT_NE(removed.out.find("\nDeleted USER RHYTHM 140 \"DEMO RH1\"\n"), std::string::npos)
        << removed.out;
}

// What put, delete and init did, one line each on standard output after
// what they replace or clear; nothing with --quiet. A put without a slot
// names the one it chose.
TEST_F(Cli, PutDeleteAndInitSayWhatTheyDidUnlessQuiet) {
    ASSERT_EQ(run({"--virtual", "--quiet", "get", "rhythm", "140", data}).status, 0);
    const std::string rhythm = data + "/DEMO RH1.vdf";
    // The line that must end the output; without its end when a slot number follows.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"put", rhythm, "150"}, "Sent DEMO RH1.vdf into USER RHYTHM 150\n"},
        {{"put", rhythm}, "Sent DEMO RH1.vdf into USER RHYTHM 1"},
        {{"delete", "rhythm", "141"}, "Deleted USER RHYTHM 141 \"DEMO RH2\"\n"},
        {{"init", "mixer"}, "Initialized the mixer\n"},
        {{"init", "parameter"}, "Initialized the parameters\n"},
        {{"init", "system"}, "Initialized the system\n"},
    };
    for (const auto& [command, line] : cases) {
        std::vector<std::string> arguments{"--virtual"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const Outcome said = run(arguments);
        EXPECT_EQ(said.status, 0) << said.err;
        const std::size_t at = said.out.rfind(line);
        ASSERT_NE(at, std::string::npos) << said.out;
        EXPECT_TRUE(at == 0 || said.out[at - 1] == '\n') << "a line of its own: " << said.out;
        const std::size_t end = said.out.find('\n', at);
        EXPECT_EQ(end, said.out.size() - 1) << "the last line, one of its kind: " << said.out;
        EXPECT_EQ(said.out.find(line.substr(0, 5)), at) << said.out;

        arguments.insert(arguments.begin(), "--quiet");
        const Outcome quiet = run(arguments);
        EXPECT_EQ(quiet.status, 0) << quiet.err;
        EXPECT_EQ(quiet.out.find(line.substr(0, 5)), std::string::npos) << quiet.out;
    }
}

TEST_F(Cli, UsageErrorsEndWithStatus2AndOneLineAndAPointerToTheHelp) {
    const std::string tryHelp = "Try 'tq7400 --help' for more information.\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "no command given"},
        {{"bogus"}, "unknown command 'bogus'"},
        {{"--virtual", "get", "rhythm"}, "wrong number of arguments for 'get'"},
        {{"--frobnicate", "list"}, "unknown option '--frobnicate'"},
        {{"--virtual", "list", "nonsense"}, "not a keyboard data type: nonsense"},
        {{"--in"}, "option '--in' needs a value"},
        {{"--virtual", "init", "everything"}, "init takes mixer, parameter or system"}};
    for (const auto& [arguments, message] : cases) {
        const Outcome usage = run(arguments);
        EXPECT_EQ(usage.status, 2) << testing::PrintToString(arguments);
        EXPECT_EQ(usage.err, "tq7400: " + message + "\n" + tryHelp);
        EXPECT_TRUE(usage.out.empty());
    }
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tq7400 ", 0), 0u) << help.out;
}

TEST_F(Cli, FailuresEndWithStatus1AndTheMessage) {
    const Outcome empty = run({"--virtual", "get", "rhythm", "150", data});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "tq7400: Slot 150 of USER RHYTHM is empty\n");
    // The SMF list shows its empty slots; a command still needs one that holds an SMF.
    const Outcome noSmf = run({"--virtual", "delete", "smf", "150"});
    EXPECT_EQ(noSmf.status, 1);
    EXPECT_EQ(noSmf.err, "tq7400: No slot 150 holds an item of SMF\n");
    const Outcome device = run({"--in", "No Such Port", "--out", "No Such Port", "model"});
    EXPECT_EQ(device.status, 1);
    EXPECT_NE(device.err.find("No MIDI input device is called \"No Such Port\""), std::string::npos)
        << device.err;
    const std::string junk = scratch.path() + "junk.vdf";
    std::FILE* file = std::fopen(junk.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("not a container file at all, nor a song", file);
    std::fclose(file);
    const Outcome damaged = run({"info", junk});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.err, "tq7400: Illegal Format\n");
    const Outcome lowercase =
        run({"--in", "tq-7400 virtual keyboard", "--out", "TQ-7400 VIRTUAL KEYBOARD", "model"});
    EXPECT_EQ(lowercase.status, 0) << "device names match in any letter case";
}

// Stopped by a signal, the run ends by itself, as a shell reports a program
// that the signal ended: 128 plus its number.
TEST_F(Cli, CtrlCOrSigtermDuringALongReceiveStopsItAndLeavesNoFile) {
    for (const auto& [signal, expected] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(signal);
        // At the wire's speed the tone group takes seconds to come.
        // Files of each run's own: the wait below must see this run's notice.
        const std::string run = std::to_string(signal);
        const std::string out = scratch / (run + "-out.txt"), err = scratch / (run + "-err.txt");
        ChildProcess child(command({"--paced", "get", "tone-wave", "700", data}, err), out);
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(kbdsim::test::waitForText(err, "receiving USER TONE WITH WAVE 700", 60s));
        const int status = child.stop(signal, 30s);
        EXPECT_EQ(child.endingSignal(), 0) << "ended by itself, not killed nor crashed";
        EXPECT_EQ(status, expected);
        EXPECT_EQ(
            kbdsim::test::readFile(err),
            "receiving USER TONE WITH WAVE 700 \"DEMO TW1\", 2048 bytes\ntq7400: Cancelled\n");
        EXPECT_EQ(kbdsim::test::readFile(out), "");
        EXPECT_TRUE(!std::filesystem::exists(data) || std::filesystem::is_empty(data))
            << "no file, whole or half";
    }
}

TEST_F(Cli, BackupWritesAManifestAndRestoreTakesItBack) {
    const std::string folder = scratch.path() + "/backup";
    const Outcome backup = run({"--virtual", "--quiet", "backup", folder});
    ASSERT_EQ(backup.status, 0) << backup.err;
    EXPECT_TRUE(std::filesystem::exists(folder + "/latest/manifest.json"));
    EXPECT_NE(backup.out.find("received USER RHYTHM 140 \"DEMO RH1\""), std::string::npos);
    const Outcome restore = run({"--virtual", "--quiet", "restore", folder});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_NE(restore.out.find("restored USER RHYTHM 140 \"DEMO RH1\""), std::string::npos);
}

// Each ends with one summary line: items, size, time taken (and for a backup,
// what was unchanged since the previous one).
TEST_F(Cli, BackupAndRestoreEndWithOneSummaryLine) {
    const std::string folder = scratch.path() + "/backup";
    const std::regex backupLine(
        "Backup: [0-9]+ items, [0-9,]+ KB, [0-9][^,\n]*s, [0-9]+ unchanged");
    const std::regex restoreLine("Restore: [0-9]+ items, [0-9,]+ KB, [0-9][^,\n]*s");
    const auto summaries = [](const std::string& out, const std::string& start) {
        std::vector<std::string> found;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(start, 0) == 0)
                found.push_back(line);
        return found;
    };
    const Outcome first = run({"--virtual", "backup", folder});
    ASSERT_EQ(first.status, 0) << first.err;
    const Outcome second = run({"--virtual", "backup", folder});
    ASSERT_EQ(second.status, 0) << second.err;
    for (const Outcome& backup : {first, second}) {
        const std::vector<std::string> lines = summaries(backup.out, "Backup: ");
        ASSERT_EQ(lines.size(), 1u) << backup.out;
        EXPECT_TRUE(std::regex_match(lines[0], backupLine)) << lines[0];
    }
    EXPECT_NE(summaries(first.out, "Backup: ")[0].find(", 0 unchanged"), std::string::npos);
    EXPECT_EQ(summaries(second.out, "Backup: ")[0].find(", 0 unchanged"), std::string::npos)
        << "the second finds the first's items unchanged";
    const Outcome restore = run({"--virtual", "restore", folder});
    ASSERT_EQ(restore.status, 0) << restore.err;
    const std::vector<std::string> lines = summaries(restore.out, "Restore: ");
    ASSERT_EQ(lines.size(), 1u) << restore.out;
    EXPECT_TRUE(std::regex_match(lines[0], restoreLine)) << lines[0];
}

// As `tq7400 ... | head -1` when head has gone: no message, no signal, status 141.
TEST_F(Cli, AClosedOutputEndsTheRunQuietlyWithStatus141) {
    const std::string folder = scratch.path() + "/backup";
    ASSERT_EQ(run({"--virtual", "--quiet", "backup", folder}).status, 0);
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"--virtual", "list"},
                                               {"--virtual", "--json", "list", "tone"},
                                               {"--virtual", "restore", folder},
                                               {"--virtual", "devices"},
                                               {"--help"}}) {
        const ClosedOutcome closed = runIntoClosedPipe(arguments);
        EXPECT_EQ(closed.signal, 0) << testing::PrintToString(arguments);
        EXPECT_EQ(closed.status, 141) << testing::PrintToString(arguments);
        EXPECT_EQ(closed.err, "") << testing::PrintToString(arguments);
    }
}

// The backup prints each item as it comes: the first line that cannot be
// written stops it as Ctrl+C would, with what it has received in the manifest.
TEST_F(Cli, ABackupWhoseOutputIsClosedStopsAtOnce) {
    const std::string folder = scratch.path() + "/backup";
    const ClosedOutcome closed = runIntoClosedPipe({"--virtual", "backup", folder});
    EXPECT_EQ(closed.signal, 0);
    EXPECT_EQ(closed.status, 141);
    EXPECT_EQ(closed.err, "");
    const QJsonObject manifest =
        json(kbdsim::test::readFile(qel::test::newestSnapshot(folder) + "/manifest.json"));
    EXPECT_FALSE(manifest["complete"].toBool(true));
    const qsizetype received = manifest["items"].toArray().size();
    EXPECT_GE(received, 1);
    EXPECT_LE(received, 2) << "stopped at the item after the first line";
}

// The virtual keyboard needs no MIDI system: neither a JACK server that does
// not exist nor a JACK that must not start a server disturbs it.
TEST_F(Cli, TheVirtualKeyboardWorksWithoutAnyJackServer) {
    ::setenv("QEL_MIDI_API", "jack", 1);
    ::setenv("JACK_DEFAULT_SERVER", ("qel-no-such-server-" + std::to_string(::getpid())).c_str(),
             1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    const Outcome list = run({"--virtual", "list", "rhythm"});
    ::unsetenv("QEL_MIDI_API");
    ::unsetenv("JACK_DEFAULT_SERVER");
    ::unsetenv("JACK_NO_START_SERVER");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.err, "");
    EXPECT_EQ(list.out.rfind("USER RHYTHM\n   140  DEMO RH1       300\n", 0), 0u) << list.out;
}

TEST_F(Cli, InfoListsThePackagesItems) {
    const std::string path = scratch.path() + "all.vdf";
    qel::test::writeFile(path,
                         qel::test::PackageBuilder().tones(2).rhythm(0, "PKGRHYTM", 400).build());
    const Outcome info = run({"--json", "info", path});
    ASSERT_EQ(info.status, 0) << info.err;
    const QJsonObject described = json(info.out);
    EXPECT_EQ(described["label"].toString(), "PACKAGE");
    QStringList names;
    for (const QJsonValue& item : described["items"].toArray())
        names << item["name"].toString();
    EXPECT_TRUE(names.contains("PKGRHYTM")) << names.join(",").toStdString();
    EXPECT_GE(names.size(), 3);
}

TEST_F(Cli, CardListAndPutWorkOnAFolderGivenAsTheCardDrive) {
    const std::string card = scratch.path() + "card";
    std::filesystem::create_directories(card + "/VORLA_MD");
    const Outcome none = run({"card", "list"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "tq7400: No card drive is set: choose one with --card or in the preferences.\n");

    ASSERT_EQ(run({"--virtual", "--quiet", "get", "rhythm", "140", data}).status, 0);
    const Outcome put = run({"--card", card, "card", "put", data + "/DEMO RH1.vdf"});
    ASSERT_EQ(put.status, 0) << put.err;
    EXPECT_TRUE(std::filesystem::exists(card + "/VORLA_MD/DEMO RH1.z00"));
    const Outcome list = run({"--card", card, "--json", "card", "list", "rhythm"});
    ASSERT_EQ(list.status, 0) << list.err;
    const QJsonArray files = json(list.out)["files"].toArray();
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0]["name"].toString(), "DEMO RH1");
    EXPECT_EQ(files[0]["size"].toInt(), 300);
}

// A device that does not exist fails a run as soon as the keyboard is to be
// reached: a run that fails for another reason with it never came that far.
const std::vector<std::string> noDevice{"--in", "No Such Port", "--out", "No Such Port"};

void setBe32(ByteVector& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + static_cast<std::size_t>(i)) =
            static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

TEST_F(Cli, InfoAndPutRefuseAFileTheSendWouldRefuseBeforeAnyMidiDevice) {
    ByteVector cut =
        qel::test::singleItemFile(qel::category::Rhythm, qel::type::UserRhythm, ByteVector(400, 3));
    cut.resize(100);
    const auto huge = [](std::uint32_t claim) {
        return qel::test::singleItemFile(qel::category::Rhythm, qel::type::UserRhythm,
                                         ByteVector(36, 3), claim);
    };
    // The package's first rhythm entry (size, then offset) in its directory.
    const std::size_t rhythm = 64 + 226;
    qel::test::PackageBuilder builder;
    builder.tones(1).rhythm(0, "PKGRHYTM", 400);
    ByteVector farOffset = builder.build(), hugeSize = builder.build();
    setBe32(farOffset, rhythm + 4, 0xFFFFFF00u);
    setBe32(hugeSize, rhythm, 0xC0000000u);
    ByteVector song = qel::test::smfFile(0, 1, 96, {"00 90 3C 40 60 80 3C 00 00 FF 2F 00"});
    song.resize(song.size() - 6);
    const std::vector<std::pair<std::string, ByteVector>> files{
        {"cut.vdf", cut},          {"1GB.vdf", huge(0x40000000u)}, {"4GB.vdf", huge(0xFFFFFFFFu)},
        {"offset.vdf", farOffset}, {"size.vdf", hugeSize},         {"cut.mid", song}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string path = scratch / name;
        qel::test::writeFile(path, bytes);
        const std::string expected = name == "cut.mid"
                                         ? "tq7400: Can't open the file: " + path + " ("
                                         : "tq7400: Illegal Format\n";
        const Outcome info = run({"info", path});
        EXPECT_EQ(info.status, 1);
        EXPECT_EQ(info.err.rfind(expected, 0), 0u) << info.err;
        EXPECT_EQ(info.out, "");
        std::vector<std::string> put = noDevice;
        put.insert(put.end(), {"put", path, "150"});
        const Outcome refused = run(put);
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err.rfind(expected, 0), 0u) << refused.err;
    }
}

// A file that is not there, or cannot be opened, is named with the system's
// reason, not taken for a file of no known format.
TEST_F(Cli, AFileThatCannotBeOpenedIsNamedWithTheReason) {
    qel::test::writeFile(scratch / "plain", ByteVector(1));
    const std::string missing = scratch / "missing.vdf", below = scratch / "plain/item.vdf";
    const std::vector<std::pair<std::string, std::string>> files{
        {missing, "No such file or directory"}, {below, "Not a directory"}};
    for (const auto& [path, reason] : files)
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"info", path},
              {"--virtual", "put", path},
              {"--virtual", "put", path, "150"},
              {"--card", scratch.path(), "card", "put", path}}) {
            const Outcome refused = run(arguments);
            EXPECT_EQ(refused.status, 1) << testing::PrintToString(arguments);
            EXPECT_EQ(refused.err, "tq7400: " + path + ": " + reason + "\n");
            EXPECT_EQ(refused.out, "");
        }
}

// Standard output and error on a terminal: a listing draws no bar at all; a
// transfer's bar is one line redrawn in place and cleared before the next
// line, and every notice starts a line of its own.
TEST_F(Cli, OnATerminalTheBarShowsOnlyWhileBytesFlowAndNoticesGetLinesOfTheirOwn) {
    const auto onTerminal = [&](const std::vector<std::string>& arguments) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return std::string();
        }
        const std::string terminal = ::ptsname(master);
        std::vector<std::string> full{"/bin/sh", "-c",     "t=$1; shift; exec \"$@\" >\"$t\" 2>&1",
                                      "sh",      terminal, CLI_PROGRAM};
        full.insert(full.end(), arguments.begin(), arguments.end());
        ChildProcess child(full, scratch.path() + "/log.txt");
        EXPECT_TRUE(child.started());
        // Read while it runs, so that a full terminal never holds it up.
        std::string text;
        const auto bound = std::chrono::steady_clock::now() + 60s;
        for (bool ended = false; !ended && std::chrono::steady_clock::now() < bound;) {
            ended = !child.running();
            pollfd ready{master, POLLIN, 0};
            while (::poll(&ready, 1, ended ? 0 : 100) > 0) {
                char buffer[4096];
                const ssize_t got = ::read(master, buffer, sizeof buffer);
                if (got <= 0)
                    break;
                text.append(buffer, static_cast<std::size_t>(got));
            }
        }
        const int status = child.waitForExit(10s);
        EXPECT_EQ(status, 0) << text;
        ::close(master);
        // The terminal ends each line with a carriage return of its own.
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.replace(at, 2, "\n");
        return text;
    };
    const std::string listed = onTerminal({"--virtual", "list"});
    EXPECT_EQ(listed.find('\r'), std::string::npos) << listed.substr(0, 400);
    EXPECT_EQ(listed.rfind("USER TONE\n", 0), 0u) << listed.substr(0, 400);

    const std::string received = onTerminal({"--paced", "get", "rhythm", "141", data});
    const std::string notice = "receiving USER RHYTHM 141 \"DEMO RH2\", 520 bytes\n";
    EXPECT_EQ(received.rfind(notice, 0), 0u) << received;
    EXPECT_NE(received.find("KB of 0.5 KB"), std::string::npos) << "a bar: " << received;
    EXPECT_EQ(received.find("0.0 KB of 0.0 KB"), std::string::npos) << received;
    // The result line, then the file's path for scripts.
    const std::string path = data + "/DEMO RH2.vdf\n";
    const std::string tail = "\r\x1b[KReceived DEMO RH2 into DEMO RH2.vdf\n" + path;
    ASSERT_GE(received.size(), tail.size());
    EXPECT_EQ(received.substr(received.size() - tail.size()), tail)
        << "the bar cleared before the result: " << received;
    EXPECT_EQ(received.find('\n', notice.size()), received.size() - path.size() - 1)
        << "the bar is one line: " << received;
}

TEST_F(Cli, AFifoGivenToInfoOrPutIsRefusedAtOnce) {
    const std::string fifo = scratch / "pipe.vdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"info", fifo}, {"--virtual", "put", fifo, "150"}}) {
        const auto start = std::chrono::steady_clock::now();
        const Outcome refused = run(arguments);
        // A process start takes its time on a busy machine; a wait for a
        // writer would take until the bound of run().
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_EQ(refused.status, 1) << testing::PrintToString(arguments);
        EXPECT_EQ(refused.err, "tq7400: Not a regular file: " + fifo + "\n");
    }
}

TEST_F(Cli, GetIntoAFolderThatCannotTakeTheFileFailsBeforeAnyMidiDevice) {
    qel::test::writeFile(scratch / "plain", ByteVector(1));
    const std::string below = scratch / "plain/sub";
    std::vector<std::string> get = noDevice;
    get.insert(get.end(), {"get", "rhythm", "140", below});
    const Outcome blocked = run(get);
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.err, "tq7400: Can't create the file in " + below + " (Not a directory)\n");

    // What put and delete replace is kept in a folder checked the same way.
    std::vector<std::string> keep = noDevice;
    keep.insert(keep.end(), {"--keep-copy", below, "delete", "rhythm", "140"});
    const Outcome keeping = run(keep);
    EXPECT_EQ(keeping.status, 1);
    EXPECT_EQ(keeping.err, "tq7400: Can't create the file in " + below + " (Not a directory)\n");
}

TEST_F(Cli, GetIntoAReadOnlyFolderFailsBeforeAnyMidiDevice) {
    const std::string locked = scratch / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_exec);
    // Root writes anywhere; in a user namespace of its own it does not.
    std::vector<std::string> wrapper;
    if (::geteuid() == 0)
        wrapper = {"/usr/bin/unshare", "--user", "--"};
    std::vector<std::string> get = noDevice;
    get.insert(get.end(), {"get", "rhythm", "140", locked});
    const Outcome refused = run(get, wrapper);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    if (refused.err.rfind("unshare:", 0) == 0)
        GTEST_SKIP() << "running as root without user namespaces: " << refused.err;
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "tq7400: Can't create the file in " + locked + " (Permission denied)\n");
    EXPECT_TRUE(std::filesystem::is_empty(locked));
}

TEST_F(Cli, CardListOnACardDriveThatIsNoFolderFailsNamingIt) {
    const std::string missing = scratch / "no-card";
    const Outcome none = run({"--card", missing, "card", "list"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "tq7400: The card drive " + missing + " does not exist\n");
    qel::test::writeFile(scratch / "card.img", ByteVector(1));
    const Outcome file = run({"--card", scratch / "card.img", "card", "list"});
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(file.err, "tq7400: The card drive " + scratch / "card.img" + " is not a folder\n");
    EXPECT_EQ(file.out, "");
}

// An item name can hold any byte: these would clear a terminal's line, break
// a table's row and show as nothing when written as they are.
const std::string oddName("A\0\x1b\n\xb0\xff\\ ", 8);
const std::string oddNameHex = "41001b0ab0ff5c20";
const std::string oddNameShown = "A\\x00\\x1b\\x0a\xc2\xb0\xc3\xbf\\\\ ";
const QString oddNameCharacters = QString::fromLatin1(oddName.data(), 8);

// Fails for a byte a terminal acts on, the line ends aside.
void expectPlainText(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte != 0x7F)) << "byte " << i << ": " << text;
    }
}

TEST_F(Cli, InfoShowsAnOddNameEscapedAndJsonGivesItsBytes) {
    qel::ByteVector rhythm(300, 0x11);
    std::copy(oddName.begin(), oddName.end(), rhythm.begin() + 2); // a rhythm's name offset
    const std::string path = scratch.path() + "odd.vdf";
    qel::test::writeFile(
        path, qel::test::singleItemFile(qel::category::Rhythm, qel::type::UserRhythm, rhythm));
    const Outcome text = run({"info", path});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("\nname      " + oddNameShown + "\n"), std::string::npos) << text.out;
    expectPlainText(text.out);
    // The name without the trailing space that pads it; its bytes whole.
    const QJsonObject described = json(run({"--json", "info", path}).out);
    EXPECT_EQ(described["name"].toString(), oddNameCharacters.chopped(1));
    EXPECT_EQ(described["nameBytes"].toString().toStdString(), oddNameHex);

    const std::string package = scratch.path() + "package.vdf";
    qel::test::writeFile(package,
                         qel::test::PackageBuilder().tones(1).rhythm(0, oddName, 400).build());
    const Outcome items = run({"info", package});
    ASSERT_EQ(items.status, 0) << items.err;
    EXPECT_NE(items.out.find("  " + oddNameShown + "  400\n"), std::string::npos) << items.out;
    expectPlainText(items.out);
    QStringList bytes;
    for (const QJsonValue& item : json(run({"--json", "info", package}).out)["items"].toArray())
        bytes << item["nameBytes"].toString();
    EXPECT_TRUE(bytes.contains(QString::fromStdString(oddNameHex)))
        << bytes.join(",").toStdString();
}

TEST_F(Cli, CardListShowsOddFileNamesEscapedAndJsonGivesTheirBytes) {
    const std::string card = scratch.path() + "card";
    std::filesystem::create_directories(card + "/VORLA_MD");
    // A file name can hold control bytes and bytes that are no UTF-8; the
    // name of a card file is its file name, UTF-8 as the card writer makes it.
    const std::string odd = "R\x1b[2J\n\x7f\xc2\xb0", broken = "S\xff";
    qel::test::writeFile(card + "/VORLA_MD/" + odd + ".z00", qel::ByteVector(300, 1));
    qel::test::writeFile(card + "/VORLA_MD/" + broken + ".z00", qel::ByteVector(200, 1));
    const Outcome list = run({"--card", card, "card", "list", "rhythm"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("USER RHYTHM  R\\x1b[2J\\x0a\\x7f\xc2\xb0  300  "), std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("USER RHYTHM  S\\xff  200  "), std::string::npos) << list.out;
    expectPlainText(list.out);
    const QJsonArray files =
        json(run({"--card", card, "--json", "card", "list", "rhythm"}).out)["files"].toArray();
    ASSERT_EQ(files.size(), 2);
    std::map<std::string, QString> names;
    for (const QJsonValue& file : files)
        names[file["nameBytes"].toString().toStdString()] = file["name"].toString();
    EXPECT_EQ(names["521b5b324a0a7fc2b0"], QString::fromUtf8(odd));
    EXPECT_EQ(names["53ff"].left(1), "S");
}

// A run keeps no private copy of the settings; a private folder that a run
// killed with SIGKILL could not remove (as a song conversion makes one) goes
// with the next run.
TEST_F(Cli, TheNextRunRemovesThePrivateFolderOfAKilledRun) {
    const std::string temporary = scratch.path() + "tmp";
    std::filesystem::create_directories(temporary);
    const qel::test::TemporaryFolderOverride tmpdir(temporary);
    const std::string out = scratch.path() + "/out.txt", err = scratch.path() + "/err.txt";
    ChildProcess child(command({"--paced", "get", "tone-wave", "700", data}, err), out);
    ASSERT_TRUE(child.started());
    const std::string folderStart = "qel-" + std::to_string(child.pid()) + "-";
    ASSERT_TRUE(kbdsim::test::waitForText(err, "receiving USER TONE WITH WAVE 700", 60s))
        << kbdsim::test::readFile(err);
    const auto folders = [&] {
        std::vector<std::string> found;
        for (const std::string& name : qel::test::ScratchFolder::fileNames(temporary))
            if (name.rfind(folderStart, 0) == 0)
                found.push_back(name);
        return found;
    };
    EXPECT_TRUE(folders().empty()) << "a receive needs no private folder";
    EXPECT_EQ(child.stop(SIGKILL, 30s), 128 + SIGKILL);
    EXPECT_EQ(child.endingSignal(), SIGKILL) << "killed, not crashed";
    const std::string left = temporary + "/" + folderStart + "k1ll3d";
    std::filesystem::create_directory(left);
    std::filesystem::permissions(left, std::filesystem::perms::owner_all);
    qel::test::writeFile(left + "/song.mid", ByteVector{0x4D, 0x54});
    ASSERT_EQ(folders().size(), 1u);

    const Outcome next = run({"--virtual", "model"});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(folders().empty());
    EXPECT_TRUE(qel::test::ScratchFolder::fileNames(temporary).empty())
        << "the next run left no folder of its own";
}

TEST(CliTypes, TypesByIndexLabelOrShortName) {
    using qel::cli::parseType;
    EXPECT_EQ(parseType("3"), qel::type::UserToneWithWave);
    EXPECT_EQ(parseType("user drum with wave"), qel::type::UserDrumWithWave);
    EXPECT_EQ(parseType("SMF"), qel::type::Smf);
    EXPECT_EQ(parseType("package"), qel::type::Package);
    EXPECT_EQ(parseType("registration"), qel::type::Registration);
    EXPECT_FALSE(parseType("10"));
    EXPECT_FALSE(parseType("-1"));
    EXPECT_FALSE(parseType("tones"));
}

} // namespace
