#include "formats/band_writer.h"

#include <QFileDevice>
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "files/replace_file.h"
#include "files/write_in_pieces.h"
#include "formats/band_encoder.h"
#include "formats/bitmap_file.h"
#include "formats/jpeg_baseline.h"

namespace {

// BMP as WriteBitmap writes it: each band's rows land bottom-up at their place in the
// file, whose size is known from the start; the header, which takes the first band's
// resolution, last.
class BitmapBands final : public BandEncoder {
  public:
    bool Start(QIODevice& out, QSize size) override {
        out_ = &out;
        size_ = size;
        rowBytes_ = BitmapRowBytes(size.width());
        if (rowBytes_ > 0xffffffffLL / size.height() - 54) {
            why = QStringLiteral("the picture is too large");
            return false;
        }
        return true;
    }

    bool Encode(const QImage& rows) override {
        if (next_ == 0) {
            dotsX_ = rows.dotsPerMeterX();
            dotsY_ = rows.dotsPerMeterY();
        }
        buffer_.resize(static_cast<size_t>(rows.height() * rowBytes_));
        PackBitmapRows(rows, 0, rows.height(), buffer_.data());
        next_ += rows.height();
        const qint64 bytes = static_cast<qint64>(buffer_.size());
        return out_->seek(54 + (size_.height() - next_) * rowBytes_) &&
               WriteInPieces(*out_, reinterpret_cast<const char*>(buffer_.data()), bytes);
    }

    bool End() override {
        unsigned char header[54];
        PutBitmapHeaders(header, size_, dotsX_, dotsY_, static_cast<quint32>(rowBytes_));
        return out_->seek(0) && out_->write(reinterpret_cast<const char*>(header), 54) == 54;
    }

  private:
    QIODevice* out_ = nullptr;
    QSize size_;
    qint64 rowBytes_ = 0;
    int next_ = 0;  // rows written
    int dotsX_ = 0, dotsY_ = 0;
    std::vector<unsigned char> buffer_;
};

class JpegBandEncoder final : public BandEncoder {
  public:
    explicit JpegBandEncoder(JpegChoice choice) : choice_(choice) {}

    bool Start(QIODevice& out, QSize size) override {
        out_ = &out;
        // The encoder's bound is the same both ways.
        const qint64 most = MostPictureRows(PictureFormat::Jpeg, size.width());
        if (size.height() > most || size.width() > most) {
            why = QStringLiteral("too large for JPEG");
            return false;
        }
        jpeg_ = std::make_unique<JpegBands>(size.width(), size.height(), choice_.quality,
                                            choice_.progressive);
        return true;
    }

    bool Encode(const QImage& rows) override {
        if (jpeg_->Add(rows)) return true;
        why = QStringLiteral("the JPEG encoder failed");
        return false;
    }

    bool End() override {
        if (jpeg_->Write(*out_)) return true;
        const auto* file = qobject_cast<QFileDevice*>(out_);
        if (!file || file->error() == QFileDevice::NoError)
            why = QStringLiteral("the JPEG encoder failed");
        return false;
    }

  private:
    JpegChoice choice_;
    QIODevice* out_ = nullptr;
    std::unique_ptr<JpegBands> jpeg_;
};

// The file, the caller's bands handed to one thread that encodes them in turn, and the
// checks of the order of calls.
class ThreadedBandWriter final : public BandWriter {
  public:
    ThreadedBandWriter(const QString& path, std::function<std::unique_ptr<BandEncoder>()> make)
        : path_(path), make_(std::move(make)) {}

    ~ThreadedBandWriter() override { Discard(); }

    Outcome Begin(QSize size) override {
        Discard();
        file_.reset();
        encoder_.reset();
        given_ = 0;
        failed_ = false;
        why_.clear();
        if (size.width() <= 0 || size.height() <= 0)
            return Outcome::Failed(QStringLiteral("there is no picture"));
        size_ = size;
        file_ = std::make_unique<ReplaceFile>(path_);
        if (!file_->open()) return Drop(file_->reason());
        encoder_ = make_();
        if (!encoder_->Start(file_->device(), size)) return Drop(Reason());
        stopping_ = false;
        try {
            worker_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread: Add encodes each band itself.
        }
        return Outcome::Done();
    }

    Outcome Add(QImage rows) override {
        if (!file_) return Outcome::Failed(QStringLiteral("the picture was not begun"));
        if (rows.isNull() || rows.width() != size_.width())
            return Drop(QStringLiteral("a band of %1 pixels across in a picture of %2")
                            .arg(rows.width())
                            .arg(size_.width()));
        if (given_ + rows.height() > size_.height())
            return Drop(QStringLiteral("more rows than the picture's %1").arg(size_.height()));
        if (rows.format() != QImage::Format_RGB32)
            rows = std::move(rows).convertToFormat(QImage::Format_RGB32);
        given_ += rows.height();
        if (!worker_.joinable()) {
            if (!encoder_->Encode(rows)) return Drop(Reason());
            return Outcome::Done();
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !waiting_ || failed_; });
        if (failed_) {
            lock.unlock();
            return Drop(why_);
        }
        waiting_ = std::move(rows);
        changed_.notify_all();
        return Outcome::Done();
    }

    Outcome Finish() override {
        if (!file_) return Outcome::Failed(QStringLiteral("the picture was not begun"));
        if (given_ != size_.height())
            return Drop(QStringLiteral("only %1 of its %2 rows were given")
                            .arg(given_)
                            .arg(size_.height()));
        Stop();
        if (failed_) return Drop(why_);
        if (!encoder_->End()) return Drop(Reason());
        const bool done = file_->commit();
        const QString why = file_->reason();
        file_.reset();
        encoder_.reset();
        return done ? Outcome::Done() : Outcome::Failed(why);
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return waiting_ || stopping_; });
            if (!waiting_) return;
            // The band stays in `waiting_` no longer: the caller may put the next there.
            const QImage rows = std::move(*waiting_);
            waiting_.reset();
            changed_.notify_all();
            if (failed_) continue;
            lock.unlock();
            const bool ok = encoder_->Encode(rows);
            const QString why = ok ? QString() : Reason();
            lock.lock();
            if (!ok) {
                failed_ = true;
                why_ = why;
                changed_.notify_all();
            }
        }
    }

    // Waits for the bands given to be encoded, then ends the thread.
    void Stop() {
        if (!worker_.joinable()) return;
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    QString Reason() const {
        if (!encoder_->why.isEmpty()) return encoder_->why;
        const QString device = file_->device().errorString();
        return device.isEmpty() ? QStringLiteral("the file could not be written") : device;
    }

    // Ends the thread without encoding what waits.
    void Discard() {
        {
            const std::lock_guard lock(mutex_);
            waiting_.reset();
            failed_ = true;
        }
        Stop();
    }

    // Gives up the picture: the target stays as it was, no temporary file is left.
    Outcome Drop(const QString& why) {
        Discard();
        if (file_) file_->cancel();
        file_.reset();
        encoder_.reset();
        return Outcome::Failed(why);
    }

    QString path_;
    std::function<std::unique_ptr<BandEncoder>()> make_;
    std::unique_ptr<ReplaceFile> file_;
    std::unique_ptr<BandEncoder> encoder_;
    QSize size_;
    qint64 given_ = 0;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<QImage> waiting_;
    bool stopping_ = false;
    bool failed_ = false;
    QString why_;
};

}  // namespace

std::unique_ptr<BandWriter> BandWriterFor(const QString& path, PictureFormat format,
                                          JpegChoice jpeg) {
    switch (format) {
        case PictureFormat::Bmp:
            return std::make_unique<ThreadedBandWriter>(
                path, [] { return std::make_unique<BitmapBands>(); });
        case PictureFormat::Png:
            return std::make_unique<ThreadedBandWriter>(path, [] { return MakePngBands(); });
        case PictureFormat::Jpeg:
            return std::make_unique<ThreadedBandWriter>(
                path, [jpeg] { return std::make_unique<JpegBandEncoder>(jpeg); });
        case PictureFormat::Gif:
        case PictureFormat::Webp:
        case PictureFormat::Avif:
        case PictureFormat::Pdf:
            break;
    }
    return nullptr;
}

bool WritesInBands(PictureFormat format, JpegChoice jpeg) {
    // A writer opens nothing before it is begun.
    return BandWriterFor(QString(), format, jpeg) != nullptr;
}
