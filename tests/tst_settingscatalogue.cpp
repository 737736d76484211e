#include "convert/settingscatalogue.h"

#include <QTest>

using namespace Settings;

namespace {
QString argumentsOf(const QString &name, bool rewrap = false)
{
    Choice choice;
    choice.name = name;
    // The widgets of other settings must never leak into the chosen one.
    choice.dnxhdLabel = QStringLiteral("1080p/25 120");
    choice.bitDepth = QStringLiteral("16");
    choice.sampleRate = QStringLiteral("48000");
    choice.rewrap = rewrap;
    return argumentsFor(choice);
}
} // namespace

class TestSettingsCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    void dnxhdLabelsGiveTheirArgumentsInMenuOrder();
    void builtInSettingsGiveTheirExactArguments();
    void wavPassesBitDepthAndSampleRate();
    void presetGivesItsArgumentsFieldAndOtherNamesThemselves();
    void rewrapOverridesWhateverWasChosen();
    void outputExtensionIsThePresetsFourthFieldOrMov_data();
    void outputExtensionIsThePresetsFourthFieldOrMov();
};

void TestSettingsCatalogue::dnxhdLabelsGiveTheirArgumentsInMenuOrder()
{
    // Label, then the middle of "-vcodec dnxhd -s ... -acodec pcm_s16le -ar 48000 ".
    const QList<QPair<QString, QString>> table = {
        {"1080p/29.97 36", "1920x1080 -b 36M -r 29.97"},   {"1080p/29.97 145", "1920x1080 -b 145M -r 29.97"},
        {"1080p/29.97 220", "1920x1080 -b 220M -r 29.97"}, {"720/50 120", "1280x720 -b 120M -r 50"},
        // 185M at 1280x720 is no DNxHD profile; the engine only accepts 180M there.
        {"720/50 185", "1280x720 -b 180M -r 50"},          {"720p/25 60", "1280x720 -b 60M -r 25"},
        {"720p/29.97 75", "1280x720 -b 75M -r 29.97"},     {"720p/29.97 110", "1280x720 -b 110M -r 29.97"},
        {"720p/23.976 60", "1280x720 -b 60M -r 23.976"},   {"720p/23.976 90", "1280x720 -b 90M -r 23.976"},
        {"720p/59.94 145", "1280x720 -b 145M -r 59.94"},   {"720p/59.94 220", "1280x720 -b 220M -r 59.94"},
        {"1080p/24 36", "1920x1080 -b 36M -r 24"},         {"1080p/24 115", "1920x1080 -b 115M -r 24"},
        {"1080p/24 175", "1920x1080 -b 175M -r 24"},       {"1080p/23.976 36", "1920x1080 -b 36M -r 23.976"},
        {"1080p/23.976 115", "1920x1080 -b 115M -r 23.976"}, {"1080p/23.976 175", "1920x1080 -b 175M -r 23.976"},
        {"1080p/25 36", "1920x1080 -b 36M -r 25"},         {"1080p/25 120", "1920x1080 -b 120M -r 25"},
        {"1080p/25 185", "1920x1080 -b 185M -r 25"},       {"1080i/50 120", "1920x1080 -b 120M -r 50"},
        {"1080i/50 185", "1920x1080 -b 185M -r 50"},       {"1080i/59.94 145", "1920x1080 -b 145M -r 59.94"},
        {"1080i/59.94 220", "1920x1080 -b 220M -r 59.94"}};
    QStringList labels;
    Choice choice;
    choice.name = Dnxhd;
    for (const auto &[label, middle] : table) {
        labels.append(label);
        choice.dnxhdLabel = label;
        QCOMPARE(argumentsFor(choice),
                 QStringLiteral("-vcodec dnxhd -s ") + middle + QStringLiteral(" -acodec pcm_s16le -ar 48000 "));
    }
    QCOMPARE(dnxhdLabels(), labels);
    QCOMPARE(dnxhdTable().size(), std::size_t(25));

    choice.dnxhdLabel = QStringLiteral("4K/60 999");
    QCOMPARE(argumentsFor(choice), QString());
}

void TestSettingsCatalogue::builtInSettingsGiveTheirExactArguments()
{
    QCOMPARE(argumentsOf(DvPal),
             QStringLiteral(" -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 "));
    QCOMPARE(argumentsOf(DvNtsc),
             QStringLiteral("-s 720x480 -pix_fmt yuv411p -r ntsc -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 "));
    QCOMPARE(argumentsOf(H264), QStringLiteral(" -vcodec libx264 "));
    QCOMPARE(argumentsOf(CopyOnly), QStringLiteral("DON'T CONVERT (BUT COPY TO DEST FOLDER)"));
    QCOMPARE(Rewrap, QStringLiteral(" -vcodec copy -acodec pcm_s16le  "));
}

void TestSettingsCatalogue::wavPassesBitDepthAndSampleRate()
{
    QCOMPARE(sampleRates(), QStringList({"192000", "96000", "48000", "44100", "22000", "8000"}));
    QCOMPARE(bitDepths(), QStringList({"24", "16"}));
    QCOMPARE(argumentsOf(Wav), QStringLiteral("-acodec pcm_s16le -vn -ar 48000"));
    Choice choice;
    choice.name = Wav;
    choice.bitDepth = QStringLiteral("24");
    choice.sampleRate = QStringLiteral("96000");
    QCOMPARE(argumentsFor(choice), QStringLiteral("-acodec pcm_s24le -vn -ar 96000"));
}

void TestSettingsCatalogue::presetGivesItsArgumentsFieldAndOtherNamesThemselves()
{
    QCOMPARE(argumentsOf(QStringLiteral("*MYPRESET*-vcodec mpeg4 -b 5M*mp4")), QStringLiteral("-vcodec mpeg4 -b 5M"));
    // Empty fields are kept: an empty name does not shift the arguments.
    QCOMPARE(argumentsOf(QStringLiteral("**-a b*mp4")), QStringLiteral("-a b"));
    QCOMPARE(argumentsOf(QStringLiteral("*X**mp4")), QString());
    QCOMPARE(argumentsOf(QStringLiteral("*X")), QString());
    // A preset named like a built-in setting is still a preset.
    QCOMPARE(argumentsOf(QStringLiteral("*H.264*-vcodec libx265*mkv")), QStringLiteral("-vcodec libx265"));
    // Names are compared exactly; an unknown one gives itself.
    QCOMPARE(argumentsOf(QStringLiteral("h.264")), QStringLiteral("h.264"));
    QCOMPARE(argumentsOf(QString()), QString());
}

void TestSettingsCatalogue::rewrapOverridesWhateverWasChosen()
{
    for (const QString &name : {Dnxhd, Wav, DvPal, H264, CopyOnly, QStringLiteral("*P*-x*MP4"), QString()})
        QCOMPARE(argumentsOf(name, true), QStringLiteral(" -vcodec copy -acodec pcm_s16le  "));
}

void TestSettingsCatalogue::outputExtensionIsThePresetsFourthFieldOrMov_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("extension");
    QTest::newRow("preset") << "/media/a/clip.mov|*MYPRESET*-vcodec mpeg4 -b 5M*mp4|" << "mp4|";
    QTest::newRow("bare preset line") << "*P*-x*mkv" << "mkv";
    // A "*" in the file's own folder does not count before the marker.
    QTest::newRow("star in path, preset") << "/m/a*b/c.mov|*P*-x*MP4|" << "MP4|";
    QTest::newRow("star in path, built-in") << "/m/a*b*c*d/c.mov|720x576 DV PAL|" << "MOV";
    QTest::newRow("dnxhd") << "/m/c.mxf|Avid DNxHD Codec|" << "MOV";
    QTest::newRow("rewrap") << "/m/c.mts| -vcodec copy -acodec pcm_s16le  |" << "MOV";
    QTest::newRow("unassigned") << "/m/c.mov" << "MOV";
    QTest::newRow("preset without extension field") << "/m/c.mov|*P*-x|" << "MOV";
}

void TestSettingsCatalogue::outputExtensionIsThePresetsFourthFieldOrMov()
{
    QFETCH(QString, entry);
    QFETCH(QString, extension);
    QCOMPARE(outputExtension(entry), extension);
}

QTEST_GUILESS_MAIN(TestSettingsCatalogue)
#include "tst_settingscatalogue.moc"
