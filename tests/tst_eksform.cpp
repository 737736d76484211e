#include "convert/eksform.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"

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
    template<typename T>
    static T *child(eksForm &form, const char *name)
    {
        T *widget = form.findChild<T *>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }

    // Three mov files and two avi files, delivered as ANALYZE delivers them.
    static void deliver(eksForm &form)
    {
        form.receiveEXT({QStringLiteral("avi"), QStringLiteral("mov")},
                        {{QStringLiteral("/s/a1.avi"), QStringLiteral("/s/a2.avi")},
                         {QStringLiteral("/s/m1.mov"), QStringLiteral("/s/m2.mov"),
                          QStringLiteral("/s/m3.mov"), QStringLiteral("/s/m4.mov")}},
                        {QStringLiteral("file:///s")}, QStringLiteral("/out"));
    }

    static void clickExtension(eksForm &form, int row)
    {
        auto *view = child<QListView>(form, "listView");
        const QModelIndex index = view->model()->index(row, 0);
        view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        QMetaObject::invokeMethod(&form, "on_listView_clicked", Q_ARG(QModelIndex, index));
    }

    static void selectFiles(eksForm &form, const QList<int> &rows)
    {
        auto *view = child<QListView>(form, "listView_2");
        view->selectionModel()->clearSelection();
        for (int row : rows)
            view->selectionModel()->select(view->model()->index(row, 0),
                                           QItemSelectionModel::Select);
    }

    static void chooseSetting(eksForm &form, const QString &text)
    {
        auto *list = child<QListWidget>(form, "listWidget");
        const QList<QListWidgetItem *> items = list->findItems(text, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(text));
        list->setCurrentItem(items.first());
        QMetaObject::invokeMethod(&form, "on_listWidget_clicked",
                                  Q_ARG(QModelIndex, list->currentIndex()));
    }

    static void apply(eksForm &form) { child<QPushButton>(form, "pushButton")->click(); }

    static int countItems(eksForm &form, const QString &text)
    {
        return int(child<QListWidget>(form, "listWidget")->findItems(text, Qt::MatchExactly).size());
    }

private slots:
    void init()
    {
        mapa.clear();
        tempo.clear();
    }

    void receivingAnalysisSetsEveryFileToDefaultAndShowsFirstGroup()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);

        QCOMPARE(form.groupSettings,
                 QVector<QStringList>({QStringList(2, Settings::Default),
                                       QStringList(4, Settings::Default)}));
        QCOMPARE(form.destinationDir, QStringLiteral("/out"));
        auto *extensions = child<QListView>(form, "listView");
        QCOMPARE(extensions->currentIndex().row(), 0);
        QVERIFY(extensions->selectionModel()->isRowSelected(0, QModelIndex()));
        QCOMPARE(form.fileModel->stringList(),
                 QStringList({QStringLiteral("/s/a1.avi"), QStringLiteral("/s/a2.avi")}));
        QCOMPARE(child<QListView>(form, "listView_2")->selectionMode(),
                 QAbstractItemView::ExtendedSelection);
        QVERIFY(child<QLabel>(form, "label_3")->isHidden());
        QVERIFY(child<QCheckBox>(form, "checkBox")->isHidden());
        QVERIFY(child<QListWidget>(form, "listWidget")->currentItem());
    }

    void presetsShorterThanThreeCharactersAreSkipped()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        QVERIFY(writeFile(sandbox.bundle() + "/presets.txt", "*\n**\n***\n*DNX*-vcodec dnxhd*MOV\n"));
        eksForm form;
        deliver(form);
        QCOMPARE(countItems(form, "*"), 0);
        QCOMPARE(countItems(form, "**"), 0);
        QCOMPARE(countItems(form, "***"), 1);
        QCOMPARE(countItems(form, "*DNX*-vcodec dnxhd*MOV"), 1);
    }

    void secondDeliveryAppendsPresetsAndH264Again()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        QVERIFY(writeFile(sandbox.bundle() + "/presets.txt", "*P*-an*wav\n"));
        eksForm form;
        const int builtIn = child<QListWidget>(form, "listWidget")->count();
        deliver(form);
        deliver(form);
        // No ./ffmpeg in the working folder: the probe fails and "H.264" is offered.
        QCOMPARE(countItems(form, Settings::H264), 2);
        QCOMPARE(countItems(form, "*P*-an*wav"), 2);
        QCOMPARE(child<QListWidget>(form, "listWidget")->count(), builtIn + 4);
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
        Sandbox sandbox;
        if (layout == "missing")
            QVERIFY(QDir(sandbox.engines()).removeRecursively());
        if (layout == "engine")
            QVERIFY(writeRecordingProgram(sandbox.engines() + "/ffmpeg", sandbox.path() + "/rec"));
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);
        QCOMPARE(answers.texts.contains(QStringLiteral(
                     "Conversion Engine not Found! You need to download Conversion Engine "
                     "Binary!(i.e.ffmpeg,sox etc.)")),
                 asks);
        if (!asks)
            QVERIFY(!child<QPushButton>(form, "pushButton_5")->isHidden());
    }

    void backSendsTheArgumentsAppliedPerExtension()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);
        QSignalSpy sent(&form, &eksForm::sendOUT);

        child<QPushButton>(form, "pushButton_2")->click();
        QCOMPARE(sent.size(), 1);
        QVERIFY(sent.at(0).at(0).value<StringMap>().empty());

        clickExtension(form, 1);
        chooseSetting(form, Settings::DvPal);
        selectFiles(form, {0});
        apply(form);
        clickExtension(form, 0);
        chooseSetting(form, Settings::H264);
        selectFiles(form, {0});
        apply(form);
        child<QPushButton>(form, "pushButton_2")->click();
        const auto map = sent.at(1).at(0).value<StringMap>();
        QCOMPARE(map.size(), size_t(2));
        QCOMPARE(map.at("mov"), std::string(" -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo "
                                             "-acodec pcm_s16le -ac 2 -ar 48000 "));
        QCOMPARE(map.at("avi"), std::string(" -vcodec libx264 "));
    }

    void applyAssignsOnlyUnassignedFilesAndResetFreesThem()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);
        clickExtension(form, 1);
        QCOMPARE(form.fileModel->stringList().size(), 4);

        chooseSetting(form, Settings::CopyOnly);
        selectFiles(form, {3});
        apply(form);
        chooseSetting(form, Settings::DvPal);
        selectFiles(form, {0, 1, 2, 3});
        apply(form);

        const QString pal = form.groupSettings[1][0];
        QVERIFY(pal.contains("dvvideo"));
        QCOMPARE(form.groupFiles[1][0], QStringLiteral("/s/m1.mov|720x576 DV PAL|"));
        QCOMPARE(form.groupSettings[1][2], pal);
        QCOMPARE(form.groupFiles[1][3], "/s/m4.mov|" + Settings::CopyOnly + "|");
        QCOMPARE(form.groupSettings[1][3], Settings::CopyOnly);
        QCOMPARE(form.fileModel->stringList(), form.groupFiles[1]);

        // A second setting does not replace the first ...
        chooseSetting(form, Settings::DvNtsc);
        selectFiles(form, {0});
        apply(form);
        QCOMPARE(form.groupSettings[1][0], pal);
        // ... until the file is reset.
        selectFiles(form, {0});
        child<QPushButton>(form, "pushButton_3")->click();
        QCOMPARE(form.groupFiles[1][0], QStringLiteral("/s/m1.mov"));
        QCOMPARE(form.groupSettings[1][0], Settings::Default);
        selectFiles(form, {0});
        apply(form);
        QCOMPARE(form.groupFiles[1][0], QStringLiteral("/s/m1.mov|720x480 DV NTSC|"));
        // The other group was never touched.
        QCOMPARE(form.groupSettings[0], QStringList(2, Settings::Default));
    }

    void rewrapOverridesTheSettingAndUnchecksTheBox()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);
        chooseSetting(form, Settings::Dnxhd);
        auto *rewrap = child<QCheckBox>(form, "checkBox");
        rewrap->setChecked(true);
        selectFiles(form, {1});
        apply(form);
        QCOMPARE(form.groupFiles[0][1], "/s/a2.avi|" + Settings::Rewrap + "|");
        QCOMPARE(form.groupSettings[0][1], Settings::Rewrap);
        QVERIFY(!rewrap->isChecked());
    }

    void presetMarkerHoldsTheWholePresetLine()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);
        form.getentry("mypreset", "-vcodec mpeg4 -b 5M", "mp4");
        chooseSetting(form, "*MYPRESET*-vcodec mpeg4 -b 5M*mp4");
        selectFiles(form, {0});
        apply(form);
        QCOMPARE(form.groupFiles[0][0], QStringLiteral("/s/a1.avi|*MYPRESET*-vcodec mpeg4 -b 5M*mp4|"));
        QCOMPARE(form.groupSettings[0][0], QStringLiteral("-vcodec mpeg4 -b 5M"));
        QCOMPARE(readFile(sandbox.bundle() + "/presets.txt"),
                 QByteArray("*MYPRESET*-vcodec mpeg4 -b 5M*mp4\n"));
    }

    void applyWithoutSettingShowsTheHintAndAssignsNothing()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);
        auto *list = child<QListWidget>(form, "listWidget");
        list->setCurrentItem(nullptr);
        selectFiles(form, {0});
        apply(form);
        QVERIFY(!child<QLabel>(form, "label_3")->isHidden());
        QCOMPARE(form.groupSettings[0], QStringList(2, Settings::Default));
    }

    void wavSettingShowsItsComboBoxesAndUsesTheSampleRate()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        deliver(form);
        chooseSetting(form, Settings::Wav);
        QVERIFY(!child<QComboBox>(form, "comboBox_2")->isHidden());
        QVERIFY(!child<QComboBox>(form, "comboBox_3")->isHidden());
        QVERIFY(child<QComboBox>(form, "comboBox")->isHidden());
        child<QComboBox>(form, "comboBox_2")->setCurrentText("16");
        child<QComboBox>(form, "comboBox_3")->setCurrentText("48000");
        selectFiles(form, {0});
        apply(form);
        QCOMPARE(form.groupSettings[0][0], QStringLiteral("-acodec pcm_s16le -vn -ar 48000"));
    }

    void extensionClicksSwitchGuidanceWidgetsAndFiles()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        eksForm form;
        form.receiveEXT({"MOV", "mts", "xyz"}, {{"/a.MOV"}, {"/b.mts"}, {"/c.xyz"}}, {}, "/out");
        auto *guidance = child<QLabel>(form, "label_2");
        auto *rewrap = child<QCheckBox>(form, "checkBox");
        chooseSetting(form, Settings::Dnxhd);
        QVERIFY(!child<QComboBox>(form, "comboBox")->isHidden());

        clickExtension(form, 0);
        QCOMPARE(tempo, QStringLiteral("mov"));
        QVERIFY(guidance->text().startsWith("MOV is very common QuickTime Container."));
        QVERIFY(child<QComboBox>(form, "comboBox")->isHidden());

        clickExtension(form, 1);
        QVERIFY(!rewrap->isHidden());
        QCOMPARE(form.fileModel->stringList(), QStringList("/b.mts"));
        const QString mtsText = guidance->text();

        clickExtension(form, 2);
        QVERIFY(rewrap->isHidden());
        QCOMPARE(guidance->text(), mtsText);
        QCOMPARE(form.fileModel->stringList(), QStringList("/c.xyz"));
    }
};

QTEST_MAIN(EksFormTest)
#include "tst_eksform.moc"
