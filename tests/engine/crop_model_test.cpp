// The crop editor's geometry without a window: pixel conversion, bars to boxes and
// back, key movements, wheel and page scrolling, and the panel drag arithmetic.
#include <QTest>

#include "engine/crop_editor_model.h"
#include "engine/crop_geometry.h"
#include "engine/crop_image.h"
#include "engine/panel_drag.h"
#include "engine/windows_keys.h"

Q_DECLARE_METATYPE(TwipPoint)

// Failure messages name the point.
char* toString(const TwipPoint& p) {
    return QTest::toString(QStringLiteral("(%1, %2)").arg(p.X).arg(p.Y));
}

namespace {

constexpr Twips kScreenWidth = 15360;
constexpr Twips kScreenHeight = 11520;
constexpr Twips kPictureHeight = 23040;

CropEditorModel FreshModel() {
    CropEditorModel m;
    m.Form99Width = kScreenWidth;
    m.Form99Height = kScreenHeight;
    m.Picture = {0, 0, kScreenWidth, kPictureHeight};
    m.ResetCropBars();
    m.UpdateCropBoxes();
    return m;
}

QStringList Boxes(const CropEditorModel& m) {
    return {m.Boxes.begin(), m.Boxes.end()};
}

}  // namespace

class CropModelTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pixelConversion_data() {
        QTest::addColumn<double>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("half to even, down") << 22.5 << 1;  // 22 \ 15
        QTest::newRow("half to even, up") << 37.5 << 2;    // 38 \ 15
        QTest::newRow("just below a pixel") << 14.5 << 0;  // 14 \ 15
        QTest::newRow("one pixel") << 15.0 << 1;
        QTest::newRow("default right bar") << 500.0 << 33;
        QTest::newRow("negative truncates to zero") << -20.0 << -1;
        QTest::newRow("negative half to even") << -67.5 << -4;  // -68 \ 15
        QTest::newRow("beyond 32 bits saturates") << 1e12 << 2147483647 / 15;
    }
    void pixelConversion() {
        QFETCH(double, twips);
        QFETCH(int, pixels);
        QCOMPARE(PixelOf(twips), pixels);
    }

    void defaultBars() {
        const CropEditorModel m = FreshModel();
        QCOMPARE(Boxes(m), (QStringList{"4", "33", "4", "33", "29", "29"}));
        QCOMPARE(m.HorizBar1.Width, 2 * kScreenWidth);
        QCOMPARE(m.VerticalBar2.Height, kPictureHeight);
        QCOMPARE(m.VerticalBar2.Left, Twips(500));
        QCOMPARE(m.HorizBar2.Top, Twips(500));
        QCOMPARE(m.CropPixels(), QRect(4, 4, 29, 29));
    }

    // Bars placed first (left bar, right bar, top bar, bottom bar), then four texts typed.
    void typedBoxes_data() {
        QTest::addColumn<QList<float>>("bars");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QList<float>>("barsAfter");
        QTest::addColumn<QStringList>("boxes");
        const QList<float> defaults{0, 500, 0, 500};
        QTest::newRow("10 and 50")
            << defaults << QStringList{"10", "50", "4", "33"} << QList<float>{90, 750, 0, 495}
            << QStringList{"10", "50", "4", "33", "40", "29"};
        QTest::newRow("letters in Top")
            << defaults << QStringList{"4", "33", "abc", "33"} << QList<float>{0, 495, -60, 495}
            << QStringList{"4", "33", "0", "33", "29", "33"};
        QTest::newRow("digits then letters")
            << defaults << QStringList{"12px", "40", "4", "33"} << QList<float>{120, 600, 0, 495}
            << QStringList{"12", "40", "4", "33", "28", "29"};
        QTest::newRow("reversed bars keep their roles")
            << QList<float>{900, 300, 0, 500} << QStringList{"10", "50", "4", "33"}
            << QList<float>{750, 90, 0, 495} << QStringList{"10", "50", "4", "33", "40", "29"};
        QTest::newRow("reversed horizontal bars")
            << QList<float>{0, 500, 900, 300} << QStringList{"4", "33", "20", "100"}
            << QList<float>{0, 495, 1500, 240} << QStringList{"4", "33", "20", "100", "29", "80"};
        QTest::newRow("typed beyond each other")
            << defaults << QStringList{"50", "10", "4", "33"} << QList<float>{690, 150, 0, 495}
            << QStringList{"14", "46", "4", "33", "32", "29"};
    }
    void typedBoxes() {
        QFETCH(QList<float>, bars);
        QFETCH(QStringList, typed);
        QFETCH(QList<float>, barsAfter);
        QFETCH(QStringList, boxes);
        CropEditorModel m = FreshModel();
        m.ApplyBarPositions({bars[0], bars[1], bars[2], bars[3]});
        m.UpdateCropBoxes();
        for (int i = 0; i < 4; ++i) m.Boxes[i] = typed[i];
        m.ApplyCropBoxes();
        const auto places = m.BarPositionsToSave();
        QCOMPARE((QList<float>{places[0], places[1], places[2], places[3]}), barsAfter);
        QCOMPARE(Boxes(m), boxes);
    }

    void tiedBars_data() {
        QTest::addColumn<float>("place");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("multiple of 15") << 300.f << QStringList{"24", "20", "24", "20", "-4", "-4"};
        QTest::newRow("at zero") << 0.f << QStringList{"4", "0", "4", "0", "-4", "-4"};
    }
    void tiedBars() {
        QFETCH(float, place);
        QFETCH(QStringList, boxes);
        CropEditorModel m = FreshModel();
        m.ApplyBarPositions({place, place, place, place});
        m.UpdateCropBoxes();
        QCOMPARE(Boxes(m), boxes);
        // Bar 1 of each pair is the left (top) bar on a tie, so typing keeps it there.
        m.Boxes[CropEditorModel::TextLeft] = QStringLiteral("30");
        m.ApplyCropBoxes();
        QCOMPARE(m.VerticalBar1.Left, Twips(390));
    }

    void moves_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QList<float>>("expected");  // picture left, top, bars as saved
        QTest::newRow("down moves the picture")
            << 0 << keycode::Down << 0 << QList<float>{0, 15, 0, 500, 0, 500};
        QTest::newRow("shift left moves the picture 8 pixels")
            << 0 << keycode::Left << 1 << QList<float>{-120, 0, 0, 500, 0, 500};
        QTest::newRow("ctrl down moves nothing")
            << 0 << keycode::Down << 2 << QList<float>{0, 0, 0, 500, 0, 500};
        QTest::newRow("alt right moves nothing")
            << 4 << keycode::Right << 4 << QList<float>{0, 0, 0, 500, 0, 500};
        QTest::newRow("shift ctrl moves nothing")
            << 4 << keycode::Right << 3 << QList<float>{0, 0, 0, 500, 0, 500};
        QTest::newRow("shift right moves the right bar")
            << 4 << keycode::Right << 1 << QList<float>{0, 0, 0, 620, 0, 500};
        QTest::newRow("left moves the left bar")
            << 3 << keycode::Left << 0 << QList<float>{0, 0, -15, 500, 0, 500};
        QTest::newRow("up moves the top bar")
            << 1 << keycode::Up << 0 << QList<float>{0, 0, 0, 500, -15, 500};
        QTest::newRow("shift down moves the bottom bar")
            << 2 << keycode::Down << 1 << QList<float>{0, 0, 0, 500, 0, 620};
        QTest::newRow("right does nothing to a horizontal bar")
            << 1 << keycode::Right << 0 << QList<float>{0, 0, 0, 500, 0, 500};
        QTest::newRow("down does nothing to a vertical bar")
            << 3 << keycode::Down << 0 << QList<float>{0, 0, 0, 500, 0, 500};
        QTest::newRow("a letter moves nothing")
            << 0 << int('A') << 0 << QList<float>{0, 0, 0, 500, 0, 500};
    }
    void moves() {
        QFETCH(int, selected);
        QFETCH(int, key);
        QFETCH(int, shift);
        QFETCH(QList<float>, expected);
        CropEditorModel m = FreshModel();
        m.SelectedObject = selected;
        QCOMPARE(ClassifyEditorKey(key), EditorKey::Move);
        m.MoveSelected(key, shift);
        m.UpdateCropBoxes();
        const auto bars = m.BarPositionsToSave();
        QCOMPARE((QList<float>{m.Picture.Left, m.Picture.Top, bars[0], bars[1], bars[2], bars[3]}),
                 expected);
    }

    // Wheel events, one per row entry (angle delta, pixel delta), on a 1024 x 1536
    // pixel picture in a 1024 x 768 window; the picture starts at `start` (left, top).
    void wheel_data() {
        QTest::addColumn<QList<float>>("start");
        QTest::addColumn<QList<QPoint>>("angles");
        QTest::addColumn<QList<QPoint>>("pixels");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QList<float>>("expected");
        const QList<float> origin{0, 0};
        const QPoint none;
        QTest::newRow("a notch down shows what lies below")
            << origin << QList<QPoint>{{0, -120}} << QList<QPoint>{none} << 0
            << QList<float>{0, -360};
        QTest::newRow("a notch up") << origin << QList<QPoint>{{0, 120}} << QList<QPoint>{none} << 0
                                    << QList<float>{0, 360};
        QTest::newRow("three notches in one event")
            << origin << QList<QPoint>{{0, -360}} << QList<QPoint>{none} << 0
            << QList<float>{0, -1080};
        QTest::newRow("thirds of a notch add up")
            << origin << QList<QPoint>{{0, -40}, {0, -40}, {0, -40}}
            << QList<QPoint>{none, none, none} << 0 << QList<float>{0, -360};
        QTest::newRow("less than a pixel waits")
            << origin << QList<QPoint>{{0, -4}} << QList<QPoint>{none} << 0 << QList<float>{0, 0};
        QTest::newRow("two rests make a pixel")
            << origin << QList<QPoint>{{0, -4}, {0, -4}} << QList<QPoint>{none, none} << 0
            << QList<float>{0, -15};
        QTest::newRow("turning back drops the rest")
            << origin << QList<QPoint>{{0, -4}, {0, 4}, {0, 4}} << QList<QPoint>{none, none, none}
            << 0 << QList<float>{0, 15};
        QTest::newRow("a tilt wheel moves sideways")
            << origin << QList<QPoint>{{-120, 0}} << QList<QPoint>{none} << 0
            << QList<float>{-360, 0};
        QTest::newRow("shift turns a notch sideways")
            << origin << QList<QPoint>{{0, -120}} << QList<QPoint>{none} << 1
            << QList<float>{-360, 0};
        QTest::newRow("shift with a delta already sideways")
            << origin << QList<QPoint>{{120, 0}} << QList<QPoint>{none} << 1
            << QList<float>{360, 0};
        QTest::newRow("ctrl moves nothing")
            << origin << QList<QPoint>{{0, -120}} << QList<QPoint>{none} << 2 << QList<float>{0, 0};
        QTest::newRow("alt moves nothing")
            << origin << QList<QPoint>{{0, -120}} << QList<QPoint>{none} << 4 << QList<float>{0, 0};
        QTest::newRow("touchpad pixels win over the angle")
            << origin << QList<QPoint>{{0, -120}} << QList<QPoint>{{0, -37}} << 0
            << QList<float>{0, -555};
        QTest::newRow("touchpad diagonal") << origin << QList<QPoint>{{0, 0}}
                                           << QList<QPoint>{{5, -7}} << 0 << QList<float>{75, -105};
        QTest::newRow("touchpad with shift")
            << origin << QList<QPoint>{{0, 0}} << QList<QPoint>{{0, -10}} << 1
            << QList<float>{-150, 0};
        QTest::newRow("stops with the bottom edge at the window top")
            << QList<float>{0, -22000} << QList<QPoint>{{0, -120}, {0, -120}, {0, -120}}
            << QList<QPoint>{none, none, none} << 0 << QList<float>{0, -23040};
        QTest::newRow("stops with the top edge at the window bottom")
            << QList<float>{0, 11400} << QList<QPoint>{{0, 120}} << QList<QPoint>{none} << 0
            << QList<float>{0, 11520};
        QTest::newRow("sideways stops at the window's edges")
            << QList<float>{-15000, 0} << QList<QPoint>{{0, -120}} << QList<QPoint>{none} << 1
            << QList<float>{-15360, 0};
        // The window is wider than tall: sideways, its width is the limit, not its height.
        QTest::newRow("sideways stops with the left edge at the window's right")
            << QList<float>{15000, 0} << QList<QPoint>{{120, 0}} << QList<QPoint>{none} << 0
            << QList<float>{15360, 0};
        QTest::newRow("moved out by the arrows: not further out")
            << QList<float>{0, -30000} << QList<QPoint>{{0, -120}} << QList<QPoint>{none} << 0
            << QList<float>{0, -30000};
        QTest::newRow("moved out by the arrows: back in")
            << QList<float>{0, -30000} << QList<QPoint>{{0, 120}} << QList<QPoint>{none} << 0
            << QList<float>{0, -29640};
        QTest::newRow("at the limit, back up at once")
            << QList<float>{0, -23040} << QList<QPoint>{{0, -120}, {0, 120}}
            << QList<QPoint>{none, none} << 0 << QList<float>{0, -22680};
    }
    void wheel() {
        QFETCH(QList<float>, start);
        QFETCH(QList<QPoint>, angles);
        QFETCH(QList<QPoint>, pixels);
        QFETCH(int, shift);
        QFETCH(QList<float>, expected);
        CropEditorModel m = FreshModel();
        m.SelectedObject = selected::VerticalBar2;
        m.Picture.Left = start[0];
        m.Picture.Top = start[1];
        for (qsizetype i = 0; i < angles.size(); ++i) m.ScrollByWheel(angles[i], pixels[i], shift);
        QCOMPARE((QList<float>{m.Picture.Left, m.Picture.Top}), expected);
        // The bars ride on the picture: the crop and the selection stay.
        const auto bars = m.BarPositionsToSave();
        QCOMPARE((QList<float>{bars[0], bars[1], bars[2], bars[3]}),
                 (QList<float>{0, 500, 0, 500}));
        QCOMPARE(m.SelectedObject, selected::VerticalBar2);
    }

    // Keys through the movement row, same picture and window as above: a page is
    // 768 - 48 = 720 pixels.
    void pageKeys_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<float>>("start");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QList<float>>("expected");  // picture left, top
        const QList<float> origin{0, 0};
        using namespace keycode;
        QTest::newRow("page down")
            << 0 << origin << QList<int>{PageDown} << 0 << QList<float>{0, -10800};
        QTest::newRow("page up") << 0 << origin << QList<int>{PageUp} << 0
                                 << QList<float>{0, 10800};
        QTest::newRow("page down to the end")
            << 0 << origin << QList<int>{PageDown, PageDown, PageDown, PageDown} << 0
            << QList<float>{0, -23040};
        QTest::newRow("page up stops at the window bottom")
            << 0 << origin << QList<int>{PageUp, PageUp} << 0 << QList<float>{0, 11520};
        QTest::newRow("down, down, up") << 0 << origin << QList<int>{PageDown, PageDown, PageUp}
                                        << 0 << QList<float>{0, -10800};
        QTest::newRow("home keeps the left")
            << 0 << QList<float>{-300, -5000} << QList<int>{Home} << 0 << QList<float>{-300, 0};
        QTest::newRow("end: bottom to the window bottom")
            << 0 << origin << QList<int>{End} << 0 << QList<float>{0, -11520};
        QTest::newRow("end then home")
            << 0 << origin << QList<int>{End, Home} << 0 << QList<float>{0, 0};
        QTest::newRow("home from far beyond")
            << 0 << QList<float>{0, 50000} << QList<int>{Home} << 0 << QList<float>{0, 0};
        QTest::newRow("a bar selected: the picture moves")
            << 4 << origin << QList<int>{PageDown} << 0 << QList<float>{0, -10800};
        QTest::newRow("a bar selected: end")
            << 1 << origin << QList<int>{End} << 0 << QList<float>{0, -11520};
        QTest::newRow("shift page down")
            << 0 << origin << QList<int>{PageDown} << 1 << QList<float>{0, -10800};
        QTest::newRow("ctrl page down moves nothing")
            << 0 << origin << QList<int>{PageDown} << 2 << QList<float>{0, 0};
        QTest::newRow("alt home moves nothing")
            << 0 << QList<float>{0, -5000} << QList<int>{Home} << 4 << QList<float>{0, -5000};
        QTest::newRow("page up from beyond the window bottom stays")
            << 0 << QList<float>{0, 20000} << QList<int>{PageUp} << 0 << QList<float>{0, 20000};
        QTest::newRow("the arrows stay unclamped")
            << 0 << QList<float>{0, 11520} << QList<int>{Down, Down} << 0 << QList<float>{0, 11550};
    }
    void pageKeys() {
        QFETCH(int, selected);
        QFETCH(QList<float>, start);
        QFETCH(QList<int>, keys);
        QFETCH(int, shift);
        QFETCH(QList<float>, expected);
        CropEditorModel m = FreshModel();
        m.SelectedObject = selected;
        m.Picture.Left = start[0];
        m.Picture.Top = start[1];
        for (int key : keys) {
            QCOMPARE(ClassifyEditorKey(key), EditorKey::Move);
            m.MoveForKey(key, shift);
        }
        QCOMPARE((QList<float>{m.Picture.Left, m.Picture.Top}), expected);
        const auto bars = m.BarPositionsToSave();
        QCOMPARE((QList<float>{bars[0], bars[1], bars[2], bars[3]}),
                 (QList<float>{0, 500, 0, 500}));
        QCOMPARE(m.SelectedObject, selected);
    }

    void keyTable_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("action");
        QTest::newRow("F4") << int(Qt::Key_F4) << 115 << int(EditorKey::TogglePanel);
        QTest::newRow("F3") << int(Qt::Key_F3) << 114 << int(EditorKey::ResetBars);
        QTest::newRow("F2") << int(Qt::Key_F2) << 113 << int(EditorKey::BringWindowsForward);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << 27 << int(EditorKey::Escape);
        QTest::newRow("Up") << int(Qt::Key_Up) << 38 << int(EditorKey::Move);
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 33 << int(EditorKey::Move);
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 34 << int(EditorKey::Move);
        QTest::newRow("End") << int(Qt::Key_End) << 35 << int(EditorKey::Move);
        QTest::newRow("Home") << int(Qt::Key_Home) << 36 << int(EditorKey::Move);
        QTest::newRow("digit") << int(Qt::Key_7) << 55 << int(EditorKey::Move);
    }
    void keyTable() {
        QFETCH(int, qtKey);
        QFETCH(int, code);
        QFETCH(int, action);
        QCOMPARE(WindowsKeyCode(qtKey), code);
        QCOMPARE(int(ClassifyEditorKey(code)), action);
    }

    // A report at (2, 3) from each kind of place, with the panel at (4200, 2400), the
    // picture moved to (-30, 45) and the child at (1560, 600).
    void dragWindowPosition_data() {
        QTest::addColumn<int>("place");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::newRow("window") << int(DragPlace::Window) << 2.f << 3.f;
        QTest::newRow("panel") << int(DragPlace::Panel) << 4202.f << 2403.f;
        QTest::newRow("panel's box") << int(DragPlace::PanelChild) << 5762.f << 3003.f;
        QTest::newRow("picture") << int(DragPlace::Picture) << -28.f << 48.f;
        QTest::newRow("bar") << int(DragPlace::Bar) << 1532.f << 648.f;
    }
    void dragWindowPosition() {
        QFETCH(int, place);
        QFETCH(float, x);
        QFETCH(float, y);
        DragFrames frames{{4200, 2400}, {-30, 45}, {1560, 600}};
        QCOMPARE(WindowPositionOf(DragPlace(place), {2, 3}, frames), (TwipPoint{x, y}));
    }

    // Pointer travel from the start to the drop, and the panel's place after the drop.
    void dragTravel_data() {
        QTest::addColumn<TwipPoint>("start");
        QTest::addColumn<TwipPoint>("drop");
        QTest::addColumn<TwipPoint>("panelAfter");
        QTest::newRow("right and up")
            << TwipPoint{5000, 3000} << TwipPoint{5600, 2700} << TwipPoint{4800, 2100};
        QTest::newRow("same point")
            << TwipPoint{5000, 3000} << TwipPoint{5000, 3000} << TwipPoint{4200, 2400};
        QTest::newRow("horizontal only")
            << TwipPoint{5000, 3000} << TwipPoint{4000, 3000} << TwipPoint{3200, 2400};
        QTest::newRow("off the window")
            << TwipPoint{5000, 3000} << TwipPoint{-1000, -4000} << TwipPoint{-1800, -4600};
    }
    void dragTravel() {
        QFETCH(TwipPoint, start);
        QFETCH(TwipPoint, drop);
        QFETCH(TwipPoint, panelAfter);
        PanelDrag drag;
        TwipPoint panel{4200, 2400};
        drag.DragOver(start);
        drag.DragOver({7000, 7000});  // later reports of the same drag do not count
        QCOMPARE(drag.DragStarted, 1);
        drag.DragDrop(drop, panel);
        QCOMPARE(panel, panelAfter);
        QCOMPARE(drag.DragStarted, 0);
    }

    void dragWithoutDropForgetsItsStart() {
        PanelDrag drag;
        TwipPoint panel{4200, 2400};
        drag.DragOver({100, 100});
        drag.DragCancelled();
        drag.DragOver({5000, 3000});
        drag.DragDrop({5150, 3015}, panel);
        QCOMPARE(panel, (TwipPoint{4350, 2415}));
    }

    // Crossed bars, and bars that hold no pixel of the picture, give nothing to write;
    // bars typed far beyond the picture give only what lies on it.
    void cropIsClippedToThePicture_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("kept");  // null: refused
        QTest::newRow("no width") << QRect(0, 0, 0, 3) << QRect();
        QTest::newRow("negative width") << QRect(0, 0, -4, 3) << QRect();
        QTest::newRow("far beyond, around the picture")
            << QRect(0, 0, 100000, 100000) << QRect(0, 0, 5, 3);
        QTest::newRow("hanging over the bottom right") << QRect(3, 1, 40, 40) << QRect(3, 1, 2, 2);
        QTest::newRow("hanging over the top left") << QRect(-7, -2, 9, 4) << QRect(0, 0, 2, 2);
        QTest::newRow("inside") << QRect(1, 1, 3, 1) << QRect(1, 1, 3, 1);
        QTest::newRow("right of the picture") << QRect(5, 0, 10, 3) << QRect();
        QTest::newRow("below the picture") << QRect(0, 3, 5, 100) << QRect();
        QTest::newRow("above and left") << QRect(-50, -50, 50, 50) << QRect();
    }
    void cropIsClippedToThePicture() {
        QFETCH(QRect, area);
        QFETCH(QRect, kept);
        // Every pixel tells where it is.
        QImage composite(5, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) composite.setPixel(x, y, qRgb(x * 40, y * 80, 7));
        const QImage cropped = CropComposite(composite, area);
        QCOMPARE(cropped.isNull(), kept.isNull());
        QCOMPARE(ClippedCropArea(composite, area), kept);
        if (kept.isNull()) return;
        QCOMPARE(cropped.size(), kept.size());
        for (int y = 0; y < kept.height(); ++y)
            for (int x = 0; x < kept.width(); ++x)
                QCOMPARE(cropped.pixel(x, y), composite.pixel(kept.x() + x, kept.y() + y));
    }
};

QTEST_APPLESS_MAIN(CropModelTest)
#include "crop_model_test.moc"
