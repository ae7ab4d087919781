#pragma once
// Baseline JPEG with Huffman tables made for the picture: the same pixels as with the
// standard tables, in fewer bytes.
#include <QByteArray>
#include <QImage>
#include <memory>
#include <optional>

class QIODevice;
struct jpeg_destination_mgr;
struct jvirt_barray_control;

// `pixels` (BGR888, RGB888 or Qt's opaque 32-bit formats, read in place) as a baseline JPEG at
// `quality` (1 to 100), 4:2:0 chroma and libjpeg's accurate DCT; nothing when libjpeg fails.
// The file is byte for byte what libjpeg's own two-pass optimisation writes with these
// settings; all but the smallest pictures are worked on two threads, in bands of MCU rows.
std::optional<QByteArray> CompressBaseline(const QImage& pixels, int quality);

// The same file made from bands of rows as they come, never holding the whole picture:
// each band's blocks are made at once and kept packed (about the file's size), the file
// coded from them at the end. Baseline, byte for byte CompressBaseline's; or progressive,
// byte for byte TurboJPEG's with the same settings (the scans need every block, so only
// this way can a tall progressive picture be made without its pixels in memory).
class JpegBands {
  public:
    JpegBands(int width, int height, int quality, bool progressive);
    ~JpegBands();
    JpegBands(const JpegBands&) = delete;
    JpegBands& operator=(const JpegBands&) = delete;
    // The next rows, RGB32 and full width; false once anything failed.
    bool Add(const QImage& rows);
    // The whole file to `out`, once every row was added.
    bool Write(QIODevice& out);

  private:
    struct State;
    bool CompressRows(const QImage& pixels, int top, int rows);
    bool WritePacked(jpeg_destination_mgr* dest, jvirt_barray_control** handles);
    std::unique_ptr<State> state_;
};
