// PNG band by band. While the picture has 256 colours or fewer, only a deflated stream of
// palette indices is kept, in memory, packed to the bits its colours so far need; at the end
// it becomes the file. At the 257th colour the rows so far are made again from it, and from
// then on the colour rows go through one deflate stream straight into the file.
#include <libdeflate.h>
#include <zlib.h>

#include <QFileDevice>
#include <QHash>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "files/write_in_pieces.h"
#include "formats/band_encoder.h"
#include "formats/deflate_blocks.h"
#include "formats/png_rows.h"

namespace {

// libdeflate's level, as the whole-picture writer's.
constexpr int kLevel = 6;
// The filters are chosen for sections of kSectionRows rows, whatever the bands' heights:
// the first kSampleRows are compressed quickly both ways and the smaller way is kept for
// the section (unfiltered on a tie).
constexpr int kSectionRows = 128;
constexpr int kSampleRows = 16;
constexpr int kTrialLevel = 1;
// Pieces of about this many bytes are compressed apart: large enough that the matches lost
// at their joins cost little, small enough to keep memory flat.
constexpr size_t kPieceBytes = size_t{1} << 21;
// IDAT chunks of about this many bytes.
constexpr size_t kChunkBytes = size_t{1} << 18;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// One zlib stream made of pieces that libdeflate compresses apart, since it cannot go on
// from one call to the next: each piece's last block is marked as not the last and followed
// by an empty stored block, as zlib's sync flush ends one, so that the next piece starts on
// a byte of its own.
class PieceDeflater {
  public:
    bool Start() {
        compressor_.reset(libdeflate_alloc_compressor(kLevel));
        adler_ = 1;
        started_ = false;
        piece_.clear();
        return compressor_ != nullptr;
    }

    // Appends the bytes; whole pieces go compressed to `out`.
    bool Put(const std::uint8_t* data, size_t size, PngBytes& out) {
        piece_.insert(piece_.end(), data, data + size);
        return piece_.size() < kPieceBytes || Flush(out);
    }

    // The rest, the stream's end and its checksum to `out`.
    bool Finish(PngBytes& out) {
        if (!Flush(out)) return false;
        Header(out);
        // An empty last block of fixed codes, then the Adler-32 of all the bytes.
        out.insert(out.end(),
                   {0x03, 0x00, static_cast<std::uint8_t>(adler_ >> 24),
                    static_cast<std::uint8_t>(adler_ >> 16), static_cast<std::uint8_t>(adler_ >> 8),
                    static_cast<std::uint8_t>(adler_)});
        return true;
    }

  private:
    void Header(PngBytes& out) {
        if (!started_) out.insert(out.end(), {0x78, 0x9C});
        started_ = true;
    }

    bool Flush(PngBytes& out) {
        if (piece_.empty()) return true;
        Header(out);
        adler_ = libdeflate_adler32(adler_, piece_.data(), piece_.size());
        const size_t at = out.size();
        out.resize(at + libdeflate_deflate_compress_bound(compressor_.get(), piece_.size()) + 5);
        const size_t size = libdeflate_deflate_compress(
            compressor_.get(), piece_.data(), piece_.size(), out.data() + at, out.size() - at);
        const auto end = size == 0 ? std::nullopt : FindDeflateEnd(out.data() + at, size);
        if (!end) return false;
        // The last block's header bit cleared: another block follows.
        out[at + end->lastBlockBit / 8] &=
            static_cast<std::uint8_t>(~(1u << (end->lastBlockBit % 8)));
        out.resize(at + size);
        // The empty stored block: three bits of header, all zero, in the last byte's spare
        // bits or a byte of its own, then the lengths from the next byte on.
        if (end->spareBits < 3) out.push_back(0);
        out.insert(out.end(), {0x00, 0x00, 0xFF, 0xFF});
        piece_.clear();
        return true;
    }

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor_;
    std::uint32_t adler_ = 1;
    bool started_ = false;
    PngBytes piece_;
};

class PngBands final : public BandEncoder {
  public:
    bool Start(QIODevice& out, QSize size) override {
        out_ = dynamic_cast<QFileDevice*>(&out);
        width_ = size.width();
        height_ = size.height();
        trial_.reset(libdeflate_alloc_compressor(kTrialLevel));
        filter_ = std::make_unique<AdaptiveFilter>(width_);
        section_.resize(3 * static_cast<size_t>(width_) * kSectionRows);
        if (!out_ || !trial_ || !colour_.Start() || !indices_.Start()) {
            why = QStringLiteral("the PNG encoder failed");
            return false;
        }
        return true;
    }

    bool Encode(const QImage& rows) override {
        if (paletted_) {
            if (!Index(rows)) return Failed();
            if (paletted_) return true;
            if (!CatchUp()) return Failed();
        }
        const size_t width = 3 * static_cast<size_t>(width_);
        for (int y = 0; y < rows.height(); ++y) {
            PngRgbRow(rows, y, section_.data() + width * static_cast<size_t>(held_));
            if (++held_ == kSectionRows && !PutSection()) return Failed();
        }
        return true;
    }

    bool End() override {
        if (paletted_) return WritePalette();
        if (!PutSection() || !colour_.Finish(pending_) || !WriteIdat(pending_)) return Failed();
        return WriteChunk("IEND", nullptr, 0);
    }

  private:
    bool Failed() {
        if (out_->error() == QFileDevice::NoError) why = QStringLiteral("the PNG encoder failed");
        return false;
    }

    bool WriteChunk(const char* type, const std::uint8_t* data, size_t size) {
        QByteArray chunk;
        chunk.reserve(static_cast<qsizetype>(size) + 12);
        PutPngChunk(chunk, type, data, size);
        return WriteInPieces(*out_, chunk);
    }

    bool WriteIdat(PngBytes& bytes) {
        const bool ok = bytes.empty() || WriteChunk("IDAT", bytes.data(), bytes.size());
        bytes.clear();
        return ok;
    }

    // The band's colours looked up in the palette so far and its indices kept, packed to
    // the bits the colours so far need; the palette dropped at its 257th colour.
    bool Index(const QImage& rows) {
        const size_t width = static_cast<size_t>(width_);
        band_.resize(width * static_cast<size_t>(rows.height()));
        for (int y = 0; y < rows.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(rows.constScanLine(y));
            std::uint8_t* out = band_.data() + width * static_cast<size_t>(y);
            for (int x = 0; x < width_; ++x) {
                const QRgb c = in[x] | 0xFF000000u;
                // Runs of one colour are the rule in a page picture: skip the lookup.
                if (lastIndex_ < 0 || c != last_) {
                    auto it = index_.constFind(c);
                    if (it == index_.constEnd()) {
                        if (colours_.size() == 256) {
                            paletted_ = false;
                            return true;
                        }
                        it = index_.insert(c, static_cast<int>(colours_.size()));
                        colours_.push_back(c);
                    }
                    last_ = c;
                    lastIndex_ = it.value();
                }
                out[x] = static_cast<std::uint8_t>(lastIndex_);
            }
        }
        // More colours than the bits so far hold: the rows kept are packed anew, at most
        // three times a picture and mostly in its first band.
        const int bits = PngIndexBits(static_cast<int>(colours_.size()));
        if (bits != bits_ && indexedRows_ > 0 && !Repack(bits)) return false;
        bits_ = bits;
        indexedRows_ += rows.height();
        return PutIndices(band_.data(), rows.height(), bits_, indices_, indexed_);
    }

    // Rows of 8-bit indices packed to `bits`, each led by filter byte 0, into `stream`.
    bool PutIndices(const std::uint8_t* indices, int rows, int bits, PieceDeflater& stream,
                    PngBytes& out) {
        const size_t stride = 1 + (static_cast<size_t>(width_) * bits + 7) / 8;
        rows_.resize(stride * static_cast<size_t>(rows));
        for (int y = 0; y < rows; ++y) {
            rows_[stride * static_cast<size_t>(y)] = 0;
            PackIndexRow(indices + static_cast<size_t>(width_) * y, width_, bits,
                         rows_.data() + stride * static_cast<size_t>(y) + 1);
        }
        return stream.Put(rows_.data(), rows_.size(), out);
    }

    // Each row kept so far, as 8-bit indices, to `use`; the stream is ended first.
    template <typename Use>
    bool EachIndexRow(Use&& use) {
        if (!indices_.Finish(indexed_)) return false;
        const size_t stride = 1 + (static_cast<size_t>(width_) * bits_ + 7) / 8;
        const size_t batch = std::max<size_t>(1, (size_t{1} << 20) / stride);
        z_stream in{};
        if (inflateInit(&in) != Z_OK) return false;
        PngBytes rows(batch * stride), indices(static_cast<size_t>(width_));
        in.next_in = indexed_.data();
        in.avail_in = static_cast<uInt>(indexed_.size());
        bool ok = true;
        for (int y = 0; ok && y < indexedRows_;) {
            const int n = static_cast<int>(std::min<size_t>(batch, size_t(indexedRows_ - y)));
            in.next_out = rows.data();
            in.avail_out = static_cast<uInt>(stride * static_cast<size_t>(n));
            const int rc = inflate(&in, Z_SYNC_FLUSH);
            ok = (rc == Z_OK || rc == Z_STREAM_END) && in.avail_out == 0;
            for (int i = 0; ok && i < n; ++i) {
                UnpackIndexRow(rows.data() + stride * static_cast<size_t>(i) + 1, width_, bits_,
                               indices.data());
                ok = use(indices.data());
            }
            y += n;
        }
        inflateEnd(&in);
        return ok;
    }

    // The rows kept, packed again to `bits`.
    bool Repack(int bits) {
        PieceDeflater fresh;
        PngBytes out;
        if (!fresh.Start() || !EachIndexRow([&](const std::uint8_t* indices) {
                return PutIndices(indices, 1, bits, fresh, out);
            }))
            return false;
        indices_ = std::move(fresh);
        indexed_.swap(out);
        return true;
    }

    // The picture has more than 256 colours after all: the colour file begins, its rows so
    // far made again from the indices kept.
    bool CatchUp() {
        const QByteArray head = PngHead(width_, height_, 8, 2, {});
        if (out_->write(head) != head.size()) return false;
        const bool ok = EachIndexRow([&](const std::uint8_t* indices) {
            std::uint8_t* rgb = section_.data() + 3 * static_cast<size_t>(width_) * held_;
            for (int x = 0; x < width_; ++x) {
                const QRgb c = colours_[indices[x]];
                rgb[3 * x] = static_cast<std::uint8_t>(qRed(c));
                rgb[3 * x + 1] = static_cast<std::uint8_t>(qGreen(c));
                rgb[3 * x + 2] = static_cast<std::uint8_t>(qBlue(c));
            }
            return ++held_ < kSectionRows || PutSection();
        });
        PngBytes().swap(indexed_);
        return ok;
    }

    // The rows held, filtered or not as compresses smaller, into the colour stream.
    bool PutSection() {
        if (held_ == 0) return true;
        const size_t width = 3 * static_cast<size_t>(width_);
        const size_t stride = width + 1;
        const size_t size = stride * static_cast<size_t>(held_);
        plain_.resize(size);
        filtered_.resize(size);
        const auto row = [&](int y) { return section_.data() + width * static_cast<size_t>(y); };
        // The sample both ways, filtered against the rows above it.
        const int sample = std::min(held_, kSampleRows);
        for (int y = 0; y < sample; ++y) {
            const size_t at = stride * static_cast<size_t>(y);
            plain_[at] = 0;
            std::memcpy(plain_.data() + at + 1, row(y), width);
            std::memcpy(filter_->Input(), row(y), width);
            filter_->Row(filtered_.data() + at);
        }
        const size_t tried = stride * static_cast<size_t>(sample);
        trial_out_.resize(libdeflate_zlib_compress_bound(trial_.get(), tried));
        const size_t plainSize = libdeflate_zlib_compress(trial_.get(), plain_.data(), tried,
                                                          trial_out_.data(), trial_out_.size());
        const size_t filteredSize = libdeflate_zlib_compress(trial_.get(), filtered_.data(), tried,
                                                             trial_out_.data(), trial_out_.size());
        const bool filtered = filteredSize > 0 && (plainSize == 0 || filteredSize < plainSize);
        PngBytes& chosen = filtered ? filtered_ : plain_;
        for (int y = sample; y < held_; ++y) {
            std::memcpy(filter_->Input(), row(y), width);
            if (filtered)
                filter_->Row(chosen.data() + stride * static_cast<size_t>(y));
            else
                filter_->Plain(chosen.data() + stride * static_cast<size_t>(y));
        }
        held_ = 0;
        return colour_.Put(chosen.data(), size, pending_) &&
               (pending_.size() < kChunkBytes || WriteIdat(pending_));
    }

    // The palette picture: the indices kept are already packed as its colours need.
    bool WritePalette() {
        if (!indices_.Finish(indexed_)) return Failed();
        PngBytes palette;
        for (const QRgb c : colours_)
            palette.insert(palette.end(), {static_cast<std::uint8_t>(qRed(c)),
                                           static_cast<std::uint8_t>(qGreen(c)),
                                           static_cast<std::uint8_t>(qBlue(c))});
        const QByteArray head = PngHead(width_, height_, bits_, 3, palette);
        if (out_->write(head) != head.size()) return Failed();
        for (size_t at = 0; at < indexed_.size(); at += kChunkBytes) {
            const size_t n = std::min(kChunkBytes, indexed_.size() - at);
            if (!WriteChunk("IDAT", indexed_.data() + at, n)) return Failed();
        }
        return WriteChunk("IEND", nullptr, 0);
    }

    QFileDevice* out_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> trial_;
    std::unique_ptr<AdaptiveFilter> filter_;
    PngBytes section_;  // rows as three bytes a pixel, waiting for their section to fill
    int held_ = 0;
    PngBytes plain_, filtered_, trial_out_;
    PieceDeflater colour_;
    PngBytes pending_;  // compressed, not yet in a chunk
    PngBytes rows_;
    // The palette so far, while there is one.
    bool paletted_ = true;
    PieceDeflater indices_;
    PngBytes indexed_;
    int indexedRows_ = 0;
    int bits_ = 8;   // of the indices kept
    PngBytes band_;  // a band's 8-bit indices
    QHash<QRgb, int> index_;
    std::vector<QRgb> colours_;
    QRgb last_ = 0;
    int lastIndex_ = -1;
};

}  // namespace

std::unique_ptr<BandEncoder> MakePngBands() {
    return std::make_unique<PngBands>();
}
