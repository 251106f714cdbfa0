#include "common/SettingsFile.h"

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// What the app stores, korvel-cli reads back through the core's reader of
// the same file, whatever characters the values and keys hold.
TEST(SettingsFileFromApp, ReadsBackWhatTheAppStores)
{
    QTemporaryDir settingsDir;
    ASSERT_TRUE(settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    const std::vector<std::pair<QString, QString>> values = {
        {"PREF_REC_FOLDER", " /home/a b,c;d=e \"q\" \\x \u00e9\t@ "},
        {"at", "@start"},
        {"controls", QString("\x01") + "2" + QChar(0) + "3"},
        {"empty", ""},
        {"k\u00e9y with space%", "v"},
        {"General", "top"},
        {"General/x", "in a group named General"},
        {"group/sub/key", "a=b"},
    };
    {
        QSettings settings("Korvel", "Korvel");
        for (const auto& [key, value] : values)
            settings.setValue(key, value);
        settings.setValue("list", QStringList{"a", "b, c"});
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }
    const Result<SettingsFile> file = SettingsFile::load(settingsDir.filePath("Korvel/Korvel.conf").toStdString());
    ASSERT_TRUE(file);
    for (const auto& [key, value] : values) {
        SCOPED_TRACE(key.toStdString());
        const QByteArray utf8 = value.toUtf8();
        EXPECT_EQ(file->text(key.toStdString()), std::string(utf8.constData(), utf8.size()));
    }
    EXPECT_EQ(file->list("list"), (std::vector<std::string>{"a", "b, c"}));
}
