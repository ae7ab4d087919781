#pragma once
// The pieces of a PNG that the whole-picture writer and the band writer share: rows
// packed or filtered one at a time, and the chunks around them.
#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

using PngBytes = std::vector<std::uint8_t>;

// Bits a palette index takes for `colours` colours: 1, 2, 4 or 8.
int PngIndexBits(int colours);

// One row of 8-bit indices packed to `bits`, the first pixel in the high bits, into
// (width * bits + 7) / 8 bytes at `out`.
void PackIndexRow(const std::uint8_t* in, int width, int bits, std::uint8_t* out);

// The reverse: `width` indices of `bits` each from `in`, one a byte to `out`.
void UnpackIndexRow(const std::uint8_t* in, int width, int bits, std::uint8_t* out);

// Row y of a picture in RGB888 or RGB32 as three bytes a pixel.
void PngRgbRow(const QImage& image, int y, std::uint8_t* out);

// Colour rows filtered one after the other, each by the type whose bytes, read as signed,
// sum smallest in magnitude: the usual adaptive choice, best for photos and gradients.
class AdaptiveFilter {
  public:
    explicit AdaptiveFilter(int width);
    // The row above is zeros, as above a picture's first row.
    void Restart();
    // Where the next row goes, three bytes a pixel (no copy of it is made).
    std::uint8_t* Input() { return cur_.data() + 3; }
    // The row put at Input() as filter byte and filtered bytes into `out`.
    void Row(std::uint8_t* out);
    // The row put at Input() unfiltered: filter byte 0 and the bytes as they are.
    void Plain(std::uint8_t* out);

  private:
    size_t width_;  // bytes of a row
    PngBytes cur_, up_;
    PngBytes trial_[5];
};

// A chunk of `type` around `size` bytes, appended to `png`.
void PutPngChunk(QByteArray& png, const char* type, const std::uint8_t* data, size_t size);

// The signature, IHDR and, for a palette, PLTE (three bytes a colour).
QByteArray PngHead(int width, int height, int bits, int colourType, const PngBytes& palette);
