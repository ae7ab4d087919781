// The capture's own files: a file written ahead on a second core becomes the file only
// when the very pixels it holds are written there; every other picture is written as
// it is, and no temporary file is left in the folder.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "engine/capture_files.h"
#include "files/release_later.h"
#include "files/replace_file.h"
#include "formats/bitmap_file.h"

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

    std::unique_ptr<CaptureFiles> files_ = std::make_unique<CaptureFiles>();

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Leftovers() const {
        return QDir(dir_.path()).entryList({QStringLiteral("*.bmp.*")}, QDir::Files);
    }

  private Q_SLOTS:
    void cleanup() {
        files_ = std::make_unique<CaptureFiles>();
        for (const QString& name : QDir(dir_.path()).entryList(QDir::Files))
            QFile::remove(Path(name));
    }

    // What each file holds, whatever was written ahead: the rows cut from the picture
    // and the composite, against pictures that are, or only look like, those parts.
    void filesAhead_data() {
        QTest::addColumn<QString>("case_");
        QTest::newRow("the capture's picture itself") << "same";
        QTest::newRow("copies: same pixels, other memory") << "copy";
        QTest::newRow("one pixel different") << "other";
        QTest::newRow("another size") << "size";
        QTest::newRow("ahead for other files") << "elsewhere";
        QTest::newRow("a new capture before the files") << "forgotten";
        QTest::newRow("files never written") << "unused";
        QTest::newRow("the capture ends before the files") << "dropped";
        QTest::newRow("a part narrower than the picture") << "narrow";
    }
    void filesAhead() {
        QFETCH(QString, case_);
        const QImage shot = Known(301, 97, 1);
        // 301 pixels make rows of 903 bytes and one of padding; the threads' halves of
        // 97 rows meet inside the second part.
        QRect rows[] = {{0, 0, 301, 40}, {0, 40, 301, 40}};
        if (case_ == "narrow") rows[0] = {3, 0, 290, 40};
        const auto path = [&](const char* name) {
            return Path((case_ == "elsewhere" ? QStringLiteral("x") : QString()) +
                        QLatin1String(name));
        };
        files_->SetShot(shot, {{path("row1.bmp"), rows[0]},
                               {path("row2.bmp"), rows[1]},
                               {path("whopper.bmp"), shot.rect()}});
        if (case_ == "unused" || case_ == "dropped") {
            if (case_ == "unused")
                files_->ForgetFilesAhead();
            else
                files_.reset();
            QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList());
            return;
        }
        if (case_ == "forgotten") {
            files_->SetShot(QImage());
            QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList());
        }
        QList<QPair<QString, QImage>> files;
        for (int row = 0; row < 2; ++row)
            files.append({Path(QStringLiteral("row%1.bmp").arg(row + 1)), shot.copy(rows[row])});
        files.append({Path(QStringLiteral("whopper.bmp")), shot});
        for (auto& [file, picture] : files) {
            if (case_ == "copy") picture = picture.copy();
            if (case_ == "other") picture.setPixel(picture.width() - 1, 3, qRgb(1, 2, 3));
            if (case_ == "size") picture = picture.copy(0, 0, picture.width(), 39);
            QVERIFY(files_->Write(picture, file));
            QVERIFY2(Bytes(files_->Readable(file)) == BitmapBytes(picture), qPrintable(file));
        }
        QVERIFY(files_->Commit());
        for (const auto& [file, picture] : files)
            QVERIFY2(Bytes(file) == BitmapBytes(picture), qPrintable(file));
        files_->ForgetFilesAhead();
        QCOMPARE(Leftovers(), QStringList());
        for (const char* name : {"xrow1.bmp", "xrow2.bmp", "xwhopper.bmp"})
            QVERIFY(!QFile::exists(Path(QLatin1String(name))));
    }

    // A folder that takes no file: the composite is not written, and says so.
    void unwritableFolder() {
        const QImage shot = Known(40, 30, 2);
        const QString whopper = Path(QStringLiteral("missing/whopper.bmp"));
        files_->SetShot(shot, {{whopper, shot.rect()}});
        QVERIFY(!files_->Write(shot, whopper));
        files_->ForgetFilesAhead();
        QVERIFY(!files_->Write(shot, whopper));
        QVERIFY(!QFile::exists(whopper));
    }

    // An earlier file is replaced whole, and stays when the new one cannot be written.
    void replacesWhole() {
        const QString row = Path(QStringLiteral("row1.bmp"));
        QVERIFY(files_->Write(Known(50, 20, 3), row));
        QVERIFY(files_->Commit());
        QVERIFY(files_->Write(Known(60, 10, 4), row));
        QVERIFY(files_->Commit());
        QCOMPARE(*LoadPicture(row), Known(60, 10, 4));
        QVERIFY(!files_->Write(QImage(), row));
        QCOMPARE(*LoadPicture(row), Known(60, 10, 4));
        QCOMPARE(Leftovers(), QStringList());
    }

    // Old files are freed on another thread: what is removed or replaced goes, and only
    // that; another name of the same file or a link's target keeps what it holds.
    void removedAndReplaced() {
        const QString whopper = Path(QStringLiteral("whopper.bmp"));
        const QString cropped = Path(QStringLiteral("cropped.bmp"));
        QVERIFY(files_->Write(Known(30, 20, 5), whopper));
        QVERIFY(files_->Commit());
        QVERIFY(ReplaceWithLink(whopper, cropped));
        QVERIFY(files_->Write(Known(30, 20, 6), whopper));
        QVERIFY(files_->Commit());
        QCOMPARE(*LoadPicture(cropped), Known(30, 20, 5));
        QCOMPARE(*LoadPicture(whopper), Known(30, 20, 6));
        QVERIFY(ReplaceWithLink(whopper, cropped));
        QCOMPARE(*LoadPicture(cropped), Known(30, 20, 6));

        const QString link = Path(QStringLiteral("1.bmp"));
        QVERIFY(QFile::link(whopper, link));
        QVERIFY(RemoveReleasingLater(link));
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
        QCOMPARE(*LoadPicture(whopper), Known(30, 20, 6));
        QVERIFY(RemoveReleasingLater(whopper));
        QVERIFY(!QFile::exists(whopper));
        QVERIFY(!RemoveReleasingLater(whopper));
        QCOMPARE(*LoadPicture(cropped), Known(30, 20, 6));
        QCOMPARE(Leftovers(), QStringList());
    }

    // The previous capture's files stay whole until the new set is complete: a capture
    // cut short (its files dropped before they were put in place) leaves them all, and
    // nothing of its own.
    void previousCaptureKeptUntilComplete_data() {
        QTest::addColumn<bool>("complete");
        QTest::newRow("cut short") << false;
        QTest::newRow("complete") << true;
    }
    void previousCaptureKeptUntilComplete() {
        QFETCH(bool, complete);
        const QStringList names{Path("1.bmp"), Path("2.bmp"), Path("whopper.bmp")};
        for (int i = 0; i < names.size(); ++i) QVERIFY(SavePicture(Known(20, 10, i), names[i]));
        const QImage shot = Known(20, 20, 9);
        files_->SetShot(shot, {{names[0], {0, 0, 20, 10}}, {names[2], shot.rect()}});
        QVERIFY(files_->Write(shot.copy(0, 0, 20, 10), names[0]));
        QVERIFY(files_->Write(shot.copy(0, 10, 20, 10), names[1]));
        QVERIFY(files_->Write(shot, names[2]));
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(*LoadPicture(names[i]), Known(20, 10, i));
            QCOMPARE(*LoadPicture(files_->Readable(names[i])),
                     i == 2 ? shot : shot.copy(0, 10 * i, 20, 10));
        }
        if (complete) QVERIFY(files_->Commit());
        files_.reset();
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(*LoadPicture(names[i]), !complete ? Known(20, 10, i)
                                             : i == 2  ? shot
                                                       : shot.copy(0, 10 * i, 20, 10));
        QCOMPARE(Leftovers(), QStringList());
    }

    // A part of the picture shares its pixels, so it must outlive the picture and never
    // change it; a part the picture does not hold is null.
    void shotParts_data() {
        QTest::addColumn<QRect>("part");
        QTest::addColumn<bool>("held");
        QTest::newRow("first band") << QRect(0, 0, 64, 20) << true;
        QTest::newRow("inner, not at the left") << QRect(5, 33, 40, 17) << true;
        QTest::newRow("last row") << QRect(0, 49, 64, 1) << true;
        QTest::newRow("past the bottom") << QRect(0, 40, 64, 20) << false;
        QTest::newRow("wider than the picture") << QRect(0, 0, 65, 10) << false;
        QTest::newRow("empty") << QRect(0, 0, 0, 10) << false;
    }
    void shotParts() {
        QFETCH(QRect, part);
        QFETCH(bool, held);
        const QString row = Path(QStringLiteral("1.bmp"));
        QImage taken;
        {
            const QImage shot = Known(64, 50, 7);
            files_->SetShot(shot, {{row, part}});
            taken = files_->ShotPart(part);
            QCOMPARE(taken.isNull(), !held);
            if (!held) return;
            QCOMPARE(taken, shot.copy(part));
            QVERIFY(files_->Write(taken, row));
            QVERIFY(files_->Commit());
            QCOMPARE(*LoadPicture(row), shot.copy(part));
            QPainter(&taken).fillRect(taken.rect(), Qt::black);
            QCOMPARE(files_->Shot(), Known(64, 50, 7));
            taken = files_->ShotPart(part);
            files_->SetShot(QImage());
        }
        QCOMPARE(taken, Known(64, 50, 7).copy(part));
        QCOMPARE(Leftovers(), QStringList());
    }
};

QTEST_GUILESS_MAIN(CaptureFilesTest)
#include "capture_files_test.moc"
