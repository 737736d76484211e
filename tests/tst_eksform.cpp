#include "convert/eksform.h"
#include "convert/guidance.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringListModel>
#include <QtTest>

using StringMap = std::map<std::string, std::string>;

class EksFormTest final : public QObject
{
    Q_OBJECT

private:
    // A form in its own sandbox whose questions are answered No.
    struct Fixture
    {
        Sandbox sandbox;
        DialogAnswers answers{QMessageBox::No};
        eksForm form;

        template<typename T>
        T *child(const char *name)
        {
            T *widget = form.findChild<T *>(QLatin1String(name));
            Q_ASSERT(widget);
            return widget;
        }

        // Two avi files and four mov files, delivered as ANALYZE delivers them.
        void deliver()
        {
            form.receiveEXT({QStringLiteral("avi"), QStringLiteral("mov")},
                            {{QStringLiteral("/s/a1.avi"), QStringLiteral("/s/a2.avi")},
                             {QStringLiteral("/s/m1.mov"), QStringLiteral("/s/m2.mov"),
                              QStringLiteral("/s/m3.mov"), QStringLiteral("/s/m4.mov")}},
                            {QStringLiteral("file:///s")}, QStringLiteral("/out"));
        }

        void clickExtension(int row)
        {
            auto *view = child<QListView>("listView");
            const QModelIndex index = view->model()->index(row, 0);
            view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
            QMetaObject::invokeMethod(&form, "on_listView_clicked", Q_ARG(QModelIndex, index));
        }

        void chooseSetting(const QString &text)
        {
            auto *list = child<QListWidget>("listWidget");
            const QList<QListWidgetItem *> items = list->findItems(text, Qt::MatchExactly);
            QVERIFY2(!items.isEmpty(), qPrintable(text));
            list->setCurrentItem(items.first());
            QMetaObject::invokeMethod(&form, "on_listWidget_clicked",
                                      Q_ARG(QModelIndex, list->currentIndex()));
        }

        // Selects the given rows of the shown group and presses the button (APPLY).
        void press(const QList<int> &rows, const char *button = "pushButton")
        {
            auto *view = child<QListView>("listView_2");
            view->selectionModel()->clearSelection();
            for (int row : rows)
                view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
            child<QPushButton>(button)->click();
        }
        void apply(const QList<int> &rows) { press(rows); }

        int countItems(const QString &text)
        {
            return int(child<QListWidget>("listWidget")->findItems(text, Qt::MatchExactly).size());
        }
    };

private slots:
    void init()
    {
        mapa.clear();
        tempo.clear();
    }

    void receivingAnalysisSetsEveryFileToDefaultAndShowsFirstGroup()
    {
        Fixture f;
        f.deliver();
        QCOMPARE(f.form.groupSettings,
                 QVector<QStringList>({QStringList(2, Settings::Default), QStringList(4, Settings::Default)}));
        QCOMPARE(f.form.destinationDir, QStringLiteral("/out"));
        QCOMPARE(f.child<QListView>("listView")->currentIndex().row(), 0);
        QCOMPARE(f.form.fileModel->stringList(),
                 QStringList({QStringLiteral("/s/a1.avi"), QStringLiteral("/s/a2.avi")}));
        QVERIFY(f.child<QLabel>("label_3")->isHidden());
        QVERIFY(f.child<QCheckBox>("checkBox")->isHidden());
    }

    void everyDeliveryAppendsPresetsAndH264Again()
    {
        Fixture f;
        QVERIFY(writeFile(f.sandbox.bundle() + "/presets.txt", "*\n**\n***\n*P*-an*wav\n"));
        const int builtIn = f.child<QListWidget>("listWidget")->count();
        f.deliver();
        f.deliver();
        // Lines shorter than three characters are skipped. No ./ffmpeg in the working
        // folder: the probe fails and "H.264" is offered.
        QCOMPARE(f.countItems("*"), 0);
        QCOMPARE(f.countItems("**"), 0);
        QCOMPARE(f.countItems("***"), 2);
        QCOMPARE(f.countItems("*P*-an*wav"), 2);
        QCOMPARE(f.countItems(Settings::H264), 2);
        QCOMPARE(f.child<QListWidget>("listWidget")->count(), builtIn + 6);
    }

    void emptyOrMissingEnginesFolderAsksForAnEngine_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("asks");
        QTest::newRow("empty") << "empty" << true;
        QTest::newRow("missing") << "missing" << true;
        QTest::newRow("one engine") << "engine" << false;
    }

    void emptyOrMissingEnginesFolderAsksForAnEngine()
    {
        QFETCH(QString, layout);
        QFETCH(bool, asks);
        Fixture f;
        if (layout == "missing")
            QVERIFY(QDir(f.sandbox.engines()).removeRecursively());
        if (layout == "engine")
            QVERIFY(writeRecordingProgram(f.sandbox.engines() + "/ffmpeg", f.sandbox.path() + "/rec"));
        f.deliver();
        QCOMPARE(f.answers.texts.contains(QStringLiteral(
                     "Conversion Engine not Found! You need to download Conversion Engine "
                     "Binary!(i.e.ffmpeg,sox etc.)")),
                 asks);
        if (!asks)
            QVERIFY(!f.child<QPushButton>("pushButton_5")->isHidden());
    }

    void backSendsTheArgumentsAppliedPerExtension()
    {
        Fixture f;
        f.deliver();
        QSignalSpy sent(&f.form, &eksForm::sendOUT);
        f.child<QPushButton>("pushButton_2")->click();
        QCOMPARE(sent.size(), 1);
        QVERIFY(sent.at(0).at(0).value<StringMap>().empty());

        f.clickExtension(1);
        f.chooseSetting(Settings::DvPal);
        f.apply({0});
        f.clickExtension(0);
        f.chooseSetting(Settings::H264);
        f.apply({0});
        f.child<QPushButton>("pushButton_2")->click();
        const auto map = sent.at(1).at(0).value<StringMap>();
        QCOMPARE(map.size(), size_t(2));
        QCOMPARE(map.at("mov"), std::string(" -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo "
                                             "-acodec pcm_s16le -ac 2 -ar 48000 "));
        QCOMPARE(map.at("avi"), std::string(" -vcodec libx264 "));
    }

    void applyAssignsOnlyUnassignedFilesAndResetFreesThem()
    {
        Fixture f;
        f.deliver();
        f.clickExtension(1);
        f.chooseSetting(Settings::CopyOnly);
        f.apply({3});
        f.chooseSetting(Settings::DvPal);
        f.apply({0, 1, 2, 3});

        const QString pal = f.form.groupSettings[1][0];
        QVERIFY(pal.contains("dvvideo"));
        QCOMPARE(f.form.groupFiles[1][0], QStringLiteral("/s/m1.mov|720x576 DV PAL|"));
        QCOMPARE(f.form.groupSettings[1][2], pal);
        QCOMPARE(f.form.groupFiles[1][3], "/s/m4.mov|" + Settings::CopyOnly + "|");
        QCOMPARE(f.form.groupSettings[1][3], Settings::CopyOnly);
        QCOMPARE(f.form.fileModel->stringList(), f.form.groupFiles[1]);

        // A second setting does not replace the first ...
        f.chooseSetting(Settings::DvNtsc);
        f.apply({0});
        QCOMPARE(f.form.groupSettings[1][0], pal);
        // ... until the file is reset.
        f.press({0}, "pushButton_3");
        QCOMPARE(f.form.groupFiles[1][0], QStringLiteral("/s/m1.mov"));
        QCOMPARE(f.form.groupSettings[1][0], Settings::Default);
        f.apply({0});
        QCOMPARE(f.form.groupFiles[1][0], QStringLiteral("/s/m1.mov|720x480 DV NTSC|"));
        // The other group was never touched.
        QCOMPARE(f.form.groupSettings[0], QStringList(2, Settings::Default));
    }

    void rewrapPresetAndWavSettingsGiveTheirMarkersAndArguments()
    {
        Fixture f;
        f.deliver();
        // Without a chosen setting APPLY shows the hint and assigns nothing.
        f.child<QListWidget>("listWidget")->setCurrentItem(nullptr);
        f.apply({0});
        QVERIFY(!f.child<QLabel>("label_3")->isHidden());
        QCOMPARE(f.form.groupSettings[0], QStringList(2, Settings::Default));

        // Re-wrap overrides the chosen setting and unchecks its box.
        f.chooseSetting(Settings::Dnxhd);
        auto *rewrap = f.child<QCheckBox>("checkBox");
        rewrap->setChecked(true);
        f.apply({1});
        QCOMPARE(f.form.groupFiles[0][1], "/s/a2.avi|" + Settings::Rewrap + "|");
        QCOMPARE(f.form.groupSettings[0][1], Settings::Rewrap);
        QVERIFY(!rewrap->isChecked());

        // A new preset is stored upper-cased and its whole line becomes the marker.
        f.form.getentry("mypreset", "-vcodec mpeg4 -b 5M", "mp4");
        f.chooseSetting("*MYPRESET*-vcodec mpeg4 -b 5M*mp4");
        f.apply({0});
        QCOMPARE(f.form.groupFiles[0][0], QStringLiteral("/s/a1.avi|*MYPRESET*-vcodec mpeg4 -b 5M*mp4|"));
        QCOMPARE(f.form.groupSettings[0][0], QStringLiteral("-vcodec mpeg4 -b 5M"));
        QCOMPARE(readFile(f.sandbox.bundle() + "/presets.txt"),
                 QByteArray("*MYPRESET*-vcodec mpeg4 -b 5M*mp4\n"));

        f.clickExtension(1);
        f.chooseSetting(Settings::Wav);
        QVERIFY(!f.child<QComboBox>("comboBox_2")->isHidden());
        QVERIFY(!f.child<QComboBox>("comboBox_3")->isHidden());
        QVERIFY(f.child<QComboBox>("comboBox")->isHidden());
        f.child<QComboBox>("comboBox_2")->setCurrentText("16");
        f.child<QComboBox>("comboBox_3")->setCurrentText("48000");
        f.apply({0});
        QCOMPARE(f.form.groupSettings[1][0], QStringLiteral("-acodec pcm_s16le -vn -ar 48000"));
    }

    void openingShowsTheAdviceOfTheSelectedExtension_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("rewrap");
        QTest::addColumn<bool>("audio");
        QTest::newRow("video") << "mpg" << false << false;
        QTest::newRow("mts") << "mts" << true << false;
        QTest::newRow("audio, upper case") << "MP3" << false << true;
        QTest::newRow("no advice") << "xyz" << false << false;
    }

    void openingShowsTheAdviceOfTheSelectedExtension()
    {
        QFETCH(QString, first);
        QFETCH(bool, rewrap);
        QFETCH(bool, audio);
        Fixture f;
        f.form.receiveEXT({first, "zzz"}, {{"/a." + first}, {"/b.zzz"}}, {}, "/out");
        QCOMPARE(f.child<QListView>("listView")->currentIndex().data().toString(), first);
        // No advice is better than another format's.
        QCOMPARE(f.child<QLabel>("label_2")->text(), guidanceFor(first).text);
        QCOMPARE(f.child<QCheckBox>("checkBox")->isHidden(), !rewrap);
        QCOMPARE(f.child<QComboBox>("comboBox_2")->isHidden(), !audio);
        QCOMPARE(f.child<QComboBox>("comboBox_3")->isHidden(), !audio);
        QVERIFY(f.child<QComboBox>("comboBox")->isHidden());
    }

    void everyLabelShowsItsWholeTextAtTheDefaultSize()
    {
        Fixture f;
        const QStringList keys = guidanceKeys();
        QVector<QStringList> files;
        for (const QString &key : keys)
            files.append({"/a." + key});
        f.form.receiveEXT(keys, files, {}, "/out");
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        QCOMPARE(f.form.size(), QSize(1142, 635));

        auto *view = f.child<QListView>("listView");
        for (int row = 0; row < keys.size(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
            QCOMPARE(tempo, keys.at(row));
            QCOMPARE(cutLabels(&f.form), QString());
        }
        // APPLY without a chosen setting shows its hint.
        f.child<QListWidget>("listWidget")->setCurrentItem(nullptr);
        f.child<QPushButton>("pushButton")->click();
        QVERIFY(f.child<QLabel>("label_3")->isVisible());
        QCOMPARE(cutLabels(&f.form), QString());
    }

    void extensionClicksSwitchGuidanceWidgetsAndFiles()
    {
        Fixture f;
        f.form.receiveEXT({"MOV", "mts", "xyz"}, {{"/a.MOV"}, {"/b.mts"}, {"/c.xyz"}}, {}, "/out");
        auto *guidance = f.child<QLabel>("label_2");
        auto *rewrap = f.child<QCheckBox>("checkBox");
        f.chooseSetting(Settings::Dnxhd);
        QVERIFY(!f.child<QComboBox>("comboBox")->isHidden());

        f.clickExtension(0);
        QCOMPARE(tempo, QStringLiteral("mov"));
        QVERIFY(guidance->text().startsWith("MOV is very common QuickTime Container."));
        QVERIFY(f.child<QComboBox>("comboBox")->isHidden());

        f.clickExtension(1);
        QVERIFY(!rewrap->isHidden());
        QCOMPARE(f.form.fileModel->stringList(), QStringList("/b.mts"));
        const QString mtsText = guidance->text();

        // No advice for an unknown extension: the label keeps its text.
        f.clickExtension(2);
        QVERIFY(rewrap->isHidden());
        QCOMPARE(guidance->text(), mtsText);
        QCOMPARE(f.form.fileModel->stringList(), QStringList("/c.xyz"));
    }
};

QTEST_MAIN(EksFormTest)
#include "tst_eksform.moc"
