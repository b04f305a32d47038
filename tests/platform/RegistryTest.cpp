#include "platform/registry/Registry.h"

#include "platform/registry/SettingsReader.h"
#include "support/ProcessSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

using qel::registry::Registry;

namespace {

const std::string midiKey = "Software\\Vorla\\TQ-7400\\MIDI";

class RegistryTest : public testing::Test {
protected:
    QString location() const { return folder.path() + "/config/registry.json"; }
    void writeDocument(const QByteArray& bytes) const {
        QFile file(location());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray readDocument(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QTemporaryDir folder;
};

TEST_F(RegistryTest, EmptyRegistryHasNoKeysAndNoValues) {
    Registry registry(location());
    EXPECT_FALSE(registry.keyExists(midiKey));
    EXPECT_FALSE(registry.readString(midiKey, "InputDevice").has_value());
    EXPECT_FALSE(QFile::exists(location())) << "reading must not create the document";
}

TEST_F(RegistryTest, CreatedKeyExistsWithoutValues) {
    Registry registry(location());
    ASSERT_TRUE(registry.createKey(midiKey));
    EXPECT_TRUE(registry.keyExists(midiKey));
    EXPECT_FALSE(registry.keyExists("Software\\Vorla\\TQ-7400\\Card"));
    EXPECT_FALSE(registry.readString(midiKey, "InputDevice").has_value());
}

TEST_F(RegistryTest, WrittenValueIsReadBackByAnotherInstance) {
    ASSERT_TRUE(Registry(location()).writeString(midiKey, "InputDevice", "Synth In"));
    ASSERT_TRUE(Registry(location()).writeString(midiKey, "OutputDevice", "Synth Out"));
    Registry reader(location());
    EXPECT_EQ(reader.readString(midiKey, "InputDevice"), "Synth In");
    EXPECT_EQ(reader.readString(midiKey, "OutputDevice"), "Synth Out");
    EXPECT_TRUE(reader.keyExists(midiKey));
}

TEST_F(RegistryTest, KeyPathsAndValueNamesIgnoreLetterCase) {
    Registry registry(location());
    ASSERT_TRUE(registry.writeString(midiKey, "InputDevice", "A"));
    EXPECT_TRUE(registry.keyExists("SOFTWARE\\vorla\\tq-7400\\midi"));
    EXPECT_EQ(registry.readString("software\\VORLA\\TQ-7400\\Midi", "inputdevice"), "A");
    // Writing through another spelling replaces the value instead of adding one.
    ASSERT_TRUE(registry.writeString("SOFTWARE\\VORLA\\TQ-7400\\MIDI", "INPUTDEVICE", "B"));
    EXPECT_EQ(registry.readString(midiKey, "InputDevice"), "B");
}

TEST_F(RegistryTest, UnicodeTextSurvivesTheRoundTrip) {
    Registry registry(location());
    const std::string name = "Clavier \xC3\xA9lectrique \xE2\x99\xAA";
    ASSERT_TRUE(registry.writeString(midiKey, "InputDevice", name));
    EXPECT_EQ(registry.readString(midiKey, "InputDevice"), name);
}

TEST_F(RegistryTest, UnparsableDocumentIsKeptAsideReportedOnceAndTheRegistryStartsEmpty) {
    QDir().mkpath(folder.path() + "/config");
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray("not json {"), "not valid JSON: "},
        {QByteArray(""), "not valid JSON: "},
        {QByteArray("[1, 2]"), "no JSON object"},
        {QByteArray("{\"keys\": 5}"), "no \"keys\" object"},
        {QByteArray("{\"other\": {}}"), "no \"keys\" object"},
        {QByteArray("\xff\xfe\x00", 3), "not valid JSON: "},
    };
    for (const auto& [junk, why] : cases) {
        const std::string what = junk.toStdString();
        QFile::remove(location() + ".bad");
        writeDocument(junk);
        Registry registry(location());
        EXPECT_FALSE(registry.keyExists(midiKey)) << what;
        EXPECT_EQ(readDocument(location() + ".bad"), junk) << what << ": kept aside as it was";
        EXPECT_FALSE(QFile::exists(location())) << what;
        const auto warning = registry.takeWarning();
        ASSERT_TRUE(warning.has_value()) << what;
        const std::string path = location().toStdString();
        EXPECT_EQ(warning->rfind("The settings file " + path + " could not be read (" + why, 0), 0u)
            << *warning;
        EXPECT_NE(warning->find("; it was kept as " + path +
                                ".bad and the program starts with default settings."),
                  std::string::npos)
            << *warning;
        EXPECT_FALSE(registry.takeWarning().has_value()) << what << ": reported once";
        EXPECT_FALSE(Registry(location()).takeWarning().has_value()) << what;

        ASSERT_TRUE(registry.writeString(midiKey, "InputDevice", "X")) << what;
        EXPECT_EQ(registry.readString(midiKey, "InputDevice"), "X") << what;
        EXPECT_EQ(readDocument(location() + ".bad"), junk) << what << ": not overwritten";
    }
}

TEST_F(RegistryTest, AnEarlierBadDocumentIsNotReplacedByALaterOne) {
    QDir().mkpath(folder.path() + "/config");
    writeDocument("first {");
    Registry(location()).keyExists(midiKey);
    writeDocument("second {");
    Registry registry(location());
    EXPECT_FALSE(registry.keyExists(midiKey));
    EXPECT_EQ(readDocument(location() + ".bad"), "first {");
    EXPECT_EQ(readDocument(location() + ".2.bad"), "second {");
    const auto warning = registry.takeWarning();
    ASSERT_TRUE(warning.has_value());
    EXPECT_NE(warning->find("kept as " + location().toStdString() + ".2.bad"), std::string::npos);
}

TEST_F(RegistryTest, ADocumentThatCannotBeSetAsideIsNeverWrittenOver) {
    QDir().mkpath(folder.path() + "/config");
    writeDocument("broken {");
    // Every name it could be kept under is taken.
    QFile(location() + ".bad").open(QIODevice::WriteOnly);
    for (int n = 2; n <= 100; ++n)
        QFile(location() + "." + QString::number(n) + ".bad").open(QIODevice::WriteOnly);
    Registry registry(location());
    EXPECT_FALSE(registry.writeString(midiKey, "InputDevice", "X"));
    EXPECT_FALSE(registry.createKey(midiKey));
    EXPECT_FALSE(registry.keyExists(midiKey));
    EXPECT_EQ(readDocument(location()), "broken {");
    const auto warning = registry.takeWarning();
    ASSERT_TRUE(warning.has_value());
    EXPECT_NE(warning->find("nor set aside; the program starts with default settings and does "
                            "not change that file."),
              std::string::npos)
        << *warning;
}

TEST_F(RegistryTest, ADocumentThatCannotBeOpenedIsReportedAndNotWrittenOver) {
    QDir().mkpath(location()); // a folder where the file should be
    Registry registry(location());
    EXPECT_FALSE(registry.keyExists(midiKey));
    EXPECT_FALSE(registry.writeString(midiKey, "InputDevice", "X"));
    const auto warning = registry.takeWarning();
    ASSERT_TRUE(warning.has_value());
    EXPECT_EQ(
        warning->rfind("The settings file " + location().toStdString() + " could not be read (", 0),
        0u)
        << *warning;
    EXPECT_TRUE(QFileInfo(location()).isDir());
}

TEST_F(RegistryTest, NewDocumentHasTheModeTheUmaskGives) {
    for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}}) {
        const qel::test::UmaskOverride umask(mask);
        const QString path = folder.path() + "/umask" + QString::number(mask) + ".json";
        ASSERT_TRUE(Registry(path).writeString(midiKey, "InputDevice", "X"));
        EXPECT_EQ(qel::test::permissionsOf(path.toStdString()), mode) << std::oct << mask;
    }
}

TEST_F(RegistryTest, AGoodOrMissingDocumentGivesNoWarning) {
    Registry registry(location());
    EXPECT_FALSE(registry.takeWarning().has_value()) << "missing";
    ASSERT_TRUE(registry.writeString(midiKey, "InputDevice", "X"));
    EXPECT_FALSE(Registry(location()).takeWarning().has_value()) << "good";
}

TEST_F(RegistryTest, ValueOfAnotherJsonTypeReadsAsMissing) {
    QDir().mkpath(folder.path() + "/config");
    QFile file(location());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"keys": {"Software\\Vorla\\TQ-7400\\MIDI": {"InputDevice": 12}}})");
    file.close();
    Registry registry(location());
    EXPECT_TRUE(registry.keyExists(midiKey));
    EXPECT_FALSE(registry.readString(midiKey, "InputDevice").has_value());
}

TEST_F(RegistryTest, WriteToAnImpossibleLocationFailsAndChangesNothing) {
    // A plain file where the folder should be.
    QFile blocker(folder.path() + "/config");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Registry registry(location());
    EXPECT_FALSE(registry.writeString(midiKey, "InputDevice", "X"));
    EXPECT_FALSE(registry.createKey(midiKey));
    EXPECT_FALSE(registry.keyExists(midiKey));
}

TEST_F(RegistryTest, AReadOnlyRegistryReadsButNeverChangesItsDocument) {
    ASSERT_TRUE(Registry(location()).writeString(midiKey, "InputDevice", "In"));
    const QByteArray good = readDocument(location());
    const QByteArray junk = "not json {";
    for (const QByteArray& bytes : {good, junk}) {
        const std::string what = bytes.toStdString();
        writeDocument(bytes);
        Registry registry(location(), Registry::Access::ReadOnly);
        EXPECT_EQ(registry.keyExists(midiKey), bytes == good) << what;
        EXPECT_EQ(registry.readString(midiKey, "InputDevice"),
                  bytes == good ? std::optional<std::string>("In") : std::nullopt)
            << what;
        EXPECT_FALSE(registry.writeString(midiKey, "InputDevice", "X")) << what;
        EXPECT_FALSE(registry.createKey("Software\\Other")) << what;
        EXPECT_EQ(registry.takeWarning().has_value(), bytes == junk) << what;
        EXPECT_EQ(readDocument(location()), bytes) << what << ": left where it was, unchanged";
        EXPECT_FALSE(QFile::exists(location() + ".bad")) << what;
    }
}

TEST_F(RegistryTest, TheSettingsAreReadAsOneValueWithoutCreatingAnyKey) {
    struct Case {
        const char* name;
        std::vector<std::array<std::string, 3>> values; // key, value name, text
        bool createMidiKey;
        qel::Settings expected;
    };
    const std::string programKey = "Software\\Vorla\\TQ-7400";
    const std::string cardKey = "Software\\Vorla\\TQ-7400\\Card";
    const Case cases[] = {
        {"nothing stored", {}, false, {}},
        {"the MIDI key alone", {}, true, {"", "", "", "", true}},
        {"everything",
         {{midiKey, "InputDevice", "In A"},
          {midiKey, "OutputDevice", "Out B"},
          {programKey, "Directory", "/data/"},
          {cardKey, "Drive", "/media/card"}},
         false,
         {"In A", "Out B", "/data/", "/media/card", true}},
        {"a directory but no devices",
         {{programKey, "Directory", "/data/"}},
         false,
         {"", "", "/data/", "", false}},
    };
    for (const Case& c : cases) {
        QFile::remove(location());
        {
            Registry writer(location());
            if (c.createMidiKey) {
                ASSERT_TRUE(writer.createKey(midiKey));
            }
            for (const auto& [key, value, text] : c.values) {
                ASSERT_TRUE(writer.writeString(key, value, text));
            }
        }
        const QByteArray before = readDocument(location());
        const qel::Settings read = qel::registry::readSettings(Registry(location()));
        EXPECT_EQ(read.inputDevice, c.expected.inputDevice) << c.name;
        EXPECT_EQ(read.outputDevice, c.expected.outputDevice) << c.name;
        EXPECT_EQ(read.dataDirectory, c.expected.dataDirectory) << c.name;
        EXPECT_EQ(read.cardDrive, c.expected.cardDrive) << c.name;
        EXPECT_EQ(read.midiKeyExists, c.expected.midiKeyExists) << c.name;
        EXPECT_EQ(readDocument(location()), before) << c.name << ": reading writes nothing";
    }
}

TEST(RegistryLocation, DefaultLocationIsAJsonFileInTheUserConfigFolder) {
    const QString location = Registry::defaultLocation();
    EXPECT_TRUE(location.endsWith("/TQ-7400 Data Manager/registry.json")) << location.toStdString();
    EXPECT_EQ(Registry().location(), location);
}

} // namespace
