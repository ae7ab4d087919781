// The band writers against the whole-picture writer: the same picture given in bands of
// many shapes comes back pixel for pixel (BMP and JPEG byte for byte), with the palette the
// whole picture gets; an unfinished or failed picture leaves the target as it was.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <vector>

#include "formats/band_writer.h"
#include "formats/picture_file.h"

namespace {

// Pictures whose every pixel the test knows. Colour counts: two, sixteen and 256 colours
// of a fixed list; "late" has 256 of them and a 257th in its last row only; "growing" has
// more colours in each quarter of its rows; "page" has text strokes, a gradient and noise.
QImage Picture(const QString& kind, int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    QRandomGenerator random(11);
    const auto listed = [](int i) { return qRgb(i * 37 % 256, i * 101 % 256, i * 59 % 256); };
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int i = x * 7 + y * 3;
            QRgb c = 0;
            if (kind == u"two") c = (x / 3 + y) % 5 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            if (kind == u"sixteen") c = listed(i % 16);
            if (kind == u"all256" || kind == u"late") c = listed((i + y * width) % 256);
            // 2 colours in the first quarter, 4, 16, then 200 or 300 in the last.
            if (kind.startsWith(u"growing")) {
                const int quarter = 4 * y / height;
                const int last = kind == u"growing past 256" ? 300 : 200;
                c = listed(i % (quarter == 0 ? 2 : quarter == 1 ? 4 : quarter == 2 ? 16 : last));
            }
            if (kind == u"page") {
                c = qRgb(250, 250, 250);
                if (y % 40 < 14 && (x / 3 + y / 2) % 7 < 3) c = qRgb(20, 20, 30);
                if (y > height / 2) c = qRgb(x * 255 / width, y * 255 / height, 128);
                if (x > width - 16) c = random.generate() | 0xff000000;
            }
            line[x] = c;
        }
    }
    if (kind == u"late") reinterpret_cast<QRgb*>(picture.scanLine(height - 1))[0] = qRgb(1, 2, 3);
    return picture;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where two pictures first differ, or empty.
QString FirstDifference(const QImage& got, const QImage& want) {
    if (got.size() != want.size())
        return QStringLiteral("size %1x%2").arg(got.width()).arg(got.height());
    const QImage a = got.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x)
            if ((a.pixel(x, y) | 0xff000000u) != (want.pixel(x, y) | 0xff000000u))
                return QStringLiteral("pixel %1,%2").arg(x).arg(y);
    return QString();
}

// The largest difference between a row's mean brightness in the two pictures: what JPEG
// keeps best, and far off where a band is out of place.
double RowBrightnessDifference(const QImage& got, const QImage& want) {
    const QImage a = got.convertToFormat(QImage::Format_RGB32);
    double largest = 0;
    for (int y = 0; y < want.height(); ++y) {
        double sum = 0;
        for (int x = 0; x < want.width(); ++x)
            sum += qGray(a.pixel(x, y)) - qGray(want.pixel(x, y));
        largest = std::max(largest, std::abs(sum / want.width()));
    }
    return largest;
}

Outcome WriteInBands(BandWriter& writer, const QImage& picture, const std::vector<int>& heights) {
    if (Outcome begun = writer.Begin(picture.size()); !begun) return begun;
    int top = 0;
    for (size_t i = 0; top < picture.height(); ++i) {
        const int rows = std::min(heights[std::min(i, heights.size() - 1)], picture.height() - top);
        if (Outcome added = writer.Add(picture.copy(0, top, picture.width(), rows)); !added)
            return added;
        top += rows;
    }
    return writer.Finish();
}

// What a folder holds besides the target: a temporary file left behind shows here.
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

Q_DECLARE_METATYPE(PictureFormat)

namespace {

// A row for each format written in bands.
void EachBandFormat() {
    QTest::addColumn<PictureFormat>("format");
    QTest::newRow("bmp") << PictureFormat::Bmp;
    QTest::newRow("png") << PictureFormat::Png;
    QTest::newRow("jpeg") << PictureFormat::Jpeg;
}

}  // namespace

class BandWriterTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void sameAsWholePicture_data() {
        QTest::addColumn<PictureFormat>("format");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<std::vector<int>>("heights");
        const struct {
            const char* name;
            PictureFormat format;
            bool progressive;
            const char* ending;
        } formats[] = {
            {"bmp", PictureFormat::Bmp, false, ".bmp"},
            {"png", PictureFormat::Png, false, ".png"},
            {"jpeg", PictureFormat::Jpeg, false, ".jpg"},
            {"progressive", PictureFormat::Jpeg, true, ".jpg"},
        };
        const struct {
            const char* name;
            const char* kind;
            QSize size;
            std::vector<int> heights;
        } shapes[] = {
            {"one band", "page", {203, 157}, {157}},
            {"odd bands", "page", {203, 157}, {7, 13, 1, 29, 16, 33}},
            {"row by row", "page", {37, 41}, {1}},
            {"width one", "page", {1, 50}, {3, 17}},
            {"tall, sampled bands", "page", {300, 1100}, {300, 17, 600}},
            {"megabytes of rows", "page", {1000, 1500}, {500, 7, 993}},
            {"two colours", "two", {131, 60}, {9, 25}},
            {"sixteen colours", "sixteen", {131, 60}, {11}},
            {"two colours, megabytes", "two", {2000, 1300}, {640}},
            {"256 colours", "all256", {131, 60}, {20}},
            {"257th in the last band", "late", {131, 60}, {20, 39, 1}},
            {"257th after megabytes", "late", {2000, 1300}, {640, 659, 1}},
            {"more colours band by band", "growing", {2000, 1300}, {300, 1, 333}},
            {"more colours, then too many", "growing past 256", {203, 100}, {13, 30}},
        };
        for (const auto& f : formats)
            for (const auto& s : shapes)
                QTest::addRow("%s, %s", f.name, s.name)
                    << f.format << f.progressive << QString::fromLatin1(s.kind) << s.size
                    << s.heights;
    }

    void sameAsWholePicture() {
        QFETCH(PictureFormat, format);
        QFETCH(bool, progressive);
        QFETCH(QString, kind);
        QFETCH(QSize, size);
        QFETCH(std::vector<int>, heights);
        const QImage picture = Picture(kind, size.width(), size.height());
        const QString ending = format == PictureFormat::Bmp   ? QStringLiteral(".bmp")
                               : format == PictureFormat::Png ? QStringLiteral(".png")
                                                              : QStringLiteral(".jpg");
        const QString banded = dir_.filePath(QStringLiteral("banded") + ending);
        const QString whole = dir_.filePath(QStringLiteral("whole") + ending);
        JpegChoice jpeg;
        jpeg.quality = 80;
        jpeg.progressive = progressive;
        std::unique_ptr<BandWriter> writer = BandWriterFor(banded, format, jpeg);
        QVERIFY(writer);
        const Outcome done = WriteInBands(*writer, picture, heights);
        QVERIFY2(done, qPrintable(done.reason));
        QVERIFY(WritePictureFile(picture, whole, format, jpeg));
        const QImage decoded(banded);
        QVERIFY(!decoded.isNull());
        QCOMPARE(decoded.size(), picture.size());
        if (format == PictureFormat::Jpeg) {
            QCOMPARE(Bytes(banded), Bytes(whole));
            const double off = RowBrightnessDifference(decoded, picture);
            QVERIFY2(off < 16, qPrintable(QString::number(off)));
            QCOMPARE(FirstDifference(decoded, QImage(whole)), QString());
        } else {
            QCOMPARE(FirstDifference(decoded, picture), QString());
        }
        if (format == PictureFormat::Bmp) QCOMPARE(Bytes(banded), Bytes(whole));
        if (format == PictureFormat::Png) {
            // Bit depth and colour type: the palette and its packing as the whole picture's.
            QCOMPARE(Bytes(banded).mid(24, 2).toHex(), Bytes(whole).mid(24, 2).toHex());
            const double ratio = double(Bytes(banded).size()) / Bytes(whole).size();
            QVERIFY2(ratio < 1.25, qPrintable(QString::number(ratio)));
        }
    }

    void beginAgainStartsOver_data() { EachBandFormat(); }

    void beginAgainStartsOver() {
        QFETCH(PictureFormat, format);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("again"));
        std::unique_ptr<BandWriter> writer = BandWriterFor(path, format);
        const QImage first = Picture(QStringLiteral("two"), 90, 40);
        QVERIFY(writer->Begin(first.size()));
        QVERIFY(writer->Add(first.copy(0, 0, 90, 25)));
        const QImage second = Picture(QStringLiteral("page"), 70, 33);
        const Outcome done = WriteInBands(*writer, second, {10, 23});
        QVERIFY2(done, qPrintable(done.reason));
        const QString whole = folder.filePath(QStringLiteral("again-whole"));
        QVERIFY(WritePictureFile(second, whole, format));
        QImage decoded(path, nullptr);
        QCOMPARE(decoded.size(), second.size());
        QCOMPARE(FirstDifference(decoded, QImage(whole, nullptr)), QString());
        QCOMPARE(Entries(folder.path()).size(), 2);
    }

    // An unfinished picture, a short one and a band that does not fit: the old file stays
    // and no temporary file is left beside it.
    void failuresKeepTheTarget_data() {
        QTest::addColumn<PictureFormat>("format");
        QTest::addColumn<QString>("how");
        for (const auto& [name, format] :
             {std::pair{"bmp", PictureFormat::Bmp}, std::pair{"png", PictureFormat::Png},
              std::pair{"jpeg", PictureFormat::Jpeg}})
            for (const char* how : {"destroyed", "too few rows", "too many rows", "wrong width"})
                QTest::addRow("%s, %s", name, how) << format << QString::fromLatin1(how);
    }

    void failuresKeepTheTarget() {
        QFETCH(PictureFormat, format);
        QFETCH(QString, how);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("kept"));
        QVERIFY(ReplaceFileWithBytes(path, "the old file"));
        const QImage picture = Picture(QStringLiteral("page"), 64, 48);
        {
            std::unique_ptr<BandWriter> writer = BandWriterFor(path, format);
            QVERIFY(writer->Begin(picture.size()));
            QVERIFY(writer->Add(picture.copy(0, 0, 64, 20)));
            if (how == u"too few rows") {
                const Outcome done = writer->Finish();
                QVERIFY(!done);
                QVERIFY(done.reason.contains(u"20 of its 48"));
            } else if (how == u"too many rows") {
                const Outcome added = writer->Add(picture);
                QVERIFY(!added);
                QVERIFY(!added.reason.isEmpty());
                QVERIFY(!writer->Finish());
            } else if (how == u"wrong width") {
                const Outcome added = writer->Add(picture.copy(0, 20, 63, 28));
                QVERIFY(!added);
                QVERIFY(!added.reason.isEmpty());
            }
        }
        QCOMPARE(Bytes(path), QByteArray("the old file"));
        QCOMPARE(Entries(folder.path()), QStringList{QStringLiteral("kept")});
    }

    void unwritableFolderFails_data() { EachBandFormat(); }

    void unwritableFolderFails() {
        QFETCH(PictureFormat, format);
        std::unique_ptr<BandWriter> writer =
            BandWriterFor(dir_.filePath(QStringLiteral("no such folder/picture")), format);
        const Outcome begun = writer->Begin(QSize(10, 10));
        QVERIFY(!begun);
        QVERIFY(!begun.reason.isEmpty());
        QVERIFY(!writer->Add(Picture(QStringLiteral("two"), 10, 10)));
    }

    void wholePictureFormatsHaveNoBandWriter() {
        for (const PictureFormat format :
             {PictureFormat::Gif, PictureFormat::Webp, PictureFormat::Avif, PictureFormat::Pdf})
            QVERIFY(!BandWriterFor(dir_.filePath(QStringLiteral("x")), format));
    }

  private:
    static bool ReplaceFileWithBytes(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QTemporaryDir dir_;
};

QTEST_MAIN(BandWriterTest)
#include "band_writer_test.moc"
