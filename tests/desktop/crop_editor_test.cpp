// The crop editor as a window: opening with saved bar places, and the crop itself checked
// pixel by pixel against a composite whose colours encode x and y, written or refused.
#include <QFileInfo>

#include "crop_editor_fixture.h"

using namespace croptest;

class CropEditorTest : public CropEditorFixture {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { StartProgram(); }
    void init() { ResetEditor(); }

    void opensWithSavedPlaces_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<float>>("places");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("no file") << QByteArray() << QList<float>{0, 500, 0, 500}
                                 << QStringList{"4", "33", "4", "33", "29", "29"};
        QTest::newRow("four places") << QByteArray(" 240 \r\n 480 \r\n 840 \r\n 1680 \r\n")
                                     << QList<float>{240, 480, 840, 1680}
                                     << QStringList{"20", "32", "60", "112", "12", "52"};
        QTest::newRow("three lines")
            << QByteArray(" 240 \r\n 480 \r\n 840 \r\n") << QList<float>{0, 500, 0, 500}
            << QStringList{"4", "33", "4", "33", "29", "29"};
        QTest::newRow("a word on line 2") << QByteArray(" 240 \r\nabc\r\n 840 \r\n 1680 \r\n")
                                          << QList<float>{240, 500, 840, 1680}
                                          << QStringList{"20", "33", "60", "112", "13", "52"};
    }
    // A barpos.txt that is no regular file, or holds places that are not finite
    // singles: the bars open at their defaults at once.
    void opensWithUnusableBarPos_data() {
        QTest::addColumn<int>("special");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<float>>("places");
        using testsupport::Special;
        for (Special kind : {Special::Fifo, Special::LinkToZero, Special::LinkToNull,
                             Special::Directory, Special::Huge})
            QTest::addRow("%s", testsupport::SpecialName(kind))
                << int(kind) << QByteArray() << QList<float>{0, 500, 0, 500};
        QTest::newRow("INF, NAN, 1e39") << -1 << QByteArray(" INF \r\n NAN \r\n 1e39 \r\n 60 \r\n")
                                        << QList<float>{0, 500, 0, 60};
    }
    void opensWithUnusableBarPos() {
        QFETCH(int, special);
        QFETCH(QByteArray, file);
        QFETCH(QList<float>, places);
        const QString path = AppFile(QStringLiteral("barpos.txt"));
        if (special >= 0)
            QVERIFY(testsupport::MakeSpecial(path, testsupport::Special(special)));
        else
            WriteFile(QStringLiteral("barpos.txt"), file);
        testsupport::FifoRescue rescue(path);
        QElapsedTimer timer;
        timer.start();
        OpenEditor();
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(BarPlaces(Editor()), places);
        QVERIFY(Editor().isVisible());
        QFile::remove(path);
        QDir(path).removeRecursively();
    }

    // Under a locale that writes "2,5": fractional places come back from barpos.txt
    // whole and are written back with ".".
    void commaLocaleKeepsFractionalPlaces() {
        testsupport::CommaLocale german;
        QVERIFY(german.Usable());
        WriteFile(QStringLiteral("barpos.txt"), " 22.5 \r\n 480.5 \r\n 840 \r\n 1680.25 \r\n");
        OpenEditor();
        QCOMPARE(BarPlaces(Editor()), (QList<float>{22.5f, 480.5f, 840, 1680.25f}));
        DoubleClickPicture();
        QCOMPARE(ReadFile(QStringLiteral("barpos.txt")),
                 QByteArray(" 22.5 \r\n 480.5 \r\n 840 \r\n 1680.25 \r\n"));
    }

    void opensWithSavedPlaces() {
        QFETCH(QByteArray, file);
        QFETCH(QList<float>, places);
        QFETCH(QStringList, boxes);
        if (!file.isNull()) WriteFile(QStringLiteral("barpos.txt"), file);
        Form99& editor = Editor();
        editor.PictureCropControls->SetLeft(1500);
        editor.PictureCropControls->SetTop(900);
        OpenEditor();
        QCOMPARE(BarPlaces(editor), places);
        QCOMPARE(BoxTexts(editor), boxes);
        QVERIFY(editor.isVisible());
        QVERIFY(editor.PictureWhopper->isVisible());
        QVERIFY(editor.PictureVerticalBar2->isVisible());
        QVERIFY(editor.PictureCropped->isHidden());
        // Full-length bars whatever the saved places.
        QCOMPARE(editor.PictureVerticalBar1->height(), kCompositeHeight);
        QCOMPARE(editor.PictureHorizBar1->width(), 2 * kScreenWidth);
        QCOMPARE(program_->vars.CropControlsHomeLeft, Twips(1500));
        QCOMPARE(program_->vars.CropControlsHomeTop, Twips(900));
    }

    // Bars from barpos.txt; the crop must be exactly the pixels the boxes name, and the
    // bars on screen must border exactly those pixels.
    void cropCopiesInsideTheBars_data() {
        QTest::addColumn<QList<float>>("places");
        QTest::addColumn<QRect>("area");
        QTest::newRow("defaults") << QList<float>{0, 500, 0, 500} << QRect(4, 4, 29, 29);
        QTest::newRow("saved") << QList<float>{240, 480, 840, 1680} << QRect(20, 60, 12, 52);
        QTest::newRow("between pixels")
            << QList<float>{507, 1003, 22.5, 3007.5} << QRect(37, 5, 29, 195);
        QTest::newRow("reversed") << QList<float>{1680, 240, 1680, 840} << QRect(20, 60, 92, 52);
        QTest::newRow("past the right edge")
            << QList<float>{15000, 16500, 22500, 24000} << QRect(1004, 1504, 96, 96);
        QTest::newRow("left of the picture")
            << QList<float>{-300, 300, -150, 150} << QRect(-16, -6, 36, 16);
        // Bars remembered from a taller capture reach below this composite.
        QTest::newRow("bottom bar below the picture")
            << QList<float>{240, 480, 840, 45000} << QRect(20, 60, 12, 2940);
    }
    void cropCopiesInsideTheBars() {
        QFETCH(QList<float>, places);
        QFETCH(QRect, area);
        QVERIFY(WriteBarPositions({places[0], places[1], places[2], places[3]}));
        OpenEditor();
        Form99& editor = Editor();
        QCOMPARE(BarPlaces(editor), places);
        QCOMPARE(editor.Model().CropPixels(), area);

        // The screen: the inner edges of the bars border the area.
        const bool inOrder = places[0] <= places[1];
        const QWidget* leftBar = inOrder ? editor.PictureVerticalBar1 : editor.PictureVerticalBar2;
        const QWidget* rightBar = inOrder ? editor.PictureVerticalBar2 : editor.PictureVerticalBar1;
        QCOMPARE(leftBar->geometry().right() + 1, area.left());
        QCOMPARE(rightBar->x(), area.right() + 1);
        const bool topInOrder = places[2] <= places[3];
        const QWidget* topBar = topInOrder ? editor.PictureHorizBar1 : editor.PictureHorizBar2;
        const QWidget* bottomBar = topInOrder ? editor.PictureHorizBar2 : editor.PictureHorizBar1;
        QCOMPARE(topBar->geometry().bottom() + 1, area.top());
        QCOMPARE(bottomBar->y(), area.bottom() + 1);

        const int beeps = BeepCount();
        editor.PictureCropControls->SetLeft(6000);
        DoubleClickPicture();
        QCOMPARE(BeepCount(), beeps + 1);

        // Only what lies on the composite: no white the page never had.
        const auto file = LoadPicture(AppFile(QStringLiteral("cropped.bmp")));
        QVERIFY(file.has_value());
        const QImage composite(editor.PictureWhopper->Image());
        const QRect kept = area.intersected(composite.rect());
        QCOMPARE(file->size(), kept.size());
        for (int y = 0; y < kept.height(); ++y)
            for (int x = 0; x < kept.width(); ++x) {
                const QPoint source = kept.topLeft() + QPoint(x, y);
                if (file->pixel(x, y) != PatternAt(source.x(), source.y()))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        QCOMPARE(editor.PictureCropped->Image().convertToFormat(QImage::Format_RGB32),
                 file->convertToFormat(QImage::Format_RGB32));

        // The places are kept for the next Crop command, and the editor shows the result.
        QStringList lines;
        for (float place : places) lines << PrintNumber(place) + QStringLiteral("\r\n");
        QCOMPARE(ReadFile(QStringLiteral("barpos.txt")), lines.join(QString()).toLatin1());
        QVERIFY(editor.PictureWhopper->isHidden());
        QVERIFY(editor.PictureCropped->isVisible());
        QCOMPARE(editor.PictureCropControls->Left(), program_->vars.CropControlsHomeLeft);
        QVERIFY(program_->form1().isVisible());
    }

    // Bars that enclose no pixel of the composite: the crop is refused, the editor
    // stays with the bars, and the earlier result is left as it was.
    void refusedCropStaysWithTheBars_data() {
        QTest::addColumn<QList<float>>("places");
        QTest::addColumn<QString>("width");  // the width box
        QTest::newRow("crossed bars") << QList<float>{300, 300, 0, 500} << "-4";
        QTest::newRow("right of the picture") << QList<float>{16000, 17500, 0, 500} << "96";
        QTest::newRow("below the picture") << QList<float>{0, 500, 24000, 26000} << "29";
        QTest::newRow("above and left") << QList<float>{-3000, -1500, -900, -15} << "96";
    }
    void refusedCropStaysWithTheBars() {
        QFETCH(QList<float>, places);
        QFETCH(QString, width);
        OpenEditor();
        DoubleClickPicture();
        const QByteArray earlier = ReadFile(QStringLiteral("cropped.bmp"));
        QVERIFY(!earlier.isEmpty());
        const QImage earlierResult = Editor().PictureCropped->Image();

        QVERIFY(WriteBarPositions({places[0], places[1], places[2], places[3]}));
        OpenEditor();
        program_->form1().hide();
        QCOMPARE(BoxTexts(Editor()).at(4), width);
        const int beeps = BeepCount();
        DoubleClickPicture();
        QCOMPARE(BeepCount(), beeps + 1);
        QCOMPARE(ReadFile(QStringLiteral("cropped.bmp")), earlier);
        QCOMPARE(Editor().PictureCropped->Image(), earlierResult);
        QStringList lines;
        for (float place : places) lines << PrintNumber(place) + QStringLiteral("\r\n");
        QCOMPARE(ReadFile(QStringLiteral("barpos.txt")), lines.join(QString()).toLatin1());
        // Nothing looks cropped: the composite and its bars stay on show.
        QVERIFY(Editor().PictureWhopper->isVisible());
        QVERIFY(Editor().PictureVerticalBar1->isVisible());
        QVERIFY(Editor().PictureCropped->isHidden());
        QVERIFY(program_->form1().isHidden());
    }

    // A crop whose cropped.bmp cannot be written says so, naming the file and why, and
    // beeps not; the bars stay on show, and a stale cropped.bmp that can go is removed
    // so that Save As never writes an older picture as this crop.
    void unwrittenCropIsSaid_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("stale");  // the earlier file is still there afterwards
        QTest::newRow("folder in the way") << "folder"
                                           << "a folder of that name is in the way" << false;
        QTest::newRow("full disk") << "full"
                                   << "the disk is full" << false;
        // Not even removal is allowed here: the old file is all that can stay.
        QTest::newRow("write-protected file") << "immutable"
                                              << "the file is write-protected" << true;
    }
    void unwrittenCropIsSaid() {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QFETCH(bool, stale);
        QTemporaryDir diskFolder;
        std::optional<exporttest::FullDisk> disk;
        const QString home = AppPath();
        const auto restore = qScopeGuard([&] {
            SetAppPathOverride(home);
            SetMsgBoxHandler({});
            // A failed row must not leave its folder in the next row's way.
            QDir(AppFile(QStringLiteral("cropped.bmp"))).removeRecursively();
        });
        if (setup == "full") {
            disk.emplace(diskFolder.path());
            if (!disk->Usable()) QSKIP("no way to mount a small file system here");
            SetAppPathOverride(diskFolder.path());
        }
        const QString cropped = AppFile(QStringLiteral("cropped.bmp"));
        const QImage earlier = Pattern(3).copy(0, 0, 5, 3);
        if (setup == "folder")
            QVERIFY(QDir().mkpath(cropped));
        else
            QVERIFY(SavePicture(earlier, cropped));
        std::optional<exporttest::ImmutableFile> lock;
        if (setup == "immutable") {
            lock.emplace(cropped);
            if (!lock->Usable()) QSKIP("no way to lock a file here");
        }
        if (disk) disk->Fill();

        struct Shown {
            QString text, title;
            int style;
        };
        std::vector<Shown> messages;
        SetMsgBoxHandler([&](const QString& text, int style, const QString& title) {
            messages.push_back({text, title, style});
            return kMsgBoxResultOk;
        });
        OpenEditor();
        program_->form1().hide();
        const int beeps = BeepCount();
        DoubleClickPicture();

        QCOMPARE(BeepCount(), beeps);
        QCOMPARE(messages.size(), size_t{1});
        QCOMPARE(messages[0].text, "The crop could not be saved: Glimpa cannot write " +
                                       QDir::toNativeSeparators(cropped) + " (" + reason +
                                       "). The bars stay on show for another try.");
        QCOMPARE(messages[0].style, kMsgBoxExclamation);
        QCOMPARE(messages[0].title, QStringLiteral("Glimpa"));
        // Nothing looks cropped.
        QVERIFY(Editor().PictureWhopper->isVisible());
        QVERIFY(Editor().PictureVerticalBar1->isVisible());
        QVERIFY(Editor().PictureCropped->isHidden());
        QVERIFY(program_->form1().isHidden());
        if (setup == "folder") {
            QVERIFY(QFileInfo(cropped).isDir());
        } else {
            QCOMPARE(QFileInfo::exists(cropped), stale);
            if (stale) {
                const auto kept = LoadPicture(cropped);
                QVERIFY(kept && kept->convertToFormat(QImage::Format_RGB32) == earlier);
            }
        }
        lock.reset();
        QFile::remove(cropped);
    }

    // cropped.bmp and barpos.txt as links to files elsewhere: the crop replaces the links
    // with files of the program folder's own and leaves the files elsewhere as they were.
    void cropReplacesLinks() {
        QTemporaryDir elsewhere;
        const QString keptPicture = elsewhere.filePath("picture.bmp");
        const QString keptPlaces = elsewhere.filePath("places.txt");
        for (const QString& kept : {keptPicture, keptPlaces}) {
            QFile file(kept);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("mine") == 4);
        }
        QVERIFY(QFile::link(keptPicture, AppFile(QStringLiteral("cropped.bmp"))));
        QVERIFY(QFile::link(keptPlaces, AppFile(QStringLiteral("barpos.txt"))));
        OpenEditor();
        DoubleClickPicture();
        for (const char* name : {"cropped.bmp", "barpos.txt"}) {
            const QFileInfo file(AppFile(QLatin1String(name)));
            QVERIFY2(file.isFile() && !file.isSymLink(), name);
        }
        QVERIFY(LoadPicture(AppFile(QStringLiteral("cropped.bmp"))).has_value());
        for (const QString& kept : {keptPicture, keptPlaces}) {
            QFile file(kept);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("mine"));
        }
    }

    void cleanupTestCase() { program_.reset(); }
};

GLIMPA_TEST_MAIN(CropEditorTest, kScreenWidth, kScreenHeight)
#include "crop_editor_test.moc"
