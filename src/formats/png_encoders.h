#pragma once
// The imaging service behind the PNG writer: a start-up token, a list of image
// encoders with their file-name patterns, and a save by encoder. Statuses are
// numbers: 0 is success, the rest follow the usual imaging status list (1 generic
// error, 2 invalid parameter, 7 system error, 10 file not found, 12 access denied).
#include <QImage>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <vector>

namespace gdi {

inline constexpr int kOk = 0;
inline constexpr int kGenericError = 1;
inline constexpr int kInvalidParameter = 2;
inline constexpr int kWin32Error = 7;
inline constexpr int kFileNotFound = 10;
inline constexpr int kAccessDenied = 12;

// One encoder, as the service lists it.
struct ImageCodecInfo {
    QUuid Clsid;
    QString CodecName;
    QString FormatDescription;
    // Patterns separated by ";", e.g. "*.JPG;*.JPEG".
    QString FilenameExtension;
    QString MimeType;
};

// One encoder parameter: which setting, its value type (4: 32-bit integer) and value.
struct EncoderParameter {
    QUuid Guid;
    int NumberOfValues = 1;
    int Type = 4;
    int Value = 0;
};

// The identifier of the quality setting that JPEG encoders take.
inline const QUuid kEncoderQuality = QUuid::fromString(u"{1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}");

class ImageEncoders {
  public:
    virtual ~ImageEncoders() = default;
    virtual int GdiplusStartup(std::uintptr_t& token) = 0;
    virtual void GdiplusShutdown(std::uintptr_t token) = 0;
    virtual int GdipGetImageEncodersSize(int& count) = 0;
    virtual int GdipGetImageEncoders(int count, std::vector<ImageCodecInfo>& encoders) = 0;
    // The service's own copy of a picture (a picture box's bitmap).
    virtual int GdipCreateBitmapFromPicture(const QImage& picture, QImage& image) = 0;
    // Writes image with the encoder clsid; the destination is replaced only when the
    // whole file was written.
    virtual int GdipSaveImageToFile(const QImage& image, const QString& path, const QUuid& clsid,
                                    const std::vector<EncoderParameter>* parameters) = 0;
};

// The service over Qt's image writers: one encoder per image type that Qt can write.
ImageEncoders& QtImageEncoders();

}  // namespace gdi
