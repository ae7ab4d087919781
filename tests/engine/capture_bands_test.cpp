// The capture engine handing a whole page's picture to bands as its parts are taken:
// the bands together are the very picture it would hold in memory, a page that grows
// below rows given is taken whole in memory instead, and bands that fail end the shot.
#include <QWebEngineProfile>
#include <QtTest>

#include "engine/capture_engine.h"
#include "files/program_folder.h"
#include "formats/band_writer.h"
#include "support/capture_pages.h"
#include "support/shoot_and_wait.h"
#include "support/test_main.h"

using namespace capturepages;

namespace {

// Keeps what it is given: how often it was begun, each band's height, and the picture
// the bands make together. Fails the band numbered `failAt` (from 1; 0: none).
class RecordingBands final : public BandWriter {
  public:
    explicit RecordingBands(int failAt = 0) : failAt_(failAt) {}
    Outcome Begin(QSize size) override {
        ++begun;
        heights.clear();
        picture = QImage(size, QImage::Format_RGB32);
        picture.fill(Qt::black);
        rows_ = 0;
        return Outcome::Done();
    }
    Outcome Add(QImage rows) override {
        heights << rows.height();
        if (heights.size() == failAt_) return Outcome::Failed(QStringLiteral("the disk is full"));
        if (rows.format() != QImage::Format_RGB32 || rows.width() != picture.width() ||
            rows_ + rows.height() > picture.height())
            return Outcome::Failed(QStringLiteral("a band that does not fit"));
        for (int y = 0; y < rows.height(); ++y)
            std::memcpy(picture.scanLine(rows_ + y), rows.constScanLine(y),
                        static_cast<size_t>(picture.bytesPerLine()));
        rows_ += rows.height();
        return Outcome::Done();
    }
    Outcome Finish() override { return Outcome::Done(); }

    int begun = 0;
    QList<int> heights;
    QImage picture;

  private:
    int failAt_;
    int rows_ = 0;
};

ShotRequest Request(const QString& address, double scale = 1) {
    ShotRequest request;
    request.address = QUrl(address);
    request.width = 800;
    request.screenHeight = 600;
    request.scale = scale;
    return request;
}

}  // namespace

class CaptureBandsTest : public QObject {
    Q_OBJECT

  private:
    QWebEngineProfile* profile_ = nullptr;

  private Q_SLOTS:
    void initTestCase() { profile_ = new QWebEngineProfile(this); }

    // One part, several, at scales that round, under a fixed bar: the bands make the
    // picture the engine holds whole, pixel for pixel, and no band is taller than a part.
    void bandsMakeTheWholePicture_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("header");
        QTest::addColumn<double>("scale");
        QTest::newRow("one part") << 3000 << 0 << 1.0;
        QTest::newRow("three parts under a bar") << 20000 << 40 << 1.0;
        QTest::newRow("parts at a scale that rounds") << 12000 << 0 << 1.5;
    }
    void bandsMakeTheWholePicture() {
        QFETCH(int, rows);
        QFETCH(int, header);
        QFETCH(double, scale);
        const QString page = WritePage(QStringLiteral("bands%1-%2.html").arg(rows).arg(header),
                                       BandsPage(rows, header));
        CaptureEngine engine(profile_);
        const ShotResult held = ShootAndWait(engine, Request(page, scale));
        QCOMPARE(int(held.status), int(ShotStatus::Ok));
        RecordingBands bands;
        ShotRequest request = Request(page, scale);
        request.bands = &bands;
        const ShotResult given = ShootAndWait(engine, request);
        QCOMPARE(int(given.status), int(ShotStatus::Ok));
        QVERIFY(given.streamed);
        QVERIFY(given.picture.isNull());
        QCOMPARE(given.size, held.picture.size());
        QCOMPARE(bands.begun, 1);
        QCOMPARE(bands.picture.size(), held.picture.size());
        for (const int height : bands.heights) QVERIFY(height <= 6144);
        QCOMPARE(bands.picture, held.picture.convertToFormat(QImage::Format_RGB32));
    }

    // A page that grows below the rows already given cannot be appended to them: it is
    // taken again whole in memory, up to the tallest picture, and said so.
    void growthBelowGivenRowsIsTakenWhole() {
        const QString page = WritePage(QStringLiteral("endless.html"), EndlessPage());
        CaptureEngine engine(profile_);
        RecordingBands bands;
        ShotRequest request = Request(page);
        request.maxHeight = 30000;
        request.bands = &bands;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), int(ShotStatus::CutAtMaxHeight));
        QVERIFY(!result.streamed);
        QCOMPARE(result.picture.height(), 30000);
        QCOMPARE(FirstWrongRow(
                     result.picture, 0, 30000,
                     [](int y) { return (y / 1000) % 2 ? QColor(0, 255, 0) : QColor(0, 0, 255); }),
                 -1);
    }

    // The bound of a picture held in memory is none of one given to bands.
    void heldBoundLeavesBandsAlone_data() {
        QTest::addColumn<bool>("withBands");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("height");
        QTest::newRow("held") << false << int(ShotStatus::CutAtMaxHeight) << 5000;
        QTest::newRow("given to bands") << true << int(ShotStatus::Ok) << 20000;
    }
    void heldBoundLeavesBandsAlone() {
        QFETCH(bool, withBands);
        QFETCH(int, status);
        QFETCH(int, height);
        const QString page = WritePage(QStringLiteral("bands20000.html"), BandsPage(20000));
        CaptureEngine engine(profile_);
        RecordingBands bands;
        ShotRequest request = Request(page);
        request.maxPixelsHeld = 800LL * 5000;
        if (withBands) request.bands = &bands;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), status);
        QCOMPARE(result.size.height(), height);
        const QImage& picture = withBands ? bands.picture : result.picture;
        QCOMPARE(FirstWrongRow(picture, 0, height, BandColor), -1);
    }

    // Bands that cannot take a part end the shot with their reason and no picture; a
    // part of the page is cut from a picture in memory and never goes to bands.
    void bandsFailOrStandAside_data() {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<int>("status");
        QTest::newRow("the second band fails") << 2 << QString() << int(ShotStatus::LoadFailed);
        QTest::newRow("an element is asked for")
            << 0 << QStringLiteral("div:nth-child(9000)") << int(ShotStatus::Ok);
    }
    void bandsFailOrStandAside() {
        QFETCH(int, failAt);
        QFETCH(QString, selector);
        QFETCH(int, status);
        const QString page = WritePage(QStringLiteral("bands20000.html"), BandsPage(20000));
        CaptureEngine engine(profile_);
        RecordingBands bands(failAt);
        ShotRequest request = Request(page);
        request.selector = selector;
        request.bands = &bands;
        const ShotResult result = ShootAndWait(engine, request);
        QCOMPARE(int(result.status), status);
        QVERIFY(!result.streamed);
        if (failAt) {
            QCOMPARE(result.bandsFailed, QStringLiteral("the disk is full"));
            QVERIFY(result.picture.isNull());
            return;
        }
        QCOMPARE(bands.begun, 0);
        QCOMPARE(result.picture.height(), 1);
        QCOMPARE(FirstWrongRow(result.picture, 0, 1, [](int) { return BandColor(8999); }), -1);
    }
};

GLIMPA_TEST_MAIN(CaptureBandsTest, 1920, 1080)
#include "capture_bands_test.moc"
