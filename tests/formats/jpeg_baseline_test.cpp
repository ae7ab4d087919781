// The baseline JPEG writer against a plain one-thread libjpeg run with the same settings:
// the same bytes for every size, quality and pixel format, whether the picture is worked
// in one band or two. Progressive files: libjpeg's own, with the same DCT.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "formats/jpeg_baseline.h"
#include "formats/picture_file.h"

namespace {

// Gradients in every channel with noise on top, so that both the DC and the AC
// coefficients vary from block to block.
QImage Picture(int width, int height, QImage::Format format) {
    QImage image(width, height, QImage::Format_RGB32);
    quint32 state = 2024;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 27) - 16;
            const auto clamp = [](int v) { return std::clamp(v, 0, 255); };
            image.setPixel(x, y,
                           qRgb(clamp(x * 255 / std::max(1, width - 1) + noise),
                                clamp(y * 255 / std::max(1, height - 1) - noise),
                                clamp((x + y) % 256 + noise / 2)));
        }
    return image.convertToFormat(format);
}

// libjpeg in one pass over the rows: 4:2:0, the accurate DCT, Huffman tables made for the
// picture by its own two-pass optimisation; or its simple progression.
QByteArray Reference(const QImage& pixels, int quality, bool progressive = false) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &jpeg, &size);
    cinfo.image_width = JDIMENSION(pixels.width());
    cinfo.image_height = JDIMENSION(pixels.height());
    switch (pixels.format()) {
        case QImage::Format_BGR888:
            cinfo.in_color_space = JCS_EXT_BGR;
            cinfo.input_components = 3;
            break;
        case QImage::Format_RGB888:
            cinfo.in_color_space = JCS_EXT_RGB;
            cinfo.input_components = 3;
            break;
        default:  // 32-bit words, little-endian here
            cinfo.in_color_space = JCS_EXT_BGRX;
            cinfo.input_components = 4;
            break;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 2;
    cinfo.optimize_coding = TRUE;
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray out(reinterpret_cast<const char*>(jpeg), qsizetype(size));
    std::free(jpeg);
    return out;
}

// The markers of a JPEG in order, entropy-coded data skipped.
QList<int> Markers(const QByteArray& jpeg) {
    QList<int> markers;
    qsizetype i = 0;
    while (i + 1 < jpeg.size() && uchar(jpeg[i]) == 0xFF) {
        const int marker = uchar(jpeg[i + 1]);
        markers << marker;
        i += 2;
        if (marker == 0xD8 || marker == 0xD9) continue;
        if (i + 1 >= jpeg.size()) break;
        i += uchar(jpeg[i]) << 8 | uchar(jpeg[i + 1]);
        if (marker != 0xDA) continue;
        // Coded data runs to the next marker that is neither a stuffed zero nor a restart.
        while (i + 1 < jpeg.size() && !(uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) != 0 &&
                                        (uchar(jpeg[i + 1]) < 0xD0 || uchar(jpeg[i + 1]) > 0xD7)))
            ++i;
    }
    return markers;
}

}  // namespace

class JpegBaselineTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void sameAsOneThread_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QImage::Format>("format");
        const QSize sizes[] = {{1, 1}, {17, 15}, {33, 16}, {1920, 31}, {1921, 33}, {640, 4097}};
        const std::pair<QImage::Format, const char*> formats[] = {
            {QImage::Format_BGR888, "BGR888"},
            {QImage::Format_RGB888, "RGB888"},
            {QImage::Format_RGB32, "RGB32"},
            {QImage::Format_ARGB32, "ARGB32"},
            {QImage::Format_ARGB32_Premultiplied, "ARGB32 premultiplied"}};
        for (const QSize size : sizes)
            for (const int quality : {1, 50, 85, 95, 96, 100})
                for (const auto& [format, name] : formats)
                    QTest::addRow("%dx%d q%d %s", size.width(), size.height(), quality, name)
                        << size << quality << format;
    }
    void sameAsOneThread() {
        QFETCH(QSize, size);
        QFETCH(int, quality);
        QFETCH(QImage::Format, format);
        const QImage picture = Picture(size.width(), size.height(), format);
        QCOMPARE(picture.format(), format);
        const std::optional<QByteArray> ours = CompressBaseline(picture, quality);
        QVERIFY(ours);
        QVERIFY(*ours == Reference(picture, quality));

        // One baseline frame, one scan, and the picture's size when decoded.
        const QList<int> markers = Markers(*ours);
        QCOMPARE(markers.first(), 0xD8);
        QCOMPARE(markers.last(), 0xD9);
        QCOMPARE(markers.count(0xC0), 1);
        QCOMPARE(markers.count(0xC1) + markers.count(0xC2), 0);
        QCOMPARE(markers.count(0xDA), 1);
        QCOMPARE(QImage::fromData(*ours, "jpeg").size(), size);
    }

    void progressiveSameAsLibjpeg_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QImage::Format>("format");
        QTest::newRow("1x1 q85 RGB32") << QSize(1, 1) << 85 << QImage::Format_RGB32;
        QTest::newRow("1921x33 q50 BGR888") << QSize(1921, 33) << 50 << QImage::Format_BGR888;
        QTest::newRow("640x4097 q85 RGB888") << QSize(640, 4097) << 85 << QImage::Format_RGB888;
        QTest::newRow("301x203 q95 ARGB32") << QSize(301, 203) << 95 << QImage::Format_ARGB32;
        QTest::newRow("301x203 q100 RGB32") << QSize(301, 203) << 100 << QImage::Format_RGB32;
    }
    void progressiveSameAsLibjpeg() {
        QFETCH(QSize, size);
        QFETCH(int, quality);
        QFETCH(QImage::Format, format);
        const QImage picture = Picture(size.width(), size.height(), format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(WritePictureFile(picture, path, PictureFormat::Jpeg, {quality, true}));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray ours = file.readAll();
        QVERIFY(ours == Reference(picture, quality, true));
        const QList<int> markers = Markers(ours);
        QCOMPARE(markers.count(0xC2), 1);
        QCOMPARE(markers.count(0xC0) + markers.count(0xC1), 0);
        QVERIFY(markers.count(0xDA) > 1);
        QCOMPARE(QImage::fromData(ours, "jpeg").size(), size);
    }

    // Formats libjpeg cannot read in place give nothing, and so do an empty picture and
    // one wider than a JPEG can be.
    void refused_data() {
        QTest::addColumn<QImage>("picture");
        QTest::newRow("null") << QImage();
        QTest::newRow("indexed")
            << Picture(40, 40, QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
        QTest::newRow("RGBA8888") << Picture(40, 40, QImage::Format_RGBA8888);
        QTest::newRow("RGB16") << Picture(40, 40, QImage::Format_RGB16);
        QImage wide(65501, 32, QImage::Format_RGB888);
        wide.fill(Qt::gray);
        QTest::newRow("65501 wide") << wide;
    }
    void refused() {
        QFETCH(QImage, picture);
        QVERIFY(!CompressBaseline(picture, 85));
    }
};

QTEST_MAIN(JpegBaselineTest)
#include "jpeg_baseline_test.moc"
