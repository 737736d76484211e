#include "convert/settingscatalogue.h"

#include <QTest>

using namespace Settings;

class TestSettingsCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    void comboBoxesOfferTheirValuesInMenuOrder();
    void everyDnxhdLabelGivesItsArguments_data();
    void everyDnxhdLabelGivesItsArguments();
    void dnxhdTableHoldsTheMenuLabelsAndNothingElse();
    void builtInSettingsGiveTheirExactArguments();
    void wavPassesTheSampleRateAsAudioRate();
    void presetGivesItsArgumentsField();
    void unknownNameGivesItself();
    void ruleIsCheckedInOrder();
    void rewrapOverridesWhateverWasChosen_data();
    void rewrapOverridesWhateverWasChosen();
    void outputExtensionOfPresetEntryIsItsFourthField();
    void outputExtensionOfOtherEntriesIsMov_data();
    void outputExtensionOfOtherEntriesIsMov();
};

void TestSettingsCatalogue::comboBoxesOfferTheirValuesInMenuOrder()
{
    QCOMPARE(sampleRates(), QStringList({"192000", "96000", "48000", "44100", "22000", "8000"}));
    QCOMPARE(bitDepths(), QStringList({"24", "16"}));
    QCOMPARE(dnxhdLabels(),
             QStringList({"1080p/29.97 36",  "1080p/29.97 145",  "1080p/29.97 220",
                          "720/50 120",      "720/50 185",       "720p/25 60",
                          "720p/29.97 75",   "720p/29.97 110",   "720p/23.976 60",
                          "720p/23.976 90",  "720p/59.94 145",   "720p/59.94 220",
                          "1080p/24 36",     "1080p/24 115",     "1080p/24 175",
                          "1080p/23.976 36", "1080p/23.976 115", "1080p/23.976 175",
                          "1080p/25 36",     "1080p/25 120",     "1080p/25 185",
                          "1080i/50 120",    "1080i/50 185",     "1080i/59.94 145",
                          "1080i/59.94 220"}));
}

void TestSettingsCatalogue::everyDnxhdLabelGivesItsArguments_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("arguments");
    const auto row = [](const char *label, const char *arguments) {
        QTest::newRow(label) << QString::fromLatin1(label) << QString::fromLatin1(arguments);
    };
    row("1080p/29.97 36", "-vcodec dnxhd -s 1920x1080 -b 36M -r 29.97 -acodec pcm_s16le -ar 48000 ");
    row("1080p/29.97 145", "-vcodec dnxhd -s 1920x1080 -b 145M -r 29.97 -acodec pcm_s16le -ar 48000 ");
    row("1080p/29.97 220", "-vcodec dnxhd -s 1920x1080 -b 220M -r 29.97 -acodec pcm_s16le -ar 48000 ");
    row("720/50 120", "-vcodec dnxhd -s 1280x720 -b 120M -r 50 -acodec pcm_s16le -ar 48000 ");
    // 185M at 1280x720 is no DNxHD profile; the engine only accepts 180M there.
    row("720/50 185", "-vcodec dnxhd -s 1280x720 -b 180M -r 50 -acodec pcm_s16le -ar 48000 ");
    row("720p/25 60", "-vcodec dnxhd -s 1280x720 -b 60M -r 25 -acodec pcm_s16le -ar 48000 ");
    row("720p/29.97 75", "-vcodec dnxhd -s 1280x720 -b 75M -r 29.97 -acodec pcm_s16le -ar 48000 ");
    row("720p/29.97 110", "-vcodec dnxhd -s 1280x720 -b 110M -r 29.97 -acodec pcm_s16le -ar 48000 ");
    row("720p/23.976 60", "-vcodec dnxhd -s 1280x720 -b 60M -r 23.976 -acodec pcm_s16le -ar 48000 ");
    row("720p/23.976 90", "-vcodec dnxhd -s 1280x720 -b 90M -r 23.976 -acodec pcm_s16le -ar 48000 ");
    row("720p/59.94 145", "-vcodec dnxhd -s 1280x720 -b 145M -r 59.94 -acodec pcm_s16le -ar 48000 ");
    row("720p/59.94 220", "-vcodec dnxhd -s 1280x720 -b 220M -r 59.94 -acodec pcm_s16le -ar 48000 ");
    row("1080p/24 36", "-vcodec dnxhd -s 1920x1080 -b 36M -r 24 -acodec pcm_s16le -ar 48000 ");
    row("1080p/24 115", "-vcodec dnxhd -s 1920x1080 -b 115M -r 24 -acodec pcm_s16le -ar 48000 ");
    row("1080p/24 175", "-vcodec dnxhd -s 1920x1080 -b 175M -r 24 -acodec pcm_s16le -ar 48000 ");
    row("1080p/23.976 36", "-vcodec dnxhd -s 1920x1080 -b 36M -r 23.976 -acodec pcm_s16le -ar 48000 ");
    row("1080p/23.976 115", "-vcodec dnxhd -s 1920x1080 -b 115M -r 23.976 -acodec pcm_s16le -ar 48000 ");
    row("1080p/23.976 175", "-vcodec dnxhd -s 1920x1080 -b 175M -r 23.976 -acodec pcm_s16le -ar 48000 ");
    row("1080p/25 36", "-vcodec dnxhd -s 1920x1080 -b 36M -r 25 -acodec pcm_s16le -ar 48000 ");
    row("1080p/25 120", "-vcodec dnxhd -s 1920x1080 -b 120M -r 25 -acodec pcm_s16le -ar 48000 ");
    row("1080p/25 185", "-vcodec dnxhd -s 1920x1080 -b 185M -r 25 -acodec pcm_s16le -ar 48000 ");
    row("1080i/50 120", "-vcodec dnxhd -s 1920x1080 -b 120M -r 50 -acodec pcm_s16le -ar 48000 ");
    row("1080i/50 185", "-vcodec dnxhd -s 1920x1080 -b 185M -r 50 -acodec pcm_s16le -ar 48000 ");
    row("1080i/59.94 145", "-vcodec dnxhd -s 1920x1080 -b 145M -r 59.94 -acodec pcm_s16le -ar 48000 ");
    row("1080i/59.94 220", "-vcodec dnxhd -s 1920x1080 -b 220M -r 59.94 -acodec pcm_s16le -ar 48000 ");
}

void TestSettingsCatalogue::everyDnxhdLabelGivesItsArguments()
{
    QFETCH(QString, label);
    QFETCH(QString, arguments);

    Choice choice;
    choice.name = Dnxhd;
    choice.dnxhdLabel = label;
    QCOMPARE(argumentsFor(choice), arguments);

    const auto table = dnxhdTable();
    const auto found = table.find(label.toStdString());
    QVERIFY(found != table.end());
    QCOMPARE(QString::fromStdString(found->second), arguments);
}

void TestSettingsCatalogue::dnxhdTableHoldsTheMenuLabelsAndNothingElse()
{
    const auto table = dnxhdTable();
    QCOMPARE(table.size(), std::size_t(25));
    for (const QString &label : dnxhdLabels())
        QVERIFY2(table.count(label.toStdString()) == 1, qPrintable(label));

    Choice unknown;
    unknown.name = Dnxhd;
    unknown.dnxhdLabel = QStringLiteral("4K/60 999");
    QCOMPARE(argumentsFor(unknown), QString());
}

void TestSettingsCatalogue::builtInSettingsGiveTheirExactArguments()
{
    Choice choice;
    choice.name = DvPal;
    QCOMPARE(argumentsFor(choice),
             QStringLiteral(" -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 "));
    choice.name = DvNtsc;
    QCOMPARE(argumentsFor(choice),
             QStringLiteral("-s 720x480 -pix_fmt yuv411p -r ntsc -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 "));
    choice.name = H264;
    QCOMPARE(argumentsFor(choice), QStringLiteral(" -vcodec libx264 "));
    choice.name = CopyOnly;
    QCOMPARE(argumentsFor(choice), QStringLiteral("DON'T CONVERT (BUT COPY TO DEST FOLDER)"));

    QCOMPARE(Rewrap, QStringLiteral(" -vcodec copy -acodec pcm_s16le  "));
}

void TestSettingsCatalogue::wavPassesTheSampleRateAsAudioRate()
{
    Choice choice;
    choice.name = Wav;
    choice.bitDepth = QStringLiteral("16");
    choice.sampleRate = QStringLiteral("48000");
    QCOMPARE(argumentsFor(choice), QStringLiteral("-acodec pcm_s16le -vn -ar 48000"));

    choice.bitDepth = QStringLiteral("24");
    choice.sampleRate = QStringLiteral("96000");
    QCOMPARE(argumentsFor(choice), QStringLiteral("-acodec pcm_s24le -vn -ar 96000"));
}

void TestSettingsCatalogue::presetGivesItsArgumentsField()
{
    Choice choice;
    choice.name = QStringLiteral("*MYPRESET*-vcodec mpeg4 -b 5M*mp4");
    QCOMPARE(argumentsFor(choice), QStringLiteral("-vcodec mpeg4 -b 5M"));
    choice.name = QStringLiteral("*X*-a b*mp4");
    QCOMPARE(argumentsFor(choice), QStringLiteral("-a b"));
    // Empty fields are kept: an empty name does not shift the arguments.
    choice.name = QStringLiteral("**-a b*mp4");
    QCOMPARE(argumentsFor(choice), QStringLiteral("-a b"));
    choice.name = QStringLiteral("*X**mp4");
    QCOMPARE(argumentsFor(choice), QString());
    // A truncated line has no arguments field.
    choice.name = QStringLiteral("*X");
    QCOMPARE(argumentsFor(choice), QString());
}

void TestSettingsCatalogue::unknownNameGivesItself()
{
    Choice choice;
    choice.name = QStringLiteral("Something Else");
    QCOMPARE(argumentsFor(choice), QStringLiteral("Something Else"));
    choice.name = QString();
    QCOMPARE(argumentsFor(choice), QString());
    // Names are compared exactly.
    choice.name = QStringLiteral("h.264");
    QCOMPARE(argumentsFor(choice), QStringLiteral("h.264"));
}

void TestSettingsCatalogue::ruleIsCheckedInOrder()
{
    // The widgets of other settings never leak into the chosen one.
    Choice choice;
    choice.dnxhdLabel = QStringLiteral("1080p/25 120");
    choice.bitDepth = QStringLiteral("16");
    choice.sampleRate = QStringLiteral("48000");
    choice.name = H264;
    QCOMPARE(argumentsFor(choice), QStringLiteral(" -vcodec libx264 "));
    choice.name = Wav;
    QCOMPARE(argumentsFor(choice), QStringLiteral("-acodec pcm_s16le -vn -ar 48000"));
    // A preset whose whole line equals no built-in name is still read as a preset.
    choice.name = QStringLiteral("*H.264*-vcodec libx265*mkv");
    QCOMPARE(argumentsFor(choice), QStringLiteral("-vcodec libx265"));
}

void TestSettingsCatalogue::rewrapOverridesWhateverWasChosen_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("dnxhd") << Dnxhd;
    QTest::newRow("wav") << Wav;
    QTest::newRow("dv pal") << DvPal;
    QTest::newRow("h264") << H264;
    QTest::newRow("copy only") << CopyOnly;
    QTest::newRow("preset") << QStringLiteral("*P*-x*MP4");
    QTest::newRow("nothing selected") << QString();
}

void TestSettingsCatalogue::rewrapOverridesWhateverWasChosen()
{
    QFETCH(QString, name);
    Choice choice;
    choice.name = name;
    choice.dnxhdLabel = QStringLiteral("1080p/25 120");
    choice.bitDepth = QStringLiteral("16");
    choice.sampleRate = QStringLiteral("48000");
    choice.rewrap = true;
    QCOMPARE(argumentsFor(choice), QStringLiteral(" -vcodec copy -acodec pcm_s16le  "));
}

void TestSettingsCatalogue::outputExtensionOfPresetEntryIsItsFourthField()
{
    QCOMPARE(outputExtension(QStringLiteral("path|*P*-x*MP4|")), QStringLiteral("MP4|"));
    QCOMPARE(outputExtension(QStringLiteral("/media/a/clip.mov|*MYPRESET*-vcodec mpeg4 -b 5M*mp4|")),
             QStringLiteral("mp4|"));
    QCOMPARE(outputExtension(QStringLiteral("*P*-x*mkv")), QStringLiteral("mkv"));
    // A "*" in the file's own folder does not count before the marker.
    QCOMPARE(outputExtension(QStringLiteral("/m/a*b/c.mov|*P*-x*MP4|")), QStringLiteral("MP4|"));
}

void TestSettingsCatalogue::outputExtensionOfOtherEntriesIsMov_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("dnxhd") << QStringLiteral("/m/c.mxf|Avid DNxHD Codec|");
    QTest::newRow("dv pal") << QStringLiteral("/m/c.avi|720x576 DV PAL|");
    QTest::newRow("rewrap") << QStringLiteral("/m/c.mts| -vcodec copy -acodec pcm_s16le  |");
    QTest::newRow("unassigned") << QStringLiteral("/m/c.mov");
    QTest::newRow("star in path, built-in setting")
            << QStringLiteral("/m/a*b*c*d/c.mov|720x576 DV PAL|");
    QTest::newRow("preset without extension field") << QStringLiteral("/m/c.mov|*P*-x|");
}

void TestSettingsCatalogue::outputExtensionOfOtherEntriesIsMov()
{
    QFETCH(QString, entry);
    QCOMPARE(outputExtension(entry), QStringLiteral("MOV"));
}

QTEST_GUILESS_MAIN(TestSettingsCatalogue)
#include "tst_settingscatalogue.moc"
