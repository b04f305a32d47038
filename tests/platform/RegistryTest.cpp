#include "platform/registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using qel::registry::Registry;

namespace {

const std::string midiKey = "Software\\Vorla\\TQ-7400\\MIDI";

class RegistryTest : public testing::Test {
protected:
    QString location() const { return folder.path() + "/config/registry.json"; }
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

TEST_F(RegistryTest, UnreadableDocumentReadsAsEmptyAndIsReplacedOnWrite) {
    QDir().mkpath(folder.path() + "/config");
    for (const QByteArray& junk : {QByteArray("not json {"), QByteArray("[1, 2]"),
                                   QByteArray("{\"keys\": 5}"), QByteArray("\xff\xfe\x00", 3)}) {
        QFile file(location());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(junk);
        file.close();
        Registry registry(location());
        EXPECT_FALSE(registry.keyExists(midiKey)) << junk.toStdString();
        ASSERT_TRUE(registry.writeString(midiKey, "InputDevice", "X"));
        EXPECT_EQ(registry.readString(midiKey, "InputDevice"), "X");
    }
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

TEST(RegistryLocation, DefaultLocationIsAJsonFileInTheUserConfigFolder) {
    const QString location = Registry::defaultLocation();
    EXPECT_TRUE(location.endsWith("/TQ-7400 Data Manager/registry.json")) << location.toStdString();
    EXPECT_EQ(Registry().location(), location);
}

} // namespace
