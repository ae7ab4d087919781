// The crop editor's input: typing, keys, dragging the coordinate panel, the wheel and the
// page keys, each checked against the bars, the boxes and the crop they lead to.
#include "crop_editor_fixture.h"

using namespace croptest;

class CropEditorInputTest : public CropEditorFixture {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { StartProgram(); }
    void init() { ResetEditor(); }

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

GLIMPA_TEST_MAIN(CropEditorInputTest, kScreenWidth, kScreenHeight)
#include "crop_editor_input_test.moc"
