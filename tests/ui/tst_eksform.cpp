// The conversion form as the user drives it: what an analysis shows, settings applied and
// reset, guidance, and the preview.

#include "ui/common/modal.h"
#include "core/run/conversionrun.h"
#include "ui/form/eksform.h"
#include "core/jobs/jobmodel.h"
#include "core/media/guidance.h"
#include "core/media/intermediates.h"
#include "core/media/settingscatalogue.h"
#include "core/presets/presetfile.h"
#include "formfixture.h"

#include <QMediaPlayer>
#include <QtTest>
#include <QtWidgets>

namespace {
using JobModel::assigned;

using Fixture = FormFixture;
} // namespace

class EksFormTest final : public QObject
{
    Q_OBJECT

private slots:
    void applyAssignsUnassignedFilesTheirMarkersAndResetFreesThem()
    {
        Fixture f;
        const QString preset = presetLine("mine", "-vcodec mpeg4 -b 5M", "mp4");
        QVERIFY(writeFile(f.sandbox.bundle() + "/presets.txt", "*\n**\n***\n" + preset.toLatin1() + '\n'));
        f.form.receiveEXT({"mov", "mts"},
                          {{"/s/a1.mov", "/s/a2.mov"}, {"/s/m1.mts", "/s/m2.mts", "/s/m3.mts", "/s/m4.mts"}},
                          {"file:///s"}, "/out");
        // Every file at DEFAULT, the first group shown. Preset lines shorter than three
        // characters are skipped; without ./ffmpeg in the working folder the probe fails
        // and "H.264" is offered; the engines folder is empty, so an engine is asked for.
        QCOMPARE(f.form.groupSettings, QVector<QStringList>({QStringList(2, Settings::Default),
                                                            QStringList(4, Settings::Default)}));
        QCOMPARE(f.form.fileModel->stringList(), f.form.groupFiles[0]);
        QCOMPARE(f.countItems("**") + f.countItems("***"), 1);
        QTRY_COMPARE(f.countItems(Settings::H264), 1);
        QCOMPARE(f.answers.texts.size(), 1);
        // Without a chosen setting APPLY assigns nothing and says what is missing.
        f.child<QListWidget>("listWidget")->setCurrentItem(nullptr);
        f.press({0});
        QCOMPARE(f.form.groupSettings[0], QStringList(2, Settings::Default));
        QVERIFY(f.child("label_3")->isVisible());
        QCOMPARE(cutLabels(&f.form), QString());

        f.chooseSetting(preset);
        f.press({1});
        f.chooseSetting(Settings::Wav);
        QVERIFY(f.child("comboBox_2")->isVisible() && f.child("comboBox_3")->isVisible());
        f.child<QComboBox>("comboBox_2")->setCurrentText("16");
        f.child<QComboBox>("comboBox_3")->setCurrentText("48000");
        f.press({0, 1});
        // A preset's whole line is the marker, its arguments the setting.
        QCOMPARE(f.form.groupFiles[0], QStringList({assigned("/s/a1.mov", Settings::Wav),
                                                    assigned("/s/a2.mov", preset)}));
        QCOMPARE(f.form.groupSettings[0],
                 QStringList({Settings::argumentsFor({Settings::Wav, {}, "16", "48000"}),
                              "-vcodec mpeg4 -b 5M"}));

        // The arrow key moves to the next extension as a click does: its files are shown.
        QTest::keyClick(f.child<QListView>("listView"), Qt::Key_Down);
        QCOMPARE(f.form.fileModel->stringList(), f.form.groupFiles[1]);
        f.chooseSetting(Settings::CopyOnly);
        f.press({3});
        f.chooseSetting(Settings::DvPal);
        f.press({0, 2, 3});
        // A second setting does not replace the first until the file is reset.
        f.chooseSetting(Settings::DvNtsc);
        f.press({0});
        QCOMPARE(f.form.groupFiles[1][0], assigned("/s/m1.mts", Settings::DvPal));
        f.press({0}, "pushButton_3");
        QCOMPARE(f.form.groupFiles[1][0], QStringLiteral("/s/m1.mts"));
        QCOMPARE(f.form.groupSettings[1][0], Settings::Default);
        f.press({0});
        // Re-wrap overrides the chosen setting and unchecks its box.
        f.chooseSetting(Settings::Dnxhd);
        auto *rewrap = f.child<QCheckBox>("checkBox");
        QTest::mouseClick(rewrap, Qt::LeftButton);
        f.press({1});
        QVERIFY(!rewrap->isChecked());
        QCOMPARE(f.form.groupFiles[1],
                 QStringList({assigned("/s/m1.mts", Settings::DvNtsc), assigned("/s/m2.mts", Settings::Rewrap),
                              assigned("/s/m3.mts", Settings::DvPal), assigned("/s/m4.mts", Settings::CopyOnly)}));
        QCOMPARE(f.form.fileModel->stringList(), f.form.groupFiles[1]);
        QCOMPARE(f.form.groupSettings[1][1], Settings::Rewrap);
        QCOMPARE(f.form.groupSettings[1][3], Settings::CopyOnly);
    }

    // Every profile of the two families, picked in the box beside the DNxHD one and applied.
    void intermediateProfilesAreAppliedFromTheirFamilysBox_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QStringList>("profiles");
        QTest::addColumn<QString>("profile");
        for (const auto &[family, profiles] : {std::pair{Settings::Dnxhr, Settings::dnxhrProfiles()},
                                               std::pair{Settings::Prores, Settings::proresProfiles()}}) {
            for (const QString &profile : profiles)
                QTest::addRow("%s %s", qPrintable(family), qPrintable(profile)) << family << profiles << profile;
        }
    }

    void intermediateProfilesAreAppliedFromTheirFamilysBox()
    {
        QFETCH(QString, family);
        QFETCH(QStringList, profiles);
        QFETCH(QString, profile);
        Fixture f;
        f.form.receiveEXT({"mov"}, {{"/s/a.mov"}}, {}, "/out");
        auto *list = f.child<QListWidget>("listWidget");
        auto *box = f.child<QComboBox>("comboBoxProfile");
        QStringList settings;
        for (int row = 0; row < list->count(); ++row) {
            settings.append(list->item(row)->text());
            f.chooseSetting(settings.last());
            QCOMPARE(box->isVisible(), settings.last() == Settings::Dnxhr || settings.last() == Settings::Prores);
        }
        // The designed items keep their order; the families follow them.
        QCOMPARE(settings.mid(0, 6), QStringList({Settings::CopyOnly, Settings::DvNtsc, Settings::DvPal,
                                                  Settings::Dnxhd, Settings::Dnxhr, Settings::Prores}));
        f.chooseSetting(family);
        QStringList offered;
        for (int i = 0; i < box->count(); ++i)
            offered.append(box->itemText(i));
        QCOMPARE(offered, profiles);
        box->setCurrentIndex(box->findText(profile));
        f.press({0});
        QCOMPARE(f.form.groupFiles[0][0], assigned("/s/a.mov", family));
        QCOMPARE(f.form.groupSettings[0][0], Settings::argumentsFor({family, {}, {}, {}, false, profile}));
    }

    // The advice of the first extension shows at once; every other row is clicked.
    void extensionShowsItsFilesAndAdviceAndCutsNoLabel()
    {
        Fixture f;
        const QStringList keys = guidanceKeys() << "xyz" << "MOV";
        QVector<QStringList> files;
        for (const QString &key : keys)
            files.append({"/a." + key});
        f.form.receiveEXT(keys, files, {}, "/out");
        auto *guidance = f.child<QLabel>("label_2");
        for (int row = 0; row < keys.size(); ++row) {
            const QString before = guidance->text();
            if (row > 0)
                f.clickExtension(row);
            const Guidance advice = guidanceFor(keys.at(row));
            QCOMPARE(f.form.fileModel->stringList(), files.at(row));
            // An extension without advice leaves the label as it was.
            QCOMPARE(guidance->text(), advice.found ? advice.text : before);
            QCOMPARE(f.child("checkBox")->isVisible(), advice.rewrapBox);
            QCOMPARE(f.child("comboBox_2")->isVisible(), advice.audioCombos);
            QCOMPARE(cutLabels(&f.form), QString());
        }
    }

    // Camera footage dropped alone and assigned, then clicked: the file itself plays and moves.
    void clickedCameraFootagePlays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("encoding");
        QTest::newRow("MPEG-PS") << "a.mpg" << QStringList{"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob"};
        QTest::newRow("AVCHD: MPEG-TS, H.264")
            << "00001.MTS"
            << QStringList{"-c:v", "libx264", "-c:a", "ac3", "-f", "mpegts", "-mpegts_m2ts_mode", "1"};
        QTest::newRow("MP4, H.264") << "c.mp4" << QStringList{"-c:v", "libx264", "-c:a", "aac"};
    }

    void clickedCameraFootagePlays()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, encoding);
        if (!haveFfmpeg())
            QSKIP("ffmpeg makes the clips");
        Fixture f;
        const QString clip = f.sandbox.path() + "/" + name;
        QVERIFY(runFfmpeg(QStringList{"-f", "lavfi", "-i", "testsrc=size=64x64:rate=25", "-f", "lavfi",
                                      "-i", "sine", "-t", "5", "-pix_fmt", "yuv420p"}
                          + encoding + QStringList{clip}));
        f.form.receiveEXT({"mov"}, {{assigned(clip.mid(1), Settings::H264)}}, {}, "/out");

        clickRows(f.files(), {0});
        QMediaPlayer *player = f.form.player();
        QCOMPARE(player->source(), QUrl::fromLocalFile(clip));
        QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);
        QCOMPARE(player->error(), QMediaPlayer::NoError);
    }

    // The paused preview follows its seek bar however the bar is moved.
    void seekBarMovesThePausedPreview_data()
    {
        QTest::addColumn<int>("key"); // none: a click on the groove right of the handle
        QTest::newRow("click on the groove") << 0;
        QTest::newRow("arrow key") << int(Qt::Key_Right);
        QTest::newRow("page key") << int(Qt::Key_PageUp);
        QTest::newRow("end key") << int(Qt::Key_End);
    }

    void seekBarMovesThePausedPreview()
    {
        QFETCH(int, key);
        if (!haveFfmpeg())
            QSKIP("ffmpeg makes the clip");
        Fixture f;
        const QString clip = f.sandbox.path() + "/clip.mp4";
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x64:rate=25", "-t", "20", "-pix_fmt", "yuv420p", clip}));
        f.form.receiveEXT({"mp4"}, {{clip}}, {}, "/out");
        clickRows(f.files(), {0});
        QMediaPlayer *player = f.form.player();
        auto *bar = f.child<QSlider>("seekSlider");
        QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > 0 && player->position() > 0, 10000);
        f.child<QPushButton>("pushButton_8")->click();
        QTRY_COMPARE(player->playbackState(), QMediaPlayer::PausedState);
        const int before = bar->value();

        if (key)
            QTest::keyClick(bar, Qt::Key(key));
        else
            QTest::mouseClick(bar, Qt::LeftButton, {}, {bar->width() - 2, bar->height() / 2});
        const int wanted = bar->value();
        QVERIFY(wanted > before);
        // One frame of the clip either way.
        QTRY_VERIFY2(qAbs(player->position() - wanted) <= 40,
                     qPrintable(QStringLiteral("at %1, bar at %2").arg(player->position()).arg(wanted)));
    }

    // Play runs the package's player, Open Location the desktop opener, both stand-ins.
    void fileMenuPlaysAndOpensTheLocationOfHostileNamesUnharmed()
    {
        Fixture f;
        QTRY_COMPARE(ffplay, 1); // no ./ffplay in the working folder: Play is offered
        const QString root = QFileInfo(f.sandbox.path()).canonicalFilePath();
        const QString players = root + "/player-calls";
        const QString openers = root + "/open-calls";
        QVERIFY(writeRecordingProgram(f.sandbox.bundle() + "/ffplay", players));
        QVERIFY(writeRecordingProgram(f.sandbox.bin() + "/open", openers));
        const QString folder = root + "/disk/my \"best\" $(touch pwned) it's 日本語";
        const QString name = QStringLiteral("/映像 \"1\" `touch pwned2` $HOME.mov");
        QVERIFY(touchFile(folder + name));
        // Reached through a link: the location opened is the link's target.
        QVERIFY(QFile::link(folder, root + "/linked"));
        const QString clip = root + "/linked" + name;
        // Dropped on its own and assigned: the player is given "/" + the entry's path.
        f.form.receiveEXT({"mov"}, {{assigned(clip.mid(1), Settings::H264)}}, {}, root + "/out");
        // The menu's entries in their order: the location, then the player when offered.
        enum { OpenLocation, Play };
        int choice = -1;
        Modal::setMenuRunner([&](QMenu *menu, const QPoint &) { return menu->actions().value(choice); });
        const auto restore = qScopeGuard([] { Modal::setMenuRunner({}); });
        const auto rightClick = [&](int chosen) {
            choice = chosen;
            QWidget *list = f.files()->viewport();
            QContextMenuEvent event(QContextMenuEvent::Mouse, {5, 5}, list->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(list, &event);
        };
        auto *bar = f.child<QProgressBar>("progressBar");

        rightClick(OpenLocation); // no file is current yet: nothing runs
        QCOMPARE(bar->value(), 0);
        f.files()->setCurrentIndex(f.files()->model()->index(0, 0));
        rightClick(Play);
        QTRY_COMPARE(exactRecordedCalls(players), QList<QByteArrayList>({{clip.toUtf8()}}));
        QCOMPARE(bar->value(), 0);
        rightClick(OpenLocation);
        QTRY_COMPARE(exactRecordedCalls(openers), QList<QByteArrayList>({{folder.toUtf8()}}));
        QCOMPARE(bar->value(), 100);
        for (const QString &file : filesBelow(root))
            QVERIFY2(!QFileInfo(file).fileName().startsWith("pwned"), qPrintable(file));
    }

    // A click below the extension rows, or a Ctrl+click on the chosen one, takes the selection
    // off it; its files stay listed, and they are the ones APPLY and Reset change.
    void applyAndResetChangeTheFilesListed_data()
    {
        QTest::addColumn<bool>("belowTheRows");
        QTest::newRow("click below the rows") << true;
        QTest::newRow("Ctrl+click on the row") << false;
    }

    void applyAndResetChangeTheFilesListed()
    {
        QFETCH(bool, belowTheRows);
        Fixture f;
        f.form.receiveEXT({"avi", "mov"}, {{"/s/a1.avi", "/s/a2.avi"}, {"/s/m1.mov", "/s/m2.mov"}},
                          {"file:///s"}, "/out");
        const QVector<QStringList> delivered = f.form.groupFiles;
        auto *extensions = f.child<QListView>("listView");
        clickRows(extensions, belowTheRows ? QList<int>{1} : QList<int>{1, 1});
        if (belowTheRows)
            QTest::mouseClick(extensions->viewport(), Qt::LeftButton, {},
                              QPoint(5, extensions->viewport()->height() - 5));
        QVERIFY(extensions->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(f.form.fileModel->stringList(), delivered[1]);
        f.chooseSetting(Settings::DvPal);
        f.press({1});
        QCOMPARE(f.form.groupFiles,
                 QVector<QStringList>({delivered[0], {delivered[1][0], assigned("/s/m2.mov", Settings::DvPal)}}));
        QCOMPARE(f.form.fileModel->stringList(), f.form.groupFiles[1]);
        f.press({1}, "pushButton_3");
        QCOMPARE(f.form.groupFiles, delivered);
    }

    // A setting reached with the arrow keys shows the boxes a click on it shows.
    void settingBoxesFollowTheCurrentSetting()
    {
        Fixture f;
        f.form.receiveEXT({"mov"}, {{"/s/a.mov"}}, {}, "/out");
        auto *list = f.child<QListWidget>("listWidget");
        const auto shownBoxes = [&] {
            QStringList shown;
            for (const QComboBox *box : f.form.findChildren<QComboBox *>())
                shown.append(box->objectName() + (box->isVisible() ? " shown" : " hidden"));
            return shown;
        };
        for (int row = 1; row < list->count(); ++row) {
            clickRows(list, {row - 1});
            QTest::keyClick(list, Qt::Key_Down);
            const QStringList byKey = shownBoxes();
            clickRows(list, {row});
            QVERIFY2(byKey == shownBoxes(), qPrintable(list->item(row)->text()));
        }
    }

    // The re-wrap box is offered for one extension; checked there, it does not apply to the
    // files of another, where the user no longer sees it.
    void rewrapAppliesOnlyWhereItsBoxIsOffered()
    {
        Fixture f;
        f.form.receiveEXT({"mov", "mts"}, {{"/s/a.mov"}, {"/s/b.mts"}}, {}, "/out");
        f.clickExtension(1);
        QTest::mouseClick(f.child<QCheckBox>("checkBox"), Qt::LeftButton);
        f.clickExtension(0);
        f.chooseSetting(Settings::DvPal);
        f.press({0});
        QCOMPARE(f.form.groupSettings[0][0], Settings::argumentsFor({Settings::DvPal, {}, {}, {}}));
    }
};

QTEST_MAIN(EksFormTest)
#include "tst_eksform.moc"
