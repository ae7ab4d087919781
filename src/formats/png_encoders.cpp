#include "formats/png_encoders.h"

#include "files/replace_file.h"
#include "files/write_in_pieces.h"
#include "formats/png_file.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageWriter>
#include <algorithm>

namespace gdi {

namespace {

// Stable identifiers for Qt's writers, one per image type.
const QUuid kEncoderNamespace = QUuid::fromString(u"{6f1d2a3e-8c47-4f0b-9a55-1e2b7c3d9f10}");

struct QtEncoder {
    ImageCodecInfo info;
    QByteArray format;  // Qt's writer name
};

std::vector<QtEncoder> BuildEncoders() {
    std::vector<QtEncoder> encoders;
    QList<QByteArray> used;
    for (const QByteArray& mime : QImageWriter::supportedMimeTypes()) {
        QStringList patterns;
        QByteArray first;
        for (const QByteArray& format : QImageWriter::imageFormatsForMimeType(mime)) {
            // Each pattern belongs to one encoder only.
            if (used.contains(format)) continue;
            used << format;
            if (first.isEmpty()) first = format;
            patterns << QStringLiteral("*.") + QString::fromLatin1(format).toUpper();
        }
        if (patterns.isEmpty()) continue;
        const QString name = QString::fromLatin1(first).toUpper();
        ImageCodecInfo info{QUuid::createUuidV5(kEncoderNamespace, mime),
                            QStringLiteral("Qt %1 Codec").arg(name), name, patterns.join(u';'),
                            QString::fromLatin1(mime)};
        encoders.push_back(QtEncoder{info, first});
    }
    return encoders;
}

const std::vector<QtEncoder>& Encoders() {
    static const std::vector<QtEncoder> encoders = BuildEncoders();
    return encoders;
}

int OpenStatus(const QString& path) {
    const QFileInfo target(path);
    if (!target.absoluteDir().exists()) return kFileNotFound;
    const QFileInfo folder(target.absolutePath());
    if (target.isDir() || (target.exists() ? !target.isWritable() : !folder.isWritable()))
        return kAccessDenied;
    return kWin32Error;
}

class QtEncoderService final : public ImageEncoders {
  public:
    int GdiplusStartup(std::uintptr_t& token) override {
        token = ++starts_;
        return kOk;
    }
    void GdiplusShutdown(std::uintptr_t) override {}

    int GdipGetImageEncodersSize(int& count) override {
        count = static_cast<int>(Encoders().size());
        return kOk;
    }

    int GdipGetImageEncoders(int count, std::vector<ImageCodecInfo>& encoders) override {
        if (count != static_cast<int>(Encoders().size())) return kInvalidParameter;
        encoders.clear();
        for (const QtEncoder& e : Encoders()) encoders.push_back(e.info);
        return kOk;
    }

    int GdipCreateBitmapFromPicture(const QImage& picture, QImage& image) override {
        if (picture.isNull()) return kInvalidParameter;
        image = picture;
        return kOk;
    }

    int GdipSaveImageToFile(const QImage& image, const QString& path, const QUuid& clsid,
                            const std::vector<EncoderParameter>* parameters) override {
        const QtEncoder* encoder = nullptr;
        for (const QtEncoder& e : Encoders())
            if (e.info.Clsid == clsid) encoder = &e;
        if (!encoder || image.isNull() || path.isEmpty()) return kInvalidParameter;

        ReplaceFile file(path);
        if (!file.open()) return OpenStatus(path);
        QImageWriter writer(&file.device(), encoder->format);
        if (parameters) {
            for (const EncoderParameter& p : *parameters) {
                if (p.Guid != kEncoderQuality) continue;
                if (p.Type != 4 || p.NumberOfValues != 1) return kInvalidParameter;
                writer.setQuality(std::clamp(p.Value, 0, 100));
            }
        }
        if (encoder->format == "png") {
            // Our own PNG path: page pictures come out much smaller than from Qt's.
            const std::optional<QByteArray> png = EncodePng(image);
            if (!png) {
                file.cancel();
                return kGenericError;
            }
            if (!WriteInPieces(file.device(), *png)) {
                file.cancel();
                return kWin32Error;
            }
            return file.commit() ? kOk : kWin32Error;
        }
        if (!writer.write(image)) {
            file.cancel();
            return writer.error() == QImageWriter::DeviceError ? kWin32Error : kGenericError;
        }
        return file.commit() ? kOk : kWin32Error;
    }

  private:
    std::uintptr_t starts_ = 0;
};

}  // namespace

ImageEncoders& QtImageEncoders() {
    static QtEncoderService service;
    return service;
}

}  // namespace gdi
