// The Save As command, the JPEG options panel and the crop editor's PNG save, on
// the program's own windows.
#include <QImageReader>
#include <QProcess>
#include <QTest>

#include "desktop/beep.h"
#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"
#include "desktop/jpg_options_panel.h"
#include "desktop/message_box.h"
#include "desktop/mouse_pointer.h"
#include "desktop/picture_button.h"
#include "desktop/program.h"
#include "desktop/save_as_command.h"
#include "formats/bitmap_file.h"
#include "support/export_test_support.h"
#include "support/test_main.h"

using namespace exporttest;

namespace {

struct Shown {
    QString text;
    int style;
    QString title;
    int pointer;
};

QImage Decode(const QString& path) {
    return QImageReader(path).read().convertToFormat(QImage::Format_RGB32);
}

const QImage kCropped = NColours(5, 53, 29);  // cropped.bmp
const QImage kOnScreen = Gradients(45, 31);   // the crop editor's picture box

}  // namespace

class ExportSaveAsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Program> program_;
    QTemporaryDir out_;
    std::optional<QString> answer_;  // what the dialog returns; nothing is a cancel
    std::optional<CommonDialog> seen_;
    std::vector<Shown> messages_;
    RecordingLibrary library_;

    JpgOptionsPanel& Panel() { return *program_->form1().PictureJPGOptions; }
    QString Out(const QString& name) const { return out_.filePath(name); }

    // Presses Save with the recording library and reports the calls after the
    // release of an earlier buffer.
    QStringList SaveWithRecording() {
        SetImagingLibrary(&library_);
        Panel().CommandSaveJPG->click();
        SetImagingLibrary(nullptr);
        QStringList calls = library_.calls;
        if (calls.value(0).startsWith("GlobalFree")) calls.removeFirst();
        return calls;
    }

  private Q_SLOTS:
    // A program as at start-up, its dialog answering with answer_.
    void StartProgram() {
        program_.reset();
        program_ = std::make_unique<Program>();
        program_->form0().CommonDialog1.SetBackend([this](DialogKind kind, const CommonDialog& d) {
            seen_ = d;
            return kind == DialogKind::Save ? answer_ : std::nullopt;
        });
    }

    // Save As through the button, answering the dialog with `name` in the output folder.
    void SaveAs(const QString& name) {
        answer_ = Out(name);
        QTest::mouseClick(program_->form1().CommandSaveAs, Qt::LeftButton);
    }

    void initTestCase() {
        StartProgram();
        SetMsgBoxHandler([this](const QString& text, int style, const QString& title) {
            messages_.push_back({text, style, title, ScreenMousePointer()});
            return kMsgBoxResultOk;
        });
    }
    void init() {
        messages_.clear();
        library_ = RecordingLibrary();
        Panel().hide();
        // cropped.bmp and the result box differ on purpose: the file is what is saved.
        QVERIFY(SavePicture(kCropped, AppFile("cropped.bmp")));
        PictureBox* box = program_->form99().PictureCropped;
        box->SetRect(0, 0, PixelsToTwips(kOnScreen.width()), PixelsToTwips(kOnScreen.height()));
        box->PaintPicture(kOnScreen, 0, 0);
    }
    void cleanupTestCase() {
        SetMsgBoxHandler({});
        program_.reset();
    }

    void dialogProposesNewImageAsBitmap() {
        program_->vars.SavePath = "/kept/before.bmp";
        answer_.reset();
        const int beeps = BeepCount();
        CommandSaveAs_Click(*program_);
        QVERIFY(seen_);
        QCOMPARE(seen_->Filter,
                 "Windows Bitmap file (*.bmp)|*.bmp|Joint Photographic Experts Group file "
                 "(*.jpg)|*.jpg|Graphic Interchange Format file - 256 cols. (*.gif)|*.gif|"
                 "Portable Network Graphic file (*.png)|*.png");
        QCOMPARE(seen_->Flags, 2);
        QCOMPARE(seen_->FileName, AppFile("newimage"));
        QVERIFY(seen_->CancelError);
        QCOMPARE(seen_->DefaultExt, ".bmp");
        // Cancelled: no sound, the last name stays, nothing opens.
        QCOMPARE(BeepCount(), beeps);
        QCOMPARE(program_->vars.SavePath, "/kept/before.bmp");
        QVERIFY(Panel().isHidden());
    }

    void endingPicksTheWriter_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("written");  // the file holds cropped.bmp's picture
        QTest::addColumn<int>("beeps");
        QTest::addColumn<bool>("panel");    // the JPEG options panel opened
        QTest::addColumn<bool>("refused");  // the unknown-ending message
        QTest::newRow("BMP") << "OUT.BMP" << true << 1 << false << false;
        QTest::newRow("gif") << "out.gif" << true << 1 << false << false;
        QTest::newRow("png, from cropped.bmp") << "out.png" << true << 1 << false << false;
        QTest::newRow("jpg opens the panel") << "out.jpg" << false << 2 << true << false;
        QTest::newRow("jpeg opens the panel") << "out.jpeg" << false << 2 << true << false;
        QTest::newRow("JPE opens the panel") << "out.JPE" << false << 2 << true << false;
        QTest::newRow("tif") << "out.tif" << false << 0 << false << true;
        QTest::newRow("pdf is the command's, not Save As's")
            << "out.pdf" << false << 0 << false << true;
        QTest::newRow("no ending") << "newimage" << false << 0 << false << true;
        QTest::newRow("dot in folder") << "my.png/picture" << false << 0 << false << true;
    }
    void endingPicksTheWriter() {
        QFETCH(QString, name);
        QFETCH(bool, written);
        QFETCH(int, beeps);
        QFETCH(bool, panel);
        QFETCH(bool, refused);
        QDir(out_.path()).mkdir("my.png");
        answer_ = Out(name);
        const int before = BeepCount();
        CommandSaveAs_Click(*program_);
        QCOMPARE(program_->vars.SavePath, Out(name));
        QCOMPARE(BeepCount() - before, beeps);
        QCOMPARE(!Panel().isHidden(), panel);
        QCOMPARE(QFileInfo(Out(name)).isFile(), written);
        if (name.endsWith(".BMP"))
            QCOMPARE(FileBytes(Out(name)), FileBytes(AppFile("cropped.bmp")));
        if (written) QVERIFY(SamePixels(Decode(Out(name)), kCropped));
        QCOMPARE(messages_.size(), size_t(refused ? 1 : 0));
        if (!refused) return;
        QCOMPARE(messages_[0].text, QDir::toNativeSeparators(Out(name)) +
                                        " was not saved: Glimpa saves pictures as .bmp, .jpg, "
                                        ".gif or .png. Choose a name that ends in one of these.");
        QCOMPARE(messages_[0].title, "Save As");
        QCOMPARE(messages_[0].style, kMsgBoxExclamation);
    }

    // Every ending writes the same picture: at start-up the cropped.bmp of the last
    // run, not the editor's blank result box.
    void everyEndingWritesTheOnePicture_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"start.bmp", "start.gif", "start.png", "start.jpg"})
            QTest::newRow(name) << name;
    }
    void everyEndingWritesTheOnePicture() {
        QFETCH(QString, name);
        StartProgram();
        const QImage lastRun = PageOfText();
        QVERIFY(SavePicture(lastRun, AppFile("cropped.bmp")));
        SaveAs(name);
        if (name.endsWith(".jpg")) {
            QVERIFY(!Panel().isHidden());
            Panel().CommandSaveJPG->click();
        }
        QVERIFY(messages_.empty());
        // The lossless endings exactly; GIF and JPEG as close as their own writers get.
        const QImage saved = Decode(Out(name));
        const double psnr = Psnr(saved, lastRun);
        const double least = name.endsWith(".jpg") ? 25 : name.endsWith(".gif") ? 30 : 99;
        QVERIFY2(psnr >= least, qPrintable(QString::number(psnr)));
    }

    // No picture at all: said before any name is asked for, nothing written.
    void nothingToSaveYet() {
        QVERIFY(QFile::remove(AppFile("cropped.bmp")));
        seen_.reset();
        const int before = BeepCount();
        SaveAs("nothing.png");
        QVERIFY(!seen_);
        QCOMPARE(BeepCount(), before);
        QVERIFY(!QFile::exists(Out("nothing.png")));
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(QVariantList({messages_[0].text, messages_[0].style, messages_[0].title}),
                 QVariantList({"There is nothing to save yet: capture a page first.",
                               kMsgBoxInformation, "Save As"}));
    }

    // A cropped.bmp that is not a whole bitmap, or no file at all: no picture is made
    // of it, and the message names the file that was not written and why.
    void unreadablePictureIsSaid_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        // The reason is the bitmap reader's: %1 and %2 are the cut and whole lengths.
        QTest::newRow("cut short") << "cut"
                                   << "truncated: %1 of %2 bytes";
        QTest::newRow("a fifo") << "fifo"
                                << "not a regular file";
    }
    void unreadablePictureIsSaid() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QString cropped = AppFile("cropped.bmp");
        if (kind == "cut") {
            const qint64 whole = QFileInfo(cropped).size();
            QVERIFY(QFile::resize(cropped, whole / 2));
            why = why.arg(whole / 2).arg(whole);
        }
        if (kind == "fifo") {
            QVERIFY(QFile::remove(cropped));
            QCOMPARE(QProcess::execute("mkfifo", {cropped}), 0);
        }
        for (const QString name : {"bad.bmp", "bad.gif", "bad.png"}) {
            messages_.clear();
            const int before = BeepCount();
            SaveAs(name);
            QCOMPARE(BeepCount(), before);
            QVERIFY(!QFile::exists(Out(name)));
            QCOMPARE(messages_.size(), size_t{1});
            QCOMPARE(messages_[0].text,
                     QDir::toNativeSeparators(Out(name)) + " was not saved: the picture to save, " +
                         QDir::toNativeSeparators(cropped) + ", cannot be read (" + why + ").");
            QCOMPARE(messages_[0].style, kMsgBoxCritical);
        }
        QFile::remove(cropped);
    }

    // Every save that does not produce its file says which and why, beeps not, and
    // leaves an old file as it was.
    void failedSaveIsSaid_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        for (const QString ending : {"bmp", "gif", "png"}) {
            QTest::addRow("%s, missing folder", qPrintable(ending))
                << "gone/out." + ending << ""
                << "the folder " + QDir::toNativeSeparators(Out("gone")) + " does not exist";
            QTest::addRow("%s, folder in the way", qPrintable(ending))
                << "way." + ending << "dir"
                << "a folder of that name is in the way";
            QTest::addRow("%s, read-only folder", qPrintable(ending))
                << "ro-" + ending + "/new." + ending << "lock folder"
                << "the folder " + QDir::toNativeSeparators(Out("ro-" + ending)) +
                       " does not allow new files";
            QTest::addRow("%s, read-only file", qPrintable(ending))
                << "rf-" + ending + "/old." + ending << "lock folder and file"
                << "the file is write-protected";
            QTest::addRow("%s, full disk", qPrintable(ending))
                << "full-" + ending + "/old." + ending << "full disk, old file"
                << "the disk is full";
        }
    }
    void failedSaveIsSaid() {
        QFETCH(QString, name);
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        const QString path = Out(name), folder = QFileInfo(path).absolutePath();
        std::optional<LockedFolder> folderLock;
        std::optional<ImmutableFile> fileLock;
        if (setup == "dir") QVERIFY(QDir().mkpath(path));
        if (setup.startsWith("lock folder")) {
            QVERIFY(QDir().mkpath(folder));
            if (setup.endsWith("file")) {
                QVERIFY(WriteBytes(path, "old picture"));
                fileLock.emplace(path);
                if (!fileLock->Usable()) QSKIP("no way to lock a file here");
            }
            folderLock.emplace(folder);
            if (!folderLock->Usable()) QSKIP("no way to lock a folder here");
        }
        std::optional<FullDisk> full;
        if (setup.startsWith("full disk")) {
            QVERIFY(QDir().mkpath(folder));
            full.emplace(folder);
            if (!full->Usable()) QSKIP("no way to mount a small file system here");
            QVERIFY(WriteBytes(path, "old picture"));
            full->Fill();
        }
        // A picture larger than what a full disk has left.
        QVERIFY(SavePicture(Gradients(300, 200), AppFile("cropped.bmp")));
        const int before = BeepCount();
        SaveAs(name);
        QCOMPARE(BeepCount(), before);
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(QVariantList({messages_[0].text, messages_[0].style, messages_[0].title}),
                 QVariantList({QDir::toNativeSeparators(path) + " was not saved: " + reason + ".",
                               kMsgBoxCritical, "Save As"}));
        if (setup.endsWith("file")) {
            QCOMPARE(FileBytes(path), QByteArray("old picture"));
            QCOMPARE(QDir(folder).entryList(QDir::Files).filter("old."),
                     QStringList{QFileInfo(path).fileName()});
        } else
            QVERIFY(!QFileInfo(path).isFile());
    }

    // A folder that takes no new file still gets the save over its existing file.
    void refusingFolderStillTakesTheSave_data() {
        QTest::addColumn<QString>("ending");
        for (const char* ending : {"bmp", "gif", "png", "jpg"}) QTest::newRow(ending) << ending;
    }
    void refusingFolderStillTakesTheSave() {
        QFETCH(QString, ending);
        const QString folder = Out("refusing-" + ending), path = folder + "/kept." + ending;
        QVERIFY(QDir().mkpath(folder) && WriteBytes(path, "old picture"));
        LockedFolder lock(folder);
        if (!lock.Usable()) QSKIP("no way to lock a folder here");
        const int before = BeepCount();
        SaveAs("refusing-" + ending + "/kept." + ending);
        if (ending == "jpg") Panel().CommandSaveJPG->click();
        QVERIFY(messages_.empty());
        QCOMPARE(BeepCount() - before, ending == "jpg" ? 3 : 1);
        if (ending == "jpg")
            QVERIFY(Psnr(Decode(path), kCropped) > 20);
        else
            QVERIFY(SamePixels(Decode(path), kCropped));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"kept." + ending});
    }

    void panelAtRest() {
        JpgOptionsPanel& panel = Panel();
        QCOMPARE(panel.geometry(), QRect(32, 18, 417, 65));
        // The label and the quality the first save uses agree.
        QCOMPARE(QStringList({panel.labJPGQuality->text(), panel.txtQuality->text()}),
                 QStringList({"50", "50"}));
        QVERIFY(panel.txtQuality->isHidden());
        QCOMPARE(QList<int>({panel.sliJPGQuality->minimum(), panel.sliJPGQuality->maximum(),
                             panel.sliJPGQuality->value()}),
                 QList<int>({0, 100, 50}));
        QVERIFY(!panel.chkProgressive->isChecked());
        QCOMPARE(panel.CommandSaveJPG->geometry(), QRect(360, 24, 41, 17));
        QCOMPARE(panel.grab().toImage().pixelColor(3, 60), QColor(11, 180, 255));
        QCOMPARE(panel.sliJPGQuality->cursor().hotSpot(), QPoint(12, 1));
    }

    void sliderSetsTheQuality_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("100 progressive") << 100 << true;
    }
    void sliderSetsTheQuality() {
        QFETCH(int, value);
        QFETCH(bool, progressive);
        Panel().sliJPGQuality->setValue(value);
        Panel().chkProgressive->setChecked(progressive);
        QCOMPARE(Panel().labJPGQuality->text(), QString::number(value));
        program_->vars.SavePath = Out("q.jpg");
        const QString expected = QStringLiteral(" q%1 p%2 24 0").arg(value).arg(int(progressive));
        QVERIFY(SaveWithRecording().filter("WriteJPG").value(0).endsWith(expected));
        Panel().sliJPGQuality->setValue(50);
        Panel().chkProgressive->setChecked(false);
    }

    void saveButton_data() {
        QTest::addColumn<QList<int>>("answers");  // source, dest, write
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title");
        QTest::newRow("written") << QList<int>{1, 1, 900} << "" << 0 << "";
        QTest::newRow("cannot create") << QList<int>{1, 0, 900} << "Unable to create the file."
                                       << 16 << "ISOpenFileDest Failed";
        QTest::newRow("write fails")
            << QList<int>{1, 1, 0} << "There was an error saving this file." << 64
            << "ISWriteJPG Failed";
        QTest::newRow("no cropped picture")
            << QList<int>{0, 1, 900}
            << QDir::toNativeSeparators(Out("button.jpg")) +
                   " was not saved: the picture to save, " +
                   QDir::toNativeSeparators(AppFile("cropped.bmp")) +
                   ", cannot be read (it cannot be opened)."
            << 16 << "Save As";
    }
    void saveButton() {
        QFETCH(QList<int>, answers);
        QFETCH(QString, text);
        QFETCH(int, style);
        QFETCH(QString, title);
        library_.sourceOk = answers[0], library_.destOk = answers[1];
        library_.writeResult = answers[2];
        program_->vars.SavePath = Out("button.jpg");
        ShowJpgOptions(*program_);
        const int before = BeepCount();
        const QStringList calls = SaveWithRecording();
        QVERIFY(Panel().isHidden());
        QCOMPARE(ScreenMousePointer(), kPointerDefault);
        QCOMPARE(BeepCount() - before, answers[0]);  // no beep without a source
        QCOMPARE(calls.value(0), "OpenFileSource " + AppFile("cropped.bmp"));
        QCOMPARE(calls.contains("OpenFileDest " + Out("button.jpg")), bool(answers[0]));
        QCOMPARE(messages_.size(), size_t(text.isEmpty() ? 0 : 1));
        if (text.isEmpty()) return;
        // The message shows while the pointer is still the hourglass.
        QCOMPARE(QVariantList({messages_[0].text, messages_[0].style, messages_[0].title,
                               messages_[0].pointer}),
                 QVariantList({text, style, title, kPointerHourglass}));
    }

    void secondSaveReleasesTheFirstBuffer() {
        program_->vars.SavePath = Out("twice.jpg");
        SaveWithRecording();
        const ISHandle first = Panel().Buffer().JpgImage;
        library_.calls.clear();
        library_.sourceOk = false;  // the second save ends after the open
        SaveWithRecording();
        QCOMPARE(library_.calls, QStringList({QStringLiteral("GlobalFree %1").arg(first),
                                              "OpenFileSource " + AppFile("cropped.bmp")}));
        QCOMPARE(Panel().Buffer().JpgImage, ISHandle{0});
    }

    void cancelWritesNothing() {
        Panel().sliJPGQuality->setValue(64);
        ShowJpgOptions(*program_);
        const int before = BeepCount();
        SetImagingLibrary(&library_);
        Panel().CommandCancelJPGSave->click();
        SetImagingLibrary(nullptr);
        QVERIFY(Panel().isHidden());
        QCOMPARE(BeepCount(), before);
        QVERIFY(library_.calls.isEmpty());
        QCOMPARE(Panel().txtQuality->text(), "64");
        Panel().sliJPGQuality->setValue(50);
    }

    // With the real library: the message, the beep, and the old file left alone. (A
    // folder that takes no new file still lets its file be rewritten: the file itself
    // is locked too.)
    void unwritableDestinationTellsTheUser() {
        const QString locked = Out("locked");
        QVERIFY(QDir().mkpath(locked) && WriteBytes(locked + "/old.jpg", "old jpeg"));
        ImmutableFile oldLock(locked + "/old.jpg");
        LockedFolder lock(locked);
        for (const QString& target : {Out("no-such-folder/x.jpg"), locked + "/old.jpg"}) {
            if (target.startsWith(locked) && (!lock.Usable() || !oldLock.Usable())) continue;
            messages_.clear();
            program_->vars.SavePath = target;
            const int before = BeepCount();
            Panel().CommandSaveJPG->click();
            QCOMPARE(messages_.size(), size_t{1});
            QCOMPARE(messages_[0].text, "Unable to create the file.");
            QCOMPARE(messages_[0].title, "ISOpenFileDest Failed");
            QCOMPARE(messages_[0].style, kMsgBoxCritical);
            QCOMPARE(BeepCount() - before, 1);
        }
        QCOMPARE(FileBytes(locked + "/old.jpg"), QByteArray("old jpeg"));
    }

    void pngSaveNeedsItsWriter() {
        Form99& editor = program_->form99();
        program_->vars.SavePath = Out("editor.PNG");
        editor.Do_PNG_Save();
        QVERIFY(SamePixels(Decode(Out("editor.PNG")), kOnScreen));
        editor.Form_Unload();
        program_->vars.SavePath = Out("after-unload.png");
        editor.Do_PNG_Save();
        QVERIFY(!QFile::exists(Out("after-unload.png")));
        editor.Form_Load();
    }
};

GLIMPA_TEST_MAIN(ExportSaveAsTest, 1024, 768)
#include "export_save_as_test.moc"
