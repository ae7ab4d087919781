// The Save As command, the JPEG options panel and the crop editor's PNG save, on
// the program's own windows.
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "app/form0.h"
#include "app/form1.h"
#include "app/picture_button.h"
#include "app/program.h"
#include "crop/form99.h"
#include "export/cgdiplus.h"
#include "export/jpg_options_panel.h"
#include "export/save_as_command.h"
#include "export_fakes.h"
#include "export_pictures.h"
#include "platform/beep.h"
#include "platform/bitmap_file.h"
#include "platform/message_box.h"
#include "platform/mouse_pointer.h"
#include "platform/program_folder.h"
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
    return QImageReader(path).read();
}

const QImage& Cropped() {
    static const QImage picture = FewColours(53, 29);
    return picture;
}

const QImage& OnScreen() {
    static const QImage picture = RichColours(45, 31);
    return picture;
}

}  // namespace

class ExportSaveAsTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<Program> program_;
    QTemporaryDir out_;
    std::optional<QString> answer_;  // what the dialog returns; nothing is a cancel
    std::optional<CommonDialog> seen_;
    int dialogs_ = 0;
    std::vector<Shown> messages_;
    RecordingLibrary library_;

    JpgOptionsPanel& Panel() { return *program_->form1().PictureJPGOptions; }
    QString Out(const QString& name) const { return out_.filePath(name); }

  private Q_SLOTS:
    void initTestCase() {
        program_ = std::make_unique<Program>();
        program_->form0().CommonDialog1.SetBackend(
            [this](DialogKind kind, const CommonDialog& dialog) -> std::optional<QString> {
                ++dialogs_;
                seen_ = dialog;
                if (kind != DialogKind::Save) return std::nullopt;
                return answer_;
            });
        SetMsgBoxHandler([this](const QString& text, int style, const QString& title) {
            messages_.push_back(Shown{text, style, title, ScreenMousePointer()});
            return kMsgBoxResultOk;
        });
        QVERIFY(SavePicture(Cropped(), AppFile("cropped.bmp")));
        Form99& editor = program_->form99();
        editor.PictureCropped->SetRect(0, 0, PixelsToTwips(OnScreen().width()),
                                       PixelsToTwips(OnScreen().height()));
        editor.PictureCropped->PaintPicture(OnScreen(), 0, 0);
    }

    void init() {
        messages_.clear();
        library_.calls.clear();
        library_ = RecordingLibrary();
        SetImagingLibrary(nullptr);
        Panel().hide();
        dialogs_ = 0;
    }

    void cleanupTestCase() {
        SetImagingLibrary(nullptr);
        SetMsgBoxHandler({});
        program_.reset();
    }

    void dialogProposesNewImageAsBitmap() {
        program_->vars.SavePath = "/kept/before.bmp";
        program_->form0().CommonDialog1.Filter = "left by the open dialog|*.htm";
        answer_.reset();
        const int beeps = BeepCount();
        CommandSaveAs_Click(*program_);
        QCOMPARE(dialogs_, 1);
        QVERIFY(seen_);
        QCOMPARE(seen_->Filter,
                 QStringLiteral("Windows Bitmap file (*.bmp)|*.bmp|Joint Photographic Experts "
                                "Group file (*.jpg)|*.jpg|Graphic Interchange Format file - 256 "
                                "cols. (*.gif)|*.gif|Portable Network Graphic file (*.png)|*.png"));
        QCOMPARE(seen_->Flags, 2);
        QCOMPARE(seen_->FileName, AppFile("newimage"));
        QVERIFY(seen_->CancelError);
        QCOMPARE(seen_->DefaultExt, QStringLiteral(".bmp"));
        // Cancelled: no sound, the last name stays, nothing opens.
        QCOMPARE(BeepCount(), beeps);
        QCOMPARE(program_->vars.SavePath, QStringLiteral("/kept/before.bmp"));
        QVERIFY(Panel().isHidden());
    }

    void endingPicksTheWriter_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");  // the format read back, or none
        QTest::addColumn<int>("beeps");
        QTest::addColumn<bool>("panel");
        QTest::newRow("bmp") << "out.bmp"
                             << "bmp" << 1 << false;
        QTest::newRow("BMP in capitals") << "OUT2.BMP"
                                         << "bmp" << 1 << false;
        QTest::newRow("gif") << "out.gif"
                             << "gif" << 1 << false;
        QTest::newRow("png") << "out.png"
                             << "png" << 1 << false;
        QTest::newRow("jpg opens the panel") << "out.jpg"
                                             << "" << 2 << true;
        QTest::newRow("jpeg") << "out.jpeg"
                              << "" << 1 << false;
        QTest::newRow("tif") << "out.tif"
                             << "" << 1 << false;
        QTest::newRow("no extension") << "newimage"
                                      << "" << 1 << false;
        QTest::newRow("dot in folder") << "my.png/picture"
                                       << "" << 1 << false;
    }
    void endingPicksTheWriter() {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QFETCH(int, beeps);
        QFETCH(bool, panel);
        QDir(out_.path()).mkdir("my.png");
        const QString path = Out(name);
        answer_ = path;
        const int before = BeepCount();
        CommandSaveAs_Click(*program_);
        QCOMPARE(program_->vars.SavePath, path);
        QCOMPARE(BeepCount() - before, beeps);
        QCOMPARE(!Panel().isHidden(), panel);
        QCOMPARE(messages_.size(), size_t{0});
        QCOMPARE(QFileInfo(path).isFile(), !written.isEmpty());
        if (written.isEmpty()) return;
        const QImage decoded = Decode(path);
        if (written == u"bmp") QCOMPARE(FileBytes(path), FileBytes(AppFile("cropped.bmp")));
        // PNG is written from the picture on screen, the others from cropped.bmp.
        QVERIFY(SamePixels(decoded, written == u"png" ? OnScreen() : Cropped()));
    }

    void panelAtRest() {
        JpgOptionsPanel& panel = Panel();
        QCOMPARE(panel.geometry(), QRect(32, 18, 417, 65));
        QCOMPARE(panel.labJPGQuality->text(), QStringLiteral("50"));
        QCOMPARE(panel.txtQuality->text(), QStringLiteral("50"));
        QVERIFY(panel.txtQuality->isHidden());
        QCOMPARE(panel.txtQuality->toolTip(),
                 QStringLiteral("The quality should be between 1 and 100."));
        QCOMPARE(panel.sliJPGQuality->minimum(), 0);
        QCOMPARE(panel.sliJPGQuality->maximum(), 100);
        QCOMPARE(panel.sliJPGQuality->value(), 50);
        QCOMPARE(panel.chkProgressive->text(), QStringLiteral("Progressive"));
        QVERIFY(!panel.chkProgressive->isChecked());
        QCOMPARE(panel.CommandCancelJPGSave->geometry(), QRect(312, 24, 41, 17));
        QCOMPARE(panel.CommandSaveJPG->geometry(), QRect(360, 24, 41, 17));
        QCOMPARE(panel.grab().toImage().pixelColor(3, 60), QColor(11, 180, 255));
        QCOMPARE(panel.CommandSaveJPG->cursor().hotSpot(), QPoint(12, 1));
        QCOMPARE(panel.sliJPGQuality->cursor().hotSpot(), QPoint(12, 1));
    }

    void sliderSetsTheQuality_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("100 progressive") << 100 << true;
        QTest::newRow("73") << 73 << false;
    }
    void sliderSetsTheQuality() {
        QFETCH(int, value);
        QFETCH(bool, progressive);
        SetImagingLibrary(&library_);
        JpgOptionsPanel& panel = Panel();
        panel.sliJPGQuality->setValue(value);
        panel.chkProgressive->setChecked(progressive);
        QCOMPARE(panel.labJPGQuality->text(), QString::number(value));
        QCOMPARE(panel.txtQuality->text(), QString::number(value));
        program_->vars.SavePath = Out("q.jpg");
        panel.CommandSaveJPG->click();
        QCOMPARE(library_.calls.filter("WriteJPG").size(), 1);
        QVERIFY(library_.calls.filter("WriteJPG")[0].contains(
            QStringLiteral(" q%1 p%2 24 0").arg(value).arg(progressive ? 1 : 0)));
        panel.sliJPGQuality->setValue(50);
        panel.chkProgressive->setChecked(false);
    }

    void saveButton_data() {
        QTest::addColumn<bool>("sourceOk");
        QTest::addColumn<bool>("destOk");
        QTest::addColumn<int>("writeResult");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("beeps");
        QTest::newRow("written") << true << true << 900 << "" << 0 << "" << 1;
        QTest::newRow("cannot create") << true << false << 900 << "Unable to create the file." << 16
                                       << "ISOpenFileDest Failed" << 1;
        QTest::newRow("write fails") << true << true << 0 << "There was an error saving this file."
                                     << 64 << "ISWriteJPG Failed" << 1;
        QTest::newRow("no cropped picture") << false << true << 900 << "" << 0 << "" << 0;
    }
    void saveButton() {
        QFETCH(bool, sourceOk);
        QFETCH(bool, destOk);
        QFETCH(int, writeResult);
        QFETCH(QString, text);
        QFETCH(int, style);
        QFETCH(QString, title);
        QFETCH(int, beeps);
        library_.sourceOk = sourceOk;
        library_.destOk = destOk;
        library_.writeResult = writeResult;
        SetImagingLibrary(&library_);
        program_->vars.SavePath = Out("button.jpg");
        ShowJpgOptions(*program_);
        const int before = BeepCount();
        Panel().CommandSaveJPG->click();
        QVERIFY(Panel().isHidden());
        QCOMPARE(ScreenMousePointer(), kPointerDefault);
        QCOMPARE(BeepCount() - before, beeps);
        // An earlier save's buffer goes first; then the cropped picture is opened.
        if (library_.calls.value(0).startsWith("GlobalFree")) library_.calls.removeFirst();
        QCOMPARE(library_.calls.value(0), "OpenFileSource " + AppFile("cropped.bmp"));
        if (destOk && sourceOk)
            QVERIFY(library_.calls.contains("OpenFileDest " + Out("button.jpg")));
        QCOMPARE(messages_.size(), size_t(text.isEmpty() ? 0 : 1));
        if (text.isEmpty()) return;
        QCOMPARE(messages_[0].text, text);
        QCOMPARE(messages_[0].style, style);
        QCOMPARE(messages_[0].title, title);
        // The message shows while the pointer is still the hourglass.
        QCOMPARE(messages_[0].pointer, kPointerHourglass);
    }

    void secondSaveReleasesTheFirstBuffer() {
        SetImagingLibrary(&library_);
        program_->vars.SavePath = Out("twice.jpg");
        Panel().CommandSaveJPG->click();
        const ISHandle first = Panel().Buffer().JpgImage;
        QVERIFY(first != 0);
        library_.calls.clear();
        Panel().CommandSaveJPG->click();
        QCOMPARE(library_.calls.value(0), QStringLiteral("GlobalFree %1").arg(first));
        QCOMPARE(library_.calls.filter("GlobalFree").size(), 1);
        // Leave nothing of the recording library's behind for the real one.
        library_.calls.clear();
        library_.sourceOk = false;
        Panel().CommandSaveJPG->click();
        QCOMPARE(Panel().Buffer().JpgImage, ISHandle{0});
    }

    void cancelWritesNothing() {
        SetImagingLibrary(&library_);
        Panel().sliJPGQuality->setValue(64);
        ShowJpgOptions(*program_);
        const int before = BeepCount();
        Panel().CommandCancelJPGSave->click();
        QVERIFY(Panel().isHidden());
        QCOMPARE(BeepCount(), before);
        QVERIFY(library_.calls.isEmpty());
        QCOMPARE(Panel().txtQuality->text(), QStringLiteral("64"));
        Panel().sliJPGQuality->setValue(50);
    }

    void realJpegFromThePanel() {
        program_->vars.SavePath = Out("real.jpg");
        Panel().chkProgressive->setChecked(true);
        Panel().CommandSaveJPG->click();
        Panel().chkProgressive->setChecked(false);
        QCOMPARE(messages_.size(), size_t{0});
        QCOMPARE(StartOfFrame(FileBytes(Out("real.jpg"))), 0xC2);
        QCOMPARE(Decode(Out("real.jpg")).size(), Cropped().size());
    }

    void unwritableDestinationTellsTheUser() {
        const QString locked = Out("locked");
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(WriteBytes(locked + "/old.jpg", "old jpeg"));
        const QStringList targets{Out("no-such-folder/x.jpg"), locked + "/old.jpg"};
        LockedFolder lock(locked);
        for (const QString& target : targets) {
            if (target.startsWith(locked) && !lock.Usable()) continue;
            messages_.clear();
            program_->vars.SavePath = target;
            const int before = BeepCount();
            Panel().CommandSaveJPG->click();
            QCOMPARE(messages_.size(), size_t{1});
            QCOMPARE(messages_[0].text, QStringLiteral("Unable to create the file."));
            QCOMPARE(messages_[0].title, QStringLiteral("ISOpenFileDest Failed"));
            QCOMPARE(messages_[0].style, kMsgBoxCritical);
            QCOMPARE(BeepCount() - before, 1);
        }
        QCOMPARE(FileBytes(locked + "/old.jpg"), QByteArray("old jpeg"));
    }

    void pngSaveNeedsItsWriter() {
        Form99& editor = program_->form99();
        QVERIFY(editor.PngWriter);
        program_->vars.SavePath = Out("editor.PNG");
        editor.Do_PNG_Save();
        QVERIFY(SamePixels(Decode(Out("editor.PNG")), OnScreen()));
        QVERIFY(SamePixels(editor.PictureCropped->Picture(), OnScreen()));
        editor.Form_Unload();
        program_->vars.SavePath = Out("after-unload.png");
        editor.Do_PNG_Save();
        QVERIFY(!QFile::exists(Out("after-unload.png")));
        editor.Form_Load();
    }
};

GLIMPA_TEST_MAIN(ExportSaveAsTest, 1024, 768)
#include "export_save_as_test.moc"
