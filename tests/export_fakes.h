#pragma once
// Stand-ins for the imaging layers that record what the export code asks of them.
#include <QStringList>
#include <vector>

#include "platform/image_encoders.h"
#include "platform/imaging_library.h"

namespace exporttest {

// A JPEG library whose every answer the test chooses; it logs each call.
class RecordingLibrary : public ImagingLibrary {
  public:
    bool sourceOk = true, readOk = true, destOk = true;
    int writeResult = 1234, closeResult = 1;
    int width = 40, height = 30;
    QStringList calls;
    ISHandle nextImage = 100;

    ISHandle ISOpenFileSource(const QString& path) override {
        calls << QStringLiteral("OpenFileSource ") + path;
        return sourceOk ? 1 : 0;
    }
    ISHandle ISReadBMP(ISHandle source, int& w, int& h, int bpp, int palette) override {
        calls << QStringLiteral("ReadBMP %1 %2 %3").arg(source).arg(bpp).arg(palette);
        w = readOk ? width : 0;
        h = readOk ? height : 0;
        return readOk ? ++nextImage : 0;
    }
    int ISCloseSource(ISHandle source) override {
        calls << QStringLiteral("CloseSource %1").arg(source);
        return 1;
    }
    ISHandle ISOpenFileDest(const QString& path) override {
        calls << QStringLiteral("OpenFileDest ") + path;
        return destOk ? 2 : 0;
    }
    void ISClearJPGOutputText() override { calls << QStringLiteral("ClearJPGOutputText"); }
    int ISWriteJPG(ISHandle dest, ISHandle image, int w, int h, int quality, int progressive,
                   int bpp, int palette) override {
        calls << QStringLiteral("WriteJPG %1 %2 %3x%4 q%5 p%6 %7 %8")
                     .arg(dest)
                     .arg(image)
                     .arg(w)
                     .arg(h)
                     .arg(quality)
                     .arg(progressive)
                     .arg(bpp)
                     .arg(palette);
        return writeResult;
    }
    int ISCloseDest(ISHandle dest) override {
        calls << QStringLiteral("CloseDest %1").arg(dest);
        return closeResult;
    }
    void GlobalFree(ISHandle image) override {
        calls << QStringLiteral("GlobalFree %1").arg(image);
    }
};

// An imaging service with a chosen encoder list and chosen statuses.
class RecordingEncoders : public gdi::ImageEncoders {
  public:
    int startupStatus = 0, sizeStatus = 0, listStatus = 0, bitmapStatus = 0, saveStatus = 0;
    std::vector<gdi::ImageCodecInfo> encoders;
    int startups = 0, shutdowns = 0, enumerations = 0;
    std::uintptr_t shutdownToken = 0;
    struct Save {
        QString path;
        QUuid clsid;
        bool hasParameters = false;
        std::vector<gdi::EncoderParameter> parameters;
    };
    std::vector<Save> saves;

    int GdiplusStartup(std::uintptr_t& token) override {
        ++startups;
        token = startupStatus == 0 ? 77 : 0;
        return startupStatus;
    }
    void GdiplusShutdown(std::uintptr_t token) override {
        ++shutdowns;
        shutdownToken = token;
    }
    int GdipGetImageEncodersSize(int& count) override {
        ++enumerations;
        count = static_cast<int>(encoders.size());
        return sizeStatus;
    }
    int GdipGetImageEncoders(int, std::vector<gdi::ImageCodecInfo>& out) override {
        out = encoders;
        return listStatus;
    }
    int GdipCreateBitmapFromPicture(const QImage& picture, QImage& image) override {
        image = picture;
        return bitmapStatus;
    }
    int GdipSaveImageToFile(const QImage&, const QString& path, const QUuid& clsid,
                            const std::vector<gdi::EncoderParameter>* parameters) override {
        saves.push_back(Save{path, clsid, parameters != nullptr,
                             parameters ? *parameters : std::vector<gdi::EncoderParameter>{}});
        return saveStatus;
    }
};

}  // namespace exporttest
