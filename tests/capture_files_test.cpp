// The capture's own files: the composite written ahead on a second core is the file
// only when the composite is the capture's picture itself; every other picture is
// written as it is, and no temporary file is ever left in the folder.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "capture/capture_shot.h"
#include "platform/bitmap_file.h"

namespace {

QImage Known(int w, int h, int seed) {
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y,
                             qRgb((x * 7 + seed) & 255, (y * 13 + seed) & 255, (x ^ y) & 255));
    return picture;
}

QByteArray BitmapBytes(const QImage& picture) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return WriteBitmap(picture, buffer) ? buffer.data() : QByteArray();
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class CaptureFilesTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Leftovers() const {
        return QDir(dir_.path()).entryList({QStringLiteral("*.bmp.*")}, QDir::Files);
    }

  private Q_SLOTS:
    void cleanup() {
        SetCaptureShot(QImage());
        for (const QString& name : QDir(dir_.path()).entryList(QDir::Files))
            QFile::remove(Path(name));
    }

    // What the composite file holds, whatever was written ahead.
    void compositeFile_data() {
        QTest::addColumn<QString>("case_");
        QTest::newRow("the capture's picture itself") << "same";
        QTest::newRow("a copy: same pixels, other memory") << "copy";
        QTest::newRow("other pixels") << "other";
        QTest::newRow("another size") << "size";
        QTest::newRow("ahead for another file") << "elsewhere";
        QTest::newRow("a new capture before the composite") << "forgotten";
    }
    void compositeFile() {
        QFETCH(QString, case_);
        const QImage shot = Known(301, 97, 1);
        const QString whopper = Path(QStringLiteral("whopper.bmp"));
        SetCaptureShot(shot, case_ == "elsewhere" ? Path(QStringLiteral("other.bmp")) : whopper);
        QImage composite = shot;
        if (case_ == "copy") composite = shot.copy();
        if (case_ == "other") composite.setPixel(300, 96, qRgb(1, 2, 3));
        if (case_ == "size") composite = shot.copy(0, 0, 301, 96);
        if (case_ == "forgotten") {
            SetCaptureShot(QImage());
            QVERIFY(Leftovers().isEmpty());
            QVERIFY(!QFile::exists(whopper));
        }
        QVERIFY(WriteCompositeFile(composite, whopper));
        QVERIFY(Bytes(whopper) == BitmapBytes(composite));
        QCOMPARE(*LoadPicture(whopper), composite);
        SetCaptureShot(QImage());
        QCOMPARE(Leftovers(), QStringList());
        QVERIFY(!QFile::exists(Path(QStringLiteral("other.bmp"))));
    }

    // A folder that takes no file: the composite is not written, and says so.
    void unwritableFolder() {
        const QImage shot = Known(40, 30, 2);
        const QString whopper = Path(QStringLiteral("missing/whopper.bmp"));
        SetCaptureShot(shot, whopper);
        QVERIFY(!WriteCompositeFile(shot, whopper));
        QVERIFY(!WriteCaptureFile(shot, whopper));
        QVERIFY(!QFile::exists(whopper));
    }

    // An earlier file is replaced whole, and stays when the new one cannot be written.
    void replacesWhole() {
        const QString row = Path(QStringLiteral("row1.bmp"));
        QVERIFY(WriteCaptureFile(Known(50, 20, 3), row));
        QVERIFY(WriteCaptureFile(Known(60, 10, 4), row));
        QCOMPARE(*LoadPicture(row), Known(60, 10, 4));
        QVERIFY(!WriteCaptureFile(QImage(), row));
        QCOMPARE(*LoadPicture(row), Known(60, 10, 4));
        QCOMPARE(Leftovers(), QStringList());
    }
};

QTEST_GUILESS_MAIN(CaptureFilesTest)
#include "capture_files_test.moc"
