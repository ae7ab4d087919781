#pragma once
// The JPEG imaging library: a bitmap file read as 24-bit pixels, written out as a
// baseline or progressive JPEG. Handles are opaque numbers, 0 for failure, as the
// writer expects; the pixel buffer belongs to the caller until GlobalFree.
#include <QString>
#include <cstdint>
#include <memory>

using ISHandle = std::intptr_t;

class ImagingLibrary {
  public:
    virtual ~ImagingLibrary() = default;

    // 0 when the file cannot be opened for reading.
    virtual ISHandle ISOpenFileSource(const QString& path) = 0;
    // The source's bitmap as 24-bit pixels with its size; 0 (and a size of 0 x 0)
    // when it cannot be read. Only 24 bits per pixel without palette is supported.
    virtual ISHandle ISReadBMP(ISHandle source, int& width, int& height, int bitsPerPixel,
                               int palette) = 0;
    virtual int ISCloseSource(ISHandle source) = 0;
    // 0 when the file cannot be created. What is written replaces an existing file
    // only when ISCloseDest finishes a successful write.
    virtual ISHandle ISOpenFileDest(const QString& path) = 0;
    virtual void ISClearJPGOutputText() = 0;
    // Bytes written, or 0 on failure.
    virtual int ISWriteJPG(ISHandle dest, ISHandle image, int width, int height, int quality,
                           int progressive, int bitsPerPixel, int palette) = 0;
    virtual int ISCloseDest(ISHandle dest) = 0;
    // Releases a pixel buffer from ISReadBMP.
    virtual void GlobalFree(ISHandle image) = 0;
};

// Start-up initialisation: makes the library ready before the first save.
void ISInitialize();

// The library in use: the TurboJPEG one unless a test put its own.
ImagingLibrary& TheImagingLibrary();

// Tests put a recording library in place; nullptr restores the real one.
void SetImagingLibrary(ImagingLibrary* library);

// The real library over TurboJPEG, for tests and benchmarks that drive it directly.
std::unique_ptr<ImagingLibrary> MakeTurboImagingLibrary();
