#include "formats/band_writer.h"
#include <cstring>
namespace {
class Whole final : public BandWriter {
  public:
    Whole(QString path, PictureFormat f, JpegChoice j) : path_(path), f_(f), j_(j) {}
    Outcome Begin(QSize size) override { pic_ = QImage(size, QImage::Format_RGB32); y_ = 0; return Outcome::Done(); }
    Outcome Add(QImage rows) override {
        if (y_ + rows.height() > pic_.height()) return Outcome::Failed("too many rows");
        for (int y = 0; y < rows.height(); ++y) std::memcpy(pic_.scanLine(y_ + y), rows.constScanLine(y), pic_.bytesPerLine());
        y_ += rows.height(); return Outcome::Done(); }
    Outcome Finish() override { if (y_ != pic_.height()) return Outcome::Failed("too few rows"); return WritePictureFile(pic_, path_, f_, j_); }
  private:
    QString path_; PictureFormat f_; JpegChoice j_; QImage pic_; int y_ = 0;
};
}
std::unique_ptr<BandWriter> BandWriterFor(const QString& path, PictureFormat format, JpegChoice jpeg) {
    if (!WritesInBands(format, jpeg)) return nullptr;
    return std::make_unique<Whole>(path, format, jpeg);
}
bool WritesInBands(PictureFormat format, JpegChoice) {
    return format == PictureFormat::Png || format == PictureFormat::Jpeg || format == PictureFormat::Bmp;
}
