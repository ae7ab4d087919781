#pragma once
// What the crop editor's window tests share: a program whose editor shows a composite
// whose colours encode x and y, and the helpers that drive and read the editor.
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

namespace croptest {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kCompositeHeight = 2 * kScreenHeight;
// A capture of six 1080-pixel screens.
constexpr int kTallCompositeHeight = 6480;

// Every pixel of the test composite tells where it is.
inline QRgb PatternAt(int x, int y) {
    return qRgb(x & 255, y & 255, ((x >> 8) << 4) | (y >> 8));
}

inline QImage Pattern(int height) {
    QImage image(kScreenWidth, height, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) line[x] = PatternAt(x, y);
    }
    return image;
}

inline QList<float> BarPlaces(const Form99& editor) {
    const auto places = editor.Model().BarPositionsToSave();
    return {places[0], places[1], places[2], places[3]};
}

inline QStringList BoxTexts(const Form99& editor) {
    QStringList texts;
    for (const QLineEdit* box : editor.PictureCropControls->Boxes()) texts << box->text();
    return texts;
}

inline void WriteFile(const QString& name, const QByteArray& content) {
    QFile file(AppFile(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

inline QByteArray ReadFile(const QString& name) {
    QFile file(AppFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first pixel of a crop of `area` that differs from the test composite, as text;
// empty when every pixel is right. Outside the composite the picture box is white.
inline QString CropMismatch(const QImage& cropped, QRect area, int compositeHeight) {
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
inline void Wheel(Form99& editor, QPoint at, QPoint angle, QPoint pixels = {},
                  Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = editor.childAt(at);
    if (!target) target = &editor;
    QWheelEvent event(target->mapFrom(&editor, QPointF(at)), editor.mapToGlobal(QPointF(at)),
                      pixels, angle, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

// The window point at the middle of a widget inside the editor.
inline QPoint CentreIn(const Form99& editor, const QWidget* widget) {
    return widget->mapTo(&editor, widget->rect().center());
}

// The program and the editor, set up as each test of a window test class expects.
class CropEditorFixture : public QObject {
  protected:
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

    // For initTestCase().
    void StartProgram() {
        SetEndHandler([this] { ++ends_; });
        program_ = std::make_unique<Program>();
        PlaceWindows(*program_);
    }

    // For init(): no saved places or crop, the editor alone on show, panel and picture
    // at home.
    void ResetEditor() {
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
};

}  // namespace croptest
