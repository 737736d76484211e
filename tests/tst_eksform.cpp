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
            form.receiveEXT({"avi", "mov"},
                            {{"/s/a1.avi", "/s/a2.avi"},
                             {"/s/m1.mov", "/s/m2.mov", "/s/m3.mov", "/s/m4.mov"}},
                            {"file:///s"}, "/out");
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

    // The first extension is shown as a click on it shows it: its files, its advice (none
    // is better than another format's) and the setting widgets that suit it.
    void receivingAnalysisSetsEveryFileToDefaultAndShowsTheFirstGroup_data()
    {
        QTest::addColumn<QString>("first");
        QTest::newRow("video") << "mpg";
        QTest::newRow("mts, with the re-wrap box") << "mts";
        QTest::newRow("audio, upper case") << "MP3";
        QTest::newRow("no advice") << "xyz";
    }

    void receivingAnalysisSetsEveryFileToDefaultAndShowsTheFirstGroup()
    {
        QFETCH(QString, first);
        Fixture f;
        f.form.receiveEXT({first, "mov"}, {{"/s/a." + first, "/s/b." + first}, {"/s/c.mov"}}, {},
                          "/out");
        QCOMPARE(f.form.groupSettings,
                 QVector<QStringList>({QStringList(2, Settings::Default), {Settings::Default}}));
        QCOMPARE(f.child<QListView>("listView")->currentIndex().row(), 0);
        QCOMPARE(f.form.fileModel->stringList(), QStringList({"/s/a." + first, "/s/b." + first}));
        const Guidance advice = guidanceFor(first);
        QCOMPARE(f.child<QLabel>("label_2")->text(), advice.text);
        QCOMPARE(f.child<QCheckBox>("checkBox")->isHidden(), !advice.rewrapBox);
        QCOMPARE(f.child<QComboBox>("comboBox_2")->isHidden(), !advice.audioCombos);
        QCOMPARE(f.child<QComboBox>("comboBox_3")->isHidden(), !advice.audioCombos);
        QVERIFY(f.child<QComboBox>("comboBox")->isHidden());
        QVERIFY(f.child<QLabel>("label_3")->isHidden());
    }

    void everyDeliveryAppendsPresetsAndH264Again()
    {
        Fixture f;
        QVERIFY(writeFile(f.sandbox.bundle() + "/presets.txt", "*\n**\n***\n*P*-an*wav\n"));
        f.deliver();
        f.deliver();
        // Lines shorter than three characters are skipped. No ./ffmpeg in the working
        // folder: the probe fails and "H.264" is offered.
        QCOMPARE(f.countItems("*"), 0);
        QCOMPARE(f.countItems("**"), 0);
        QCOMPARE(f.countItems("***"), 2);
        QCOMPARE(f.countItems("*P*-an*wav"), 2);
        QTRY_COMPARE(f.countItems(Settings::H264), 2); // once each probe has answered
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
        QTRY_COMPARE(f.countItems(Settings::H264), 1);
        QSignalSpy sent(&f.form, &eksForm::sendOUT);
        f.child<QPushButton>("pushButton_2")->click();
        QCOMPARE(sent.size(), 1);
        QVERIFY(sent.at(0).at(0).value<StringMap>().empty());

        f.clickExtension(1);
        f.chooseSetting(Settings::DvPal);
        f.press({0});
        f.clickExtension(0);
        f.chooseSetting(Settings::H264);
        f.press({0});
        f.child<QPushButton>("pushButton_2")->click();
        QCOMPARE(sent.at(1).at(0).value<StringMap>(),
                 StringMap({{"mov", f.form.groupSettings[1][0].toStdString()},
                            {"avi", f.form.groupSettings[0][0].toStdString()}}));
    }

    void applyAssignsOnlyUnassignedFilesAndResetFreesThem()
    {
        Fixture f;
        f.deliver();
        f.clickExtension(1);
        f.chooseSetting(Settings::CopyOnly);
        f.press({3});
        f.chooseSetting(Settings::DvPal);
        f.press({0, 1, 2, 3});

        const QString pal = f.form.groupSettings[1][0];
        QCOMPARE(f.form.groupFiles[1][0], QStringLiteral("/s/m1.mov|720x576 DV PAL|"));
        QCOMPARE(f.form.groupSettings[1][2], pal);
        QCOMPARE(f.form.groupFiles[1][3], "/s/m4.mov|" + Settings::CopyOnly + "|");
        QCOMPARE(f.form.groupSettings[1][3], Settings::CopyOnly);
        QCOMPARE(f.form.fileModel->stringList(), f.form.groupFiles[1]);

        // A second setting does not replace the first ...
        f.chooseSetting(Settings::DvNtsc);
        f.press({0});
        QCOMPARE(f.form.groupSettings[1][0], pal);
        // ... until the file is reset.
        f.press({0}, "pushButton_3");
        QCOMPARE(f.form.groupFiles[1][0], QStringLiteral("/s/m1.mov"));
        QCOMPARE(f.form.groupSettings[1][0], Settings::Default);
        f.press({0});
        QCOMPARE(f.form.groupFiles[1][0], QStringLiteral("/s/m1.mov|720x480 DV NTSC|"));
        // The other group was never touched.
        QCOMPARE(f.form.groupSettings[0], QStringList(2, Settings::Default));
    }

    void rewrapAndWavSettingsGiveTheirMarkersAndArguments()
    {
        Fixture f;
        f.deliver();
        // Without a chosen setting APPLY assigns nothing.
        f.child<QListWidget>("listWidget")->setCurrentItem(nullptr);
        f.press({0});
        QCOMPARE(f.form.groupSettings[0], QStringList(2, Settings::Default));

        // Re-wrap overrides the chosen setting and unchecks its box.
        f.chooseSetting(Settings::Dnxhd);
        auto *rewrap = f.child<QCheckBox>("checkBox");
        rewrap->setChecked(true);
        f.press({1});
        QCOMPARE(f.form.groupFiles[0][1], "/s/a2.avi|" + Settings::Rewrap + "|");
        QCOMPARE(f.form.groupSettings[0][1], Settings::Rewrap);
        QVERIFY(!rewrap->isChecked());

        f.clickExtension(1);
        f.chooseSetting(Settings::Wav);
        QVERIFY(!f.child<QComboBox>("comboBox_2")->isHidden());
        QVERIFY(!f.child<QComboBox>("comboBox_3")->isHidden());
        QVERIFY(f.child<QComboBox>("comboBox")->isHidden());
        f.child<QComboBox>("comboBox_2")->setCurrentText("16");
        f.child<QComboBox>("comboBox_3")->setCurrentText("48000");
        f.press({0});
        QCOMPARE(f.form.groupSettings[1][0], QStringLiteral("-acodec pcm_s16le -vn -ar 48000"));
    }

    // Every row clicked as the user clicks it, in a form of the default size.
    void clickingAnExtensionShowsItsFilesAndAdviceAndCutsNoLabel()
    {
        Fixture f;
        const QStringList keys = guidanceKeys() << "xyz" << "MOV";
        QVector<QStringList> files;
        for (const QString &key : keys)
            files.append({"/a." + key});
        f.form.receiveEXT(keys, files, {}, "/out");
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        f.chooseSetting(Settings::Dnxhd);
        auto *view = f.child<QListView>("listView");
        auto *guidance = f.child<QLabel>("label_2");
        for (int row = 0; row < keys.size(); ++row) {
            const QString before = guidance->text();
            const QModelIndex index = view->model()->index(row, 0);
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(index).center());
            const Guidance advice = guidanceFor(keys.at(row));
            QCOMPARE(tempo, keys.at(row).toLower());
            QCOMPARE(f.form.fileModel->stringList(), files.at(row));
            // An extension without advice leaves the label as it was.
            QCOMPARE(guidance->text(), advice.found ? advice.text : before);
            QCOMPARE(f.child<QCheckBox>("checkBox")->isVisible(), advice.rewrapBox);
            QCOMPARE(f.child<QComboBox>("comboBox_2")->isVisible(), advice.audioCombos);
            QVERIFY(f.child<QComboBox>("comboBox")->isHidden());
            QCOMPARE(cutLabels(&f.form), QString());
        }
        // APPLY without a chosen setting shows its hint.
        f.child<QListWidget>("listWidget")->setCurrentItem(nullptr);
        f.child<QPushButton>("pushButton")->click();
        QVERIFY(f.child<QLabel>("label_3")->isVisible());
        QCOMPARE(cutLabels(&f.form), QString());
    }
};

QTEST_MAIN(EksFormTest)
#include "tst_eksform.moc"
