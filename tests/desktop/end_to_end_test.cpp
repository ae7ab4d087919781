// The whole road from address to saved file, through the real windows: open a page
// file, capture two screens, crop with typed coordinates, save in all four formats,
// and check every file's pixels against the page.
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <set>

#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/jpg_options_panel.h"
#include "desktop/picture_button.h"
#include "desktop/program.h"
#include "desktop/startup.h"
#include "files/program_folder.h"
#include "formats/bitmap_file.h"
#include "support/test_main.h"

namespace {

constexpr int kW = 1024;
constexpr int kH = 768;

// The page paints every pixel with its own colour: red and green are x and y modulo
// 256, blue holds the hundreds of both. Any shifted, repeated or missing pixel shows.
QRgb PagePixel(int x, int y) {
    return qRgb(x % 256, y % 256, (x / 256) * 16 + y / 256);
}

const char* kPage = R"(<!doctype html>
<html><body style="margin:0;overflow:hidden">
<canvas id="c" style="display:block"></canvas>
<script>
const w = %1, h = %2, c = document.getElementById('c');
c.width = w; c.height = h;
const g = c.getContext('2d'), img = g.createImageData(w, h);
for (let y = 0; y < h; ++y) for (let x = 0; x < w; ++x) {
  const i = 4 * (y * w + x);
  img.data[i] = x % 256; img.data[i + 1] = y % 256;
  img.data[i + 2] = Math.floor(x / 256) * 16 + Math.floor(y / 256); img.data[i + 3] = 255;
}
g.putImageData(img, 0, 0);
document.title = 'painted';
</script></body></html>)";

// Pixels of `picture` that differ from the page shifted by (dx, dy).
int WrongPixels(const QImage& picture, int dx, int dy) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    int wrong = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if ((rgb.pixel(x, y) & 0xffffff) != (PagePixel(x + dx, y + dy) & 0xffffff)) ++wrong;
    return wrong;
}

double Psnr(const QImage& picture, int dx, int dy) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb a = rgb.pixel(x, y), b = PagePixel(x + dx, y + dy);
            for (int d : {qRed(a) - qRed(b), qGreen(a) - qGreen(b), qBlue(a) - qBlue(b)})
                sum += d * d;
        }
    }
    const double mse = sum / (3.0 * rgb.width() * rgb.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

QImage Decode(const QString& path, const QByteArray& format) {
    QImageReader reader(path, format);
    return reader.read();
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

    Program* program_ = nullptr;
    QString chosen_;  // what the replaced file dialog answers

    Form0& Browser() { return program_->form0(); }
    Form1& Panel() { return program_->form1(); }
    Form99& Editor() { return program_->form99(); }

    void Type(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }

    void SaveAs(const QString& name) {
        chosen_ = AppFile(name);
        QFile::remove(chosen_);
        QTest::mouseClick(Panel().CommandSaveAs, Qt::LeftButton);
    }

  private Q_SLOTS:
    void initTestCase() {
        program_ = new Program;
        Startup(*program_);
        Browser().CommonDialog1.SetBackend(
            [this](DialogKind, const CommonDialog&) -> std::optional<QString> { return chosen_; });
    }
    void cleanupTestCase() { delete program_; }

    void openPageFile() {
        chosen_ = AppFile(QStringLiteral("e2e.html"));
        QFile page(chosen_);
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write(QString::fromLatin1(kPage).arg(kW).arg(2 * kH).toUtf8());
        page.close();
        QSignalSpy loaded(Browser().WebBrowser1, &QWebEngineView::loadFinished);
        QTest::mouseClick(Panel().CommandGetLocalFile, Qt::LeftButton);
        QVERIFY(loaded.wait(20000));
        QTRY_COMPARE_WITH_TIMEOUT(Browser().WebBrowser1->title(), QStringLiteral("painted"), 20000);
        QCOMPARE(Panel().TextURL->text(), QStringLiteral("file://") + chosen_);
    }

    void captureTwoScreens() {
        Type(Panel().TextRowsToCapture, QStringLiteral("2"));
        QTest::mouseClick(Panel().CommandCapture, Qt::LeftButton);
        const auto whopper = LoadPicture(AppFile(QStringLiteral("whopper.bmp")));
        QVERIFY(whopper);
        QCOMPARE(whopper->size(), QSize(kW, 2 * kH));
        QCOMPARE(WrongPixels(*whopper, 0, 0), 0);
        QVERIFY(Panel().CommandCrop->isEnabled());
    }

    // Coordinates typed into the boxes; the crop straddles the seam between the screens.
    void cropWithTypedCoordinates() {
        QTest::mouseClick(Panel().CommandCrop, Qt::LeftButton);
        QVERIFY(Editor().PictureWhopper->isVisible());
        CropControlsPanel& boxes = *Editor().PictureCropControls;
        // Far edges first, so the bars never pass each other on the way.
        Type(boxes.TextRight, QStringLiteral("700"));
        Type(boxes.TextBottom, QStringLiteral("1400"));
        Type(boxes.TextLeft, QStringLiteral("100"));
        Type(boxes.TextTop, QStringLiteral("500"));
        QCOMPARE(boxes.TextWidthW->text(), QStringLiteral("600"));
        QCOMPARE(boxes.TextHeightH->text(), QStringLiteral("900"));

        QTest::mouseDClick(Editor().PictureWhopper, Qt::LeftButton, {}, QPoint(300, 600));
        QVERIFY(!Editor().PictureWhopper->isVisible());
        const auto cropped = LoadPicture(AppFile(QStringLiteral("cropped.bmp")));
        QVERIFY(cropped);
        QCOMPARE(cropped->size(), QSize(600, 900));
        QCOMPARE(WrongPixels(*cropped, 100, 500), 0);
    }

    void saveAsBitmap() {
        SaveAs(QStringLiteral("saved.bmp"));
        QFile saved(chosen_), source(AppFile(QStringLiteral("cropped.bmp")));
        QVERIFY(saved.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), source.readAll());
        QCOMPARE(WrongPixels(Decode(chosen_, "bmp"), 100, 500), 0);
    }

    void saveAsPng() {
        SaveAs(QStringLiteral("saved.png"));
        const QImage png = Decode(chosen_, "png");
        QCOMPARE(png.size(), QSize(600, 900));
        QCOMPARE(WrongPixels(png, 100, 500), 0);
    }

    void saveAsGif() {
        SaveAs(QStringLiteral("saved.gif"));
        const QImage gif = Decode(chosen_, "gif");
        QCOMPARE(gif.size(), QSize(600, 900));
        std::set<QRgb> colours;
        const QImage rgb = gif.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x) colours.insert(rgb.pixel(x, y));
        QVERIFY(colours.size() <= 256);
        QVERIFY2(Psnr(gif, 100, 500) > 28, qPrintable(QString::number(Psnr(gif, 100, 500))));
    }

    void saveAsJpeg() {
        SaveAs(QStringLiteral("saved.jpg"));
        JpgOptionsPanel& options = *Panel().PictureJPGOptions;
        QVERIFY(options.isVisible());
        QVERIFY(!QFile::exists(chosen_));  // nothing is written before Save
        options.sliJPGQuality->setValue(90);
        QTest::mouseClick(options.CommandSaveJPG, Qt::LeftButton);
        QVERIFY(!options.isVisible());
        const QImage jpeg = Decode(chosen_, "jpeg");
        QCOMPARE(jpeg.size(), QSize(600, 900));
        QVERIFY2(Psnr(jpeg, 100, 500) > 30, qPrintable(QString::number(Psnr(jpeg, 100, 500))));
    }
};

GLIMPA_TEST_MAIN(EndToEndTest, kW, kH)
#include "end_to_end_test.moc"
