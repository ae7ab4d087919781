// The crop editor as a window: opening with saved bar places, typing, keys, the crop
// itself checked pixel by pixel against a composite whose colours encode x and y, and
// dragging the coordinate panel, the wheel and the page keys.
// Mouse events go through the window, as the window system delivers them: to the
// widget under the pointer, and to the pressed widget until the button is released.
#define QTEST_QPA_MOUSE_HANDLING
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <optional>
#include <vector>

#include "desktop/beep.h"
#include "desktop/bring_forward.h"
#include "desktop/crop_command.h"
#include "desktop/end_program.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/message_box.h"
#include "desktop/place_windows.h"
#include "desktop/program.h"
#include "engine/print_number.h"
#include "files/program_folder.h"
#include "formats/bitmap_file.h"
#include "support/export_test_support.h"
#include "support/special_files.h"
#include "support/test_main.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kCompositeHeight = 2 * kScreenHeight;
// A capture of six 1080-pixel screens.
constexpr int kTallCompositeHeight = 6480;

// Every pixel of the test composite tells where it is.
QRgb PatternAt(int x, int y) {
    return qRgb(x & 255, y & 255, ((x >> 8) << 4) | (y >> 8));
}

QImage Pattern(int height) {
    QImage image(kScreenWidth, height, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) line[x] = PatternAt(x, y);
    }
    return image;
}

QList<float> BarPlaces(const Form99& editor) {
    const auto places = editor.Model().BarPositionsToSave();
    return {places[0], places[1], places[2], places[3]};
}

QStringList BoxTexts(const Form99& editor) {
    QStringList texts;
    for (const QLineEdit* box : editor.PictureCropControls->Boxes()) texts << box->text();
    return texts;
}

void WriteFile(const QString& name, const QByteArray& content) {
    QFile file(AppFile(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray ReadFile(const QString& name) {
    QFile file(AppFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first pixel of a crop of `area` that differs from the test composite, as text;
// empty when every pixel is right. Outside the composite the picture box is white.
QString CropMismatch(const QImage& cropped, QRect area, int compositeHeight) {
    if (cropped.size() != area.size()) return QStringLiteral("size");
    const QRect composite(0, 0, kScreenWidth, compositeHeight);
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x) {
            const QPoint source = area.topLeft() + QPoint(x, y);
            const QRgb expected = composite.contains(source) ? PatternAt(source.x(), source.y())
                                                             : qRgb(255, 255, 255);
            if (cropped.pixel(x, y) != expected) return QStringLiteral("pixel %1,%2").arg(x).arg(y);
        }
    return {};
}

// A wheel event at a window point, delivered as the window system delivers it: to the
// widget under the pointer.
void Wheel(Form99& editor, QPoint at, QPoint angle, QPoint pixels = {},
           Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = editor.childAt(at);
    if (!target) target = &editor;
    QWheelEvent event(target->mapFrom(&editor, QPointF(at)), editor.mapToGlobal(QPointF(at)),
                      pixels, angle, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

// The window point at the middle of a widget inside the editor.
QPoint CentreIn(const Form99& editor, const QWidget* widget) {
    return widget->mapTo(&editor, widget->rect().center());
}

}  // namespace

class CropEditorTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Program> program_;
    int ends_ = 0;

    Form99& Editor() { return program_->form99(); }

    void OpenEditor(int height = kCompositeHeight) {
        Form99& editor = Editor();
        editor.PictureWhopper->SetRect(0, 0, PixelsToTwips(kScreenWidth), PixelsToTwips(height));
        editor.PictureWhopper->PaintPicture(Pattern(height), 0, 0);
        CommandCrop_Click(*program_);
    }

    void DoubleClickPicture() {
        Form99& editor = Editor();
        const QPoint spot(900, 740);
        QCOMPARE(editor.childAt(spot), editor.PictureWhopper);
        QTest::mouseDClick(&editor, Qt::LeftButton, {}, spot);
    }

    void Type(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }

  private Q_SLOTS:
    void initTestCase() {
        SetEndHandler([this] { ++ends_; });
        program_ = std::make_unique<Program>();
        PlaceWindows(*program_);
    }

    void init() {
        QFile::remove(AppFile(QStringLiteral("barpos.txt")));
        QFile::remove(AppFile(QStringLiteral("cropped.bmp")));
        ends_ = 0;
        Form1& panel = program_->form1();
        panel.hide();
        program_->form0().hide();
        Form99& editor = Editor();
        editor.PictureCropControls->show();
        editor.PictureCropControls->SetLeft(program_->vars.CropControlsHomeLeft);
        editor.PictureCropControls->SetTop(program_->vars.CropControlsHomeTop);
        editor.PictureWhopper->SetLeft(0);
        editor.PictureWhopper->SetTop(0);
    }

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

    void typingMovesTheBars() {
        OpenEditor();
        Form99& editor = Editor();
        CropControlsPanel& panel = *editor.PictureCropControls;
        // Right first: each key release applies the boxes, and a right bar typed
        // digit by digit would otherwise pass the left bar on its way.
        Type(panel.TextRight, QStringLiteral("50"));
        Type(panel.TextLeft, QStringLiteral("10"));
        QCOMPARE(BarPlaces(editor), (QList<float>{90, 750, 0, 495}));
        QCOMPARE(BoxTexts(editor), (QStringList{"10", "50", "4", "33", "40", "29"}));
        // A digit typed before the others lands where the caret is.
        panel.TextRight->setCursorPosition(0);
        QTest::keyClick(panel.TextRight, Qt::Key_1);
        QCOMPARE(panel.TextRight->text(), QStringLiteral("150"));
        QCOMPARE(editor.Model().VerticalBar2.Left, Twips(2250));
        // Letters count as 0: the top bar goes one bar thickness above the picture.
        Type(panel.TextTop, QStringLiteral("x"));
        QCOMPARE(editor.Model().HorizBar1.Top, Twips(-60));
        QCOMPARE(panel.TextTop->text(), QStringLiteral("0"));
    }

    void arrowKeysMoveTheClickedObject() {
        OpenEditor();
        Form99& editor = Editor();
        const QPoint onBar = editor.PictureVerticalBar2->mapTo(&editor, QPoint(1, 700));
        QCOMPARE(editor.childAt(onBar), editor.PictureVerticalBar2);
        QTest::mouseClick(&editor, Qt::LeftButton, {}, onBar);
        QCOMPARE(editor.SelectedObject(), 4);
        QTest::keyClick(editor.PictureVerticalBar2, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(editor.Model().VerticalBar2.Left, Twips(620));
        QCOMPARE(editor.PictureVerticalBar2->x(), 41);
        QCOMPARE(BoxTexts(editor).at(1), QStringLiteral("41"));
        QTest::keyClick(editor.PictureVerticalBar2, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(editor.Model().VerticalBar2.Left, Twips(620));

        // The picture carries its bars; the boxes stay as they were.
        QTest::mouseClick(&editor, Qt::LeftButton, {}, QPoint(900, 740));
        QCOMPARE(editor.SelectedObject(), 0);
        QTest::keyClick(editor.PictureWhopper, Qt::Key_Down);
        QCOMPARE(editor.PictureWhopper->Top(), Twips(15));
        QCOMPARE(editor.PictureWhopper->y(), 1);
        QCOMPARE(BoxTexts(editor), (QStringList{"4", "41", "4", "33", "37", "29"}));
        // A key in a box reaches the window first: the picture moves as well.
        editor.PictureCropControls->TextBottom->setFocus();
        QTest::keyClick(editor.PictureCropControls->TextBottom, Qt::Key_Up);
        QCOMPARE(editor.PictureWhopper->Top(), Twips(0));
        QCOMPARE(editor.PictureCropControls->TextBottom->text(), QStringLiteral("33"));
    }

    void f3ResetsTheBars() {
        QVERIFY(WriteBarPositions({240, 480, 840, 1680}));
        OpenEditor();
        Form99& editor = Editor();
        QTest::keyClick(editor.PictureWhopper, Qt::Key_F3);
        QCOMPARE(BarPlaces(editor), (QList<float>{0, 500, 0, 500}));
        QCOMPARE(BoxTexts(editor), (QStringList{"4", "33", "4", "33", "29", "29"}));
        // In a box the key's release then applies the boxes, which hold whole pixels.
        WriteBarPositions({240, 480, 840, 1680});
        OpenEditor();
        QTest::keyClick(editor.PictureCropControls->TextLeft, Qt::Key_F3);
        QCOMPARE(BarPlaces(editor), (QList<float>{0, 495, 0, 495}));
        QCOMPARE(BoxTexts(editor), (QStringList{"4", "33", "4", "33", "29", "29"}));
    }

    void f4TogglesThePanel() {
        OpenEditor();
        Form99& editor = Editor();
        QTest::keyClick(&editor, Qt::Key_F4);
        QVERIFY(editor.PictureCropControls->isHidden());
        QTest::keyClick(editor.PictureWhopper, Qt::Key_F4);
        QVERIFY(!editor.PictureCropControls->isHidden());
        // Pressed in a box, the window's handler alone acts: one toggle per press.
        QTest::keyClick(editor.PictureCropControls->TextTop, Qt::Key_F4);
        QVERIFY(editor.PictureCropControls->isHidden());
    }

    void escLeavesTheEditorThenEnds() {
        OpenEditor();
        Form99& editor = Editor();
        editor.PictureCropControls->SetLeft(6000);
        QTest::keyClick(editor.PictureCropControls->TextLeft, Qt::Key_Escape);
        QVERIFY(editor.PictureWhopper->isHidden());
        QVERIFY(editor.PictureVerticalBar1->isHidden());
        QCOMPARE(editor.PictureCropControls->Left(), program_->vars.CropControlsHomeLeft);
        QCOMPARE(ends_, 0);
        QTest::keyClick(&editor, Qt::Key_Escape);
        QCOMPARE(ends_, 1);
    }

    // F2 and presses that hand the screen back to the browser window and the panel.
    void otherWindowsComeForward() {
        OpenEditor();
        Form99& editor = Editor();
        Form0& browser = program_->form0();
        Form1& panel = program_->form1();
        editor.PictureWhopper->SetTop(PixelsToTwips(20));  // a strip of background above
        const QPoint background(kScreenWidth - 5, 5);
        QCOMPARE(editor.childAt(background), nullptr);

        // The browser window hidden: a background click does nothing.
        QTest::mouseClick(&editor, Qt::LeftButton, {}, background);
        QVERIFY(browser.isHidden() && panel.isHidden());

        QTest::keyClick(editor.PictureCropControls->TextTop, Qt::Key_F2);
        QVERIFY(browser.isVisible() && panel.isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), &panel);

        BringForward(editor);
        QTRY_COMPARE(QApplication::activeWindow(), &editor);
        QTest::mouseClick(&editor, Qt::LeftButton, {}, background);
        QTRY_COMPARE(QApplication::activeWindow(), &panel);

        // A press on the result, once the crop has hidden the composite.
        DoubleClickPicture();
        BringForward(editor);
        QTRY_COMPARE(QApplication::activeWindow(), &editor);
        QTest::mouseClick(editor.PictureCropped, Qt::LeftButton, {}, QPoint(1, 1));
        QTRY_COMPARE(QApplication::activeWindow(), &panel);
    }

    void escAfterTheCropEnds() {
        OpenEditor();
        DoubleClickPicture();
        QTest::keyClick(&Editor(), Qt::Key_Escape);
        QCOMPARE(ends_, 1);
    }

    // The panel is pressed on its own background and released over other objects; it
    // jumps by the pointer's travel wherever the release lands inside the editor.
    void dragMovesThePanelByTheTravel_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("window background") << QStringLiteral("window");
        QTest::newRow("its own title") << QStringLiteral("Label1");
        QTest::newRow("a hint label") << QStringLiteral("Label9");
        QTest::newRow("a box") << QStringLiteral("TextBottom");
        QTest::newRow("the picture") << QStringLiteral("picture");
        QTest::newRow("a bar") << QStringLiteral("bar");
        QTest::newRow("a bar of a moved picture") << QStringLiteral("moved bar");
    }
    void dragMovesThePanelByTheTravel() {
        QFETCH(QString, target);
        OpenEditor();
        Form99& editor = Editor();
        CropControlsPanel* panel = editor.PictureCropControls;
        QPoint release;
        if (target == QStringLiteral("window")) {
            editor.PictureWhopper->hide();
            release = QPoint(900, 700);
        } else if (target == QStringLiteral("picture")) {
            release = QPoint(900, 700);
        } else if (target.endsWith(QStringLiteral("bar"))) {
            if (target.startsWith(QStringLiteral("moved"))) {
                QTest::mouseClick(&editor, Qt::LeftButton, {}, QPoint(900, 740));
                for (int i = 0; i < 3; ++i)
                    QTest::keyClick(editor.PictureWhopper, Qt::Key_Right, Qt::ShiftModifier);
                editor.PictureWhopper->SetTop(-75);  // also off the pixel grid of the bars
            }
            release = QPoint(editor.PictureVerticalBar2->mapTo(&editor, QPoint(1, 700)));
        } else {
            QWidget* named = panel->TextBottom;
            if (target == QStringLiteral("Label1")) named = panel->Label1;
            if (target == QStringLiteral("Label9")) named = panel->Label9;
            release = CentreIn(editor, named) + QPoint(3, 2);
        }
        const QPoint press = panel->pos() + QPoint(3, 3);
        QCOMPARE(editor.childAt(press), panel);
        const QPoint before = panel->pos();
        const Twips leftBefore = panel->Left();

        QTest::mousePress(&editor, Qt::LeftButton, {}, press);
        QCOMPARE(editor.Drag().DragStarted, 1);
        QTest::mouseMove(&editor, (press + release) / 2);
        QTest::mouseMove(&editor, release);
        QTest::mouseRelease(&editor, Qt::LeftButton, {}, release);

        QCOMPARE(editor.Drag().DragStarted, 0);
        QCOMPARE(panel->pos(), before + (release - press));
        QCOMPARE(panel->Left(), leftBefore + PixelsToTwips(release.x() - press.x()));
        // The home place stays where the Crop command put it.
        QCOMPARE(program_->vars.CropControlsHomeLeft, leftBefore);
    }

    void dragWithoutDropStartsAfresh() {
        OpenEditor();
        Form99& editor = Editor();
        CropControlsPanel* panel = editor.PictureCropControls;
        Form1& controlPanel = program_->form1();
        controlPanel.show();
        const QPoint overPanel = editor.mapFromGlobal(controlPanel.geometry().center());
        const QPoint before = panel->pos();

        // Released over the control panel: no drop, the editor's panel stays.
        QTest::mousePress(&editor, Qt::LeftButton, {}, before + QPoint(3, 3));
        QTest::mouseRelease(&editor, Qt::LeftButton, {}, overPanel);
        QCOMPARE(panel->pos(), before);
        QCOMPARE(editor.Drag().DragStarted, 0);
        controlPanel.hide();

        // The next drag is measured from its own start.
        QTest::mousePress(&editor, Qt::LeftButton, {}, before + QPoint(3, 3));
        QTest::mouseRelease(&editor, Qt::LeftButton, {}, before + QPoint(3, 3) + QPoint(40, 20));
        QCOMPARE(panel->pos(), before + QPoint(40, 20));
    }

    // One wheel event over each kind of place, the picture first moved 100 pixels
    // right so that a strip of background shows; the right bar is selected.
    void wheelMovesThePicture_data() {
        QTest::addColumn<QString>("over");
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<QPoint>("pixels");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("top");
        const int none = Qt::NoModifier;
        QTest::newRow("a notch down over the picture")
            << QStringLiteral("picture") << QPoint(0, -120) << QPoint() << none << 1500.f << -360.f;
        QTest::newRow("a notch up over a bar")
            << QStringLiteral("bar") << QPoint(0, 120) << QPoint() << none << 1500.f << 360.f;
        QTest::newRow("two notches down over the background")
            << QStringLiteral("background") << QPoint(0, -240) << QPoint() << none << 1500.f
            << -720.f;
        QTest::newRow("a notch down over the coordinate panel")
            << QStringLiteral("panel") << QPoint(0, -120) << QPoint() << none << 1500.f << -360.f;
        QTest::newRow("shift: sideways over the picture")
            << QStringLiteral("picture") << QPoint(0, -120) << QPoint() << int(Qt::ShiftModifier)
            << 1140.f << 0.f;
        QTest::newRow("shift: sideways over a bar")
            << QStringLiteral("bar") << QPoint(0, 120) << QPoint() << int(Qt::ShiftModifier)
            << 1860.f << 0.f;
        QTest::newRow("touchpad pixels") << QStringLiteral("picture") << QPoint(0, -120)
                                         << QPoint(3, -40) << none << 1545.f << -600.f;
        QTest::newRow("ctrl: nothing moves")
            << QStringLiteral("background") << QPoint(0, -120) << QPoint()
            << int(Qt::ControlModifier) << 1500.f << 0.f;
    }
    void wheelMovesThePicture() {
        QFETCH(QString, over);
        QFETCH(QPoint, angle);
        QFETCH(QPoint, pixels);
        QFETCH(int, modifiers);
        QFETCH(float, left);
        QFETCH(float, top);
        OpenEditor();
        Form99& editor = Editor();
        editor.PictureWhopper->SetLeft(1500);
        const QPoint onBar = editor.PictureVerticalBar2->mapTo(&editor, QPoint(1, 700));
        QTest::mouseClick(&editor, Qt::LeftButton, {}, onBar);
        QCOMPARE(editor.SelectedObject(), 4);

        QPoint at;
        const QWidget* expectedUnder = nullptr;
        if (over == QStringLiteral("picture")) {
            at = QPoint(900, 740);
            expectedUnder = editor.PictureWhopper;
        } else if (over == QStringLiteral("bar")) {
            at = onBar;
            expectedUnder = editor.PictureVerticalBar2;
        } else if (over == QStringLiteral("panel")) {
            at = editor.PictureCropControls->pos() + QPoint(3, 3);
            expectedUnder = editor.PictureCropControls;
        } else {
            at = QPoint(50, 700);
        }
        QCOMPARE(editor.childAt(at), expectedUnder);
        const QStringList boxes = BoxTexts(editor);
        const QList<float> bars = BarPlaces(editor);
        const QPoint barOnScreen = editor.PictureVerticalBar2->mapTo(&editor, QPoint());

        Wheel(editor, at, angle, pixels, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(editor.PictureWhopper->Left(), Twips(left));
        QCOMPARE(editor.PictureWhopper->Top(), Twips(top));
        const QPoint moved(TwipsToPixels(left) - 100, TwipsToPixels(top));
        QCOMPARE(editor.PictureWhopper->pos(), QPoint(100, 0) + moved);
        QCOMPARE(editor.PictureVerticalBar2->mapTo(&editor, QPoint()), barOnScreen + moved);
        QCOMPARE(BoxTexts(editor), boxes);
        QCOMPARE(BarPlaces(editor), bars);
        QCOMPARE(editor.SelectedObject(), 4);
    }

    // A high-resolution wheel sends parts of a notch; they add up to whole pixels.
    void wheelPartsAddUp() {
        OpenEditor();
        Form99& editor = Editor();
        const QPoint at(900, 740);
        for (int i = 0; i < 3; ++i) Wheel(editor, at, QPoint(0, -40));
        QCOMPARE(editor.PictureWhopper->Top(), Twips(-360));
        Wheel(editor, at, QPoint(0, -4));
        QCOMPARE(editor.PictureWhopper->Top(), Twips(-360));
        QCOMPARE(editor.PictureWhopper->y(), -24);
        Wheel(editor, at, QPoint(0, -4));
        QCOMPARE(editor.PictureWhopper->Top(), Twips(-375));
        QCOMPARE(editor.PictureWhopper->y(), -25);
    }

    // A six-screen composite walked with the page keys, a bar selected all along: a
    // page is 768 - 48 = 720 pixels, and the picture stops with its bottom edge at the
    // window's top or its top edge at the window's bottom.
    void pageKeysWalkATallComposite() {
        OpenEditor(kTallCompositeHeight);
        Form99& editor = Editor();
        QCOMPARE(program_->vars.Form99Height, PixelsToTwips(kScreenHeight));
        QCOMPARE(editor.height(), kScreenHeight);
        const QPoint onBar = editor.PictureVerticalBar2->mapTo(&editor, QPoint(1, 700));
        QTest::mouseClick(&editor, Qt::LeftButton, {}, onBar);
        QCOMPARE(editor.SelectedObject(), 4);
        const QStringList boxes = BoxTexts(editor);
        const QList<float> bars = BarPlaces(editor);
        QWidget* focus = editor.PictureVerticalBar2;
        const auto expectTop = [&](int pixels) {
            QCOMPARE(editor.PictureWhopper->Top(), PixelsToTwips(pixels));
            QCOMPARE(editor.PictureWhopper->y(), pixels);
            QCOMPARE(BarPlaces(editor), bars);
            QCOMPARE(BoxTexts(editor), boxes);
            QCOMPARE(editor.SelectedObject(), 4);
        };

        bool lastRowSeen = false;
        for (int k = 1; k <= 10; ++k) {
            QTest::keyClick(focus, Qt::Key_PageDown);
            expectTop(std::max(-720 * k, -kTallCompositeHeight));
            if (editor.PictureWhopper->geometry().bottom() < kScreenHeight &&
                editor.PictureWhopper->geometry().bottom() >= 0)
                lastRowSeen = true;
        }
        QVERIFY(lastRowSeen);
        for (int k = 1; k <= 12; ++k) {
            QTest::keyClick(focus, Qt::Key_PageUp);
            expectTop(std::min(-kTallCompositeHeight + 720 * k, kScreenHeight));
        }
        QTest::keyClick(focus, Qt::Key_Home);
        expectTop(0);
        QTest::keyClick(focus, Qt::Key_End);
        expectTop(kScreenHeight - kTallCompositeHeight);
        QCOMPARE(editor.PictureWhopper->geometry().bottom(), kScreenHeight - 1);
        QTest::keyClick(focus, Qt::Key_Home);
        expectTop(0);
        QTest::keyClick(focus, Qt::Key_PageDown, Qt::ControlModifier);
        expectTop(0);

        // The boxes are rewritten from the bars, as for any key of the movement row.
        editor.PictureCropControls->TextLeft->setText(QStringLiteral("77"));
        QTest::keyClick(focus, Qt::Key_PageDown);
        expectTop(-720);

        // The wheel stops at the same limits.
        QTest::keyClick(focus, Qt::Key_End);
        for (int i = 0; i < 40; ++i) Wheel(editor, QPoint(900, 300), QPoint(0, -120));
        expectTop(-kTallCompositeHeight);
        Wheel(editor, QPoint(50, 700), QPoint(0, 120 * 400));
        expectTop(kScreenHeight);
        // The arrow keys still go past: the picture selected, at the lower limit.
        QTest::keyClick(focus, Qt::Key_Home);
        QTest::mouseClick(&editor, Qt::LeftButton, {}, QPoint(900, 740));
        QCOMPARE(editor.SelectedObject(), 0);
        QTest::keyClick(editor.PictureWhopper, Qt::Key_PageUp);
        QTest::keyClick(editor.PictureWhopper, Qt::Key_PageUp);
        QCOMPARE(editor.PictureWhopper->y(), kScreenHeight);
        QTest::keyClick(editor.PictureWhopper, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(editor.PictureWhopper->y(), kScreenHeight + 8);
    }

    // Scrolled down the tall composite and sideways, bars typed and nudged there: the
    // crop is exactly the rectangle the boxes show, and the bars on screen border it.
    void cropAfterScrollingIsWhatTheBoxesShow() {
        OpenEditor(kTallCompositeHeight);
        Form99& editor = Editor();
        for (int i = 0; i < 5; ++i) QTest::keyClick(editor.PictureWhopper, Qt::Key_PageDown);
        Wheel(editor, QPoint(900, 740), QPoint(0, -240));
        Wheel(editor, QPoint(900, 740), QPoint(0, -120), QPoint(), Qt::ShiftModifier);
        QCOMPARE(editor.PictureWhopper->pos(), QPoint(-24, -3648));

        CropControlsPanel& panel = *editor.PictureCropControls;
        // The far bar of each pair first, so that no bar passes its partner on the way.
        Type(panel.TextBottom, QStringLiteral("3900"));
        Type(panel.TextTop, QStringLiteral("3700"));
        Type(panel.TextRight, QStringLiteral("300"));
        Type(panel.TextLeft, QStringLiteral("100"));
        const QPoint onBar(editor.PictureVerticalBar2->mapTo(&editor, QPoint(1, 0)).x(), 700);
        QCOMPARE(onBar.x(), 300 - 24 + 1);
        QCOMPARE(editor.childAt(onBar), editor.PictureVerticalBar2);
        QTest::mouseClick(&editor, Qt::LeftButton, {}, onBar);
        QCOMPARE(editor.SelectedObject(), 4);
        QTest::keyClick(editor.PictureVerticalBar2, Qt::Key_Right, Qt::ShiftModifier);
        Wheel(editor, onBar, QPoint(0, 120));
        QCOMPARE(editor.PictureWhopper->pos(), QPoint(-24, -3624));

        const QRect area(100, 3700, 208, 200);
        QCOMPARE(BoxTexts(editor), (QStringList{"100", "308", "3700", "3900", "208", "200"}));
        QCOMPARE(editor.Model().CropPixels(), area);
        const QPoint picture = editor.PictureWhopper->pos();
        const auto onScreen = [&](const QWidget* bar) { return bar->mapTo(&editor, QPoint()); };
        QCOMPARE(onScreen(editor.PictureVerticalBar1).x() + 4, picture.x() + area.left());
        QCOMPARE(onScreen(editor.PictureVerticalBar2).x(), picture.x() + area.right() + 1);
        QCOMPARE(onScreen(editor.PictureHorizBar1).y() + 4, picture.y() + area.top());
        QCOMPARE(onScreen(editor.PictureHorizBar2).y(), picture.y() + area.bottom() + 1);

        DoubleClickPicture();
        const auto file = LoadPicture(AppFile(QStringLiteral("cropped.bmp")));
        QVERIFY(file.has_value());
        QCOMPARE(CropMismatch(*file, area, kTallCompositeHeight), QString());
        QCOMPARE(CropMismatch(editor.PictureCropped->Image(), area, kTallCompositeHeight),
                 QString());
    }

    void cleanupTestCase() { program_.reset(); }
};

GLIMPA_TEST_MAIN(CropEditorTest, kScreenWidth, kScreenHeight)
#include "crop_editor_test.moc"
