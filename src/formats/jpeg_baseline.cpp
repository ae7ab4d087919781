#include "formats/jpeg_baseline.h"

#include <libdeflate.h>

#include <QIODevice>
#include <QSysInfo>

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <cstdlib>

#include <jerror.h>
#include <jpeglib.h>
// The entropy encoder's interface: the quantised blocks are taken from it.
extern "C" {
#include <jpegint.h>
}

#include <algorithm>
#include <atomic>
#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// libjpeg's own table builder (exported, declared only in its private headers): the very
// codes its two-pass optimisation would pick from the same counts.
extern "C" void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);

namespace {

// libjpeg's work is split in bands of whole MCU rows: colour conversion, downsampling and
// the DCT run for each band on whichever of two threads is free, straight into one set of
// block arrays; the Huffman symbols are counted on the way. The tables made from the
// counts then code the whole picture in a single pass. Every block is what a one-pass
// libjpeg run would make, so the file is byte for byte the one its two-pass optimisation
// writes, in less than half the time: that pass counts symbols one coefficient at a time.

constexpr int kComponents = 3;
constexpr int kSymbols = 257;  // libjpeg's count arrays: 256 symbols and its reserved one
// Below this many pixels a second thread costs more than it saves.
constexpr qint64 kSplitPixels = 16384;
// Bands of about this many pixels: small enough that a thread the system holds back for a
// while leaves its share to the other, large enough that starting libjpeg costs little.
constexpr qint64 kBandPixels = qint64{1} << 19;
constexpr int kMaxBands = 32;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
};

[[noreturn]] void Fail(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->back, 1);
}

void Quiet(j_common_ptr, int) {}

void UseErrors(jpeg_compress_struct& cinfo, ErrorManager& errors) {
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = Fail;
    errors.base.emit_message = Quiet;
}

// libjpeg-turbo reads Qt's pixels in place: a converted copy of a page picture would
// cost hundreds of megabytes. Qt's 32-bit formats are native-endian words.
std::optional<J_COLOR_SPACE> ColorSpaceOf(QImage::Format format) {
    const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    switch (format) {
        case QImage::Format_BGR888:
            return JCS_EXT_BGR;
        case QImage::Format_RGB888:
            return JCS_EXT_RGB;
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        default:
            return std::nullopt;
    }
}

// The settings of every libjpeg object here, for a picture or a band of it.
void Configure(jpeg_compress_struct& cinfo, J_COLOR_SPACE space, int width, int height,
               int quality) {
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.in_color_space = space;
    cinfo.input_components = space == JCS_EXT_BGR || space == JCS_EXT_RGB ? 3 : 4;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // The accurate DCT: the fast one's blocks cost more bytes than they save time.
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 2;
    for (int i = 1; i < kComponents; ++i)
        cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
}

// Output of the band runs, whose coded bytes nobody reads.
struct Discard {
    jpeg_destination_mgr base;
    JOCTET bytes[4096];
};

void DiscardReset(j_compress_ptr cinfo) {
    auto* sink = reinterpret_cast<Discard*>(cinfo->dest);
    sink->base.next_output_byte = sink->bytes;
    sink->base.free_in_buffer = sizeof sink->bytes;
}

boolean DiscardFull(j_compress_ptr cinfo) {
    DiscardReset(cinfo);
    return TRUE;
}

void DiscardEnd(j_compress_ptr) {}

// The file in one malloc'd block that the caller frees, also after a failure (libjpeg's
// memory destination can leave its caller's pointer on freed memory when it fails).
struct Grow {
    jpeg_destination_mgr base;
    JOCTET* data;
    size_t capacity;
    size_t size;
};

void GrowStart(j_compress_ptr cinfo) {
    auto* sink = reinterpret_cast<Grow*>(cinfo->dest);
    sink->base.next_output_byte = sink->data;
    sink->base.free_in_buffer = sink->capacity;
}

boolean GrowFull(j_compress_ptr cinfo) {
    auto* sink = reinterpret_cast<Grow*>(cinfo->dest);
    const size_t old = sink->capacity;
    auto* bigger = static_cast<JOCTET*>(std::realloc(sink->data, old * 2));
    if (!bigger) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    sink->data = bigger;
    sink->capacity = old * 2;
    sink->base.next_output_byte = bigger + old;
    sink->base.free_in_buffer = old;
    return TRUE;
}

void GrowEnd(j_compress_ptr cinfo) {
    auto* sink = reinterpret_cast<Grow*>(cinfo->dest);
    sink->size = sink->capacity - sink->base.free_in_buffer;
}

// jpeg_natural_order: the coefficients in coding order.
constexpr int kNatural[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                              12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                              35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                              58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

struct CodingOrder {
    uint8_t of[64];  // coding position of each natural position
    constexpr CodingOrder() : of() {
        for (int k = 0; k < 64; ++k) of[kNatural[k]] = static_cast<uint8_t>(k);
    }
};
constexpr CodingOrder kCodingOrder;

// One bit per coefficient that is not zero, in natural order.
uint64_t NonZero(const JCOEF* block) {
#if defined(__SSE2__)
    static_assert(sizeof(JCOEF) == 2);
    const __m128i zero = _mm_setzero_si128();
    uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i + 8));
        const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
        mask |= uint64_t{static_cast<uint16_t>(~_mm_movemask_epi8(zeros))} << (16 * i);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) mask |= uint64_t{block[i] != 0} << i;
    return mask;
#endif
}

int Bits(int value) {
    return std::bit_width(static_cast<unsigned>(value < 0 ? -value : value));
}

// Symbol counts of one band per component, as libjpeg's statistics pass would make them.
struct Counts {
    long dc[kComponents][kSymbols];
    long ac[kComponents][kSymbols];
    int firstDc[kComponents];  // of the band's first block, counted against 0
    int lastDc[kComponents];
};

void Count(const JCOEF* block, int previousDc, long* dc, long* ac) {
    ++dc[Bits(block[0] - previousDc)];
    uint64_t natural = NonZero(block) & ~uint64_t{1};
    uint64_t coded = 0;
    while (natural) {
        coded |= uint64_t{1} << kCodingOrder.of[std::countr_zero(natural)];
        natural &= natural - 1;
    }
    int last = 0;
    while (coded) {
        const int k = std::countr_zero(coded);
        coded &= coded - 1;
        int run = k - last - 1;
        for (; run > 15; run -= 16) ++ac[0xF0];
        ++ac[(run << 4) + Bits(block[kNatural[k]])];
        last = k;
    }
    if (last < 63) ++ac[0];  // end of block
}

// A band of the picture, compressed on one thread.
struct Band {
    const QImage* pixels;
    J_COLOR_SPACE space;
    int quality;
    int top;
    int rows;
    JBLOCKARRAY blocks[kComponents];  // the picture's block rows, from the band's first
    Counts counts;
    bool ok;
};

// Stands in for libjpeg's Huffman encoder: keeps each block libjpeg would code and counts
// its symbols, padding blocks at the right and bottom edges included.
struct BlockTaker {
    jpeg_entropy_encoder base;
    Band* band;
    JDIMENSION column;  // of the next MCU
    JDIMENSION row;
    bool started[kComponents];
};

void TakerStart(j_compress_ptr, boolean) {}
void TakerEnd(j_compress_ptr) {}

boolean TakeMcu(j_compress_ptr cinfo, JBLOCKROW* mcu) {
    auto* taker = reinterpret_cast<BlockTaker*>(cinfo->entropy);
    Counts& counts = taker->band->counts;
    int n = 0;
    for (int i = 0; i < cinfo->comps_in_scan; ++i) {
        const jpeg_component_info* component = cinfo->cur_comp_info[i];
        const int c = component->component_index;
        JBLOCKARRAY rows = taker->band->blocks[c];
        for (int y = 0; y < component->MCU_height; ++y) {
            const JDIMENSION by = taker->row * component->MCU_height + y;
            for (int x = 0; x < component->MCU_width; ++x, ++n) {
                const JDIMENSION bx = taker->column * component->MCU_width + x;
                const JCOEF* block = mcu[n][0];
                if (bx < component->width_in_blocks && by < component->height_in_blocks)
                    std::memcpy(rows[by][bx], block, sizeof(JBLOCK));
                if (!taker->started[c]) {
                    taker->started[c] = true;
                    counts.firstDc[c] = block[0];
                    counts.lastDc[c] = 0;
                }
                Count(block, counts.lastDc[c], counts.dc[c], counts.ac[c]);
                counts.lastDc[c] = block[0];
            }
        }
    }
    if (++taker->column == cinfo->MCUs_per_row) {
        taker->column = 0;
        ++taker->row;
    }
    return TRUE;
}

// No object with a destructor lives in these frames across setjmp: libjpeg's errors
// jump back into the frame that called it, never across a thread or a C++ destructor.
void CompressBand(Band* band) {
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    Discard sink;
    BlockTaker taker;
    std::memset(&band->counts, 0, sizeof band->counts);
    band->ok = false;
    UseErrors(cinfo, errors);
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&cinfo);
        return;
    }
    jpeg_create_compress(&cinfo);
    sink.base.init_destination = DiscardReset;
    sink.base.empty_output_buffer = DiscardFull;
    sink.base.term_destination = DiscardEnd;
    cinfo.dest = &sink.base;
    Configure(cinfo, band->space, band->pixels->width(), band->rows, band->quality);
    jpeg_start_compress(&cinfo, TRUE);
    // Swapped in only now: starting set up libjpeg's own encoder, whose output nobody needs.
    taker.base.start_pass = TakerStart;
    taker.base.encode_mcu = TakeMcu;
    taker.base.finish_pass = TakerEnd;
    taker.band = band;
    taker.column = taker.row = 0;
    for (bool& started : taker.started) started = false;
    cinfo.entropy = &taker.base;
    JSAMPROW rows[16];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int n =
            static_cast<int>(std::min<JDIMENSION>(16, cinfo.image_height - cinfo.next_scanline));
        for (int i = 0; i < n; ++i)
            rows[i] = const_cast<JSAMPROW>(
                band->pixels->constScanLine(band->top + static_cast<int>(cinfo.next_scanline) + i));
        jpeg_write_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    band->ok = true;
}

// The writer of the file and the whole picture's blocks, which it owns.
struct Writer {
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    jvirt_barray_ptr arrays[kComponents];
    JBLOCKARRAY blocks[kComponents];
};

JDIMENSION RoundUp(JDIMENSION value, int multiple) {
    const auto m = static_cast<JDIMENSION>(multiple);
    return (value + m - 1) / m * m;
}

bool Prepare(Writer* writer, J_COLOR_SPACE space, int width, int height, int quality) {
    jpeg_compress_struct& cinfo = writer->cinfo;
    UseErrors(cinfo, writer->errors);
    if (setjmp(writer->errors.back)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    Configure(cinfo, space, width, height, quality);
    if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    // Blocks per component as libjpeg counts them, padded to whole MCUs. Each array is
    // reached through one access: all its rows at once.
    JDIMENSION rows[kComponents];
    for (int c = 0; c < kComponents; ++c) {
        const jpeg_component_info& component = cinfo.comp_info[c];
        const auto across =
            static_cast<JDIMENSION>((qint64{width} * component.h_samp_factor + 15) / 16);
        const auto down =
            static_cast<JDIMENSION>((qint64{height} * component.v_samp_factor + 15) / 16);
        rows[c] = RoundUp(down, component.v_samp_factor);
        writer->arrays[c] = (*cinfo.mem->request_virt_barray)(
            reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, FALSE,
            RoundUp(across, component.h_samp_factor), rows[c], rows[c]);
    }
    (*cinfo.mem->realize_virt_arrays)(reinterpret_cast<j_common_ptr>(&cinfo));
    for (int c = 0; c < kComponents; ++c)
        writer->blocks[c] = (*cinfo.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                             writer->arrays[c], 0, rows[c], TRUE);
    return true;
}

// Codes the blocks of `arrays` into `dest` with tables made from `dc` and `ac`, counts per
// table number.
bool Encode(jpeg_compress_struct& cinfo, ErrorManager& errors, jvirt_barray_ptr* arrays,
            jpeg_destination_mgr* dest, long (*dc)[kSymbols], long (*ac)[kSymbols]) {
    if (setjmp(errors.back)) return false;
    cinfo.dest = dest;
    for (int t = 0; t < 2; ++t) {
        jpeg_gen_optimal_table(&cinfo, cinfo.dc_huff_tbl_ptrs[t], dc[t]);
        jpeg_gen_optimal_table(&cinfo, cinfo.ac_huff_tbl_ptrs[t], ac[t]);
    }
    cinfo.optimize_coding = FALSE;
    jpeg_write_coefficients(&cinfo, arrays);
    jpeg_finish_compress(&cinfo);
    return true;
}

// A band's counts added to the picture's, per table; a band after the first started its
// DC differences at 0 where the file continues from `lastDc`, the band before's.
void AddCounts(const jpeg_component_info* components, const Counts& counts, const int* lastDc,
               long (*dc)[kSymbols], long (*ac)[kSymbols]) {
    for (int c = 0; c < kComponents; ++c) {
        const jpeg_component_info& component = components[c];
        for (int s = 0; s < kSymbols; ++s) {
            dc[component.dc_tbl_no][s] += counts.dc[c][s];
            ac[component.ac_tbl_no][s] += counts.ac[c][s];
        }
        if (lastDc) {
            const int first = counts.firstDc[c];
            --dc[component.dc_tbl_no][Bits(first)];
            ++dc[component.dc_tbl_no][Bits(first - lastDc[c])];
        }
    }
}

// Two threads when the picture has at least two MCU rows to share.
int BandCount(const QImage& pixels) {
    const int mcuRows = (pixels.height() + 15) / 16;
    const qint64 area = qint64{pixels.width()} * pixels.height();
    if (mcuRows < 2 || area < kSplitPixels || std::thread::hardware_concurrency() < 2) return 1;
    return static_cast<int>(
        std::clamp<qint64>(area / kBandPixels, 2, std::min(mcuRows, kMaxBands)));
}

void CompressBands(Band* bands, int count, std::atomic<int>* next) {
    for (int b = (*next)++; b < count; b = (*next)++) CompressBand(&bands[b]);
}

}  // namespace

std::optional<QByteArray> CompressBaseline(const QImage& pixels, int quality) {
    const std::optional<J_COLOR_SPACE> space =
        pixels.isNull() ? std::nullopt : ColorSpaceOf(pixels.format());
    if (!space) return std::nullopt;
    Writer writer;
    if (!Prepare(&writer, *space, pixels.width(), pixels.height(), quality)) return std::nullopt;

    // Bands start at MCU rows: every block of a band is then the one a run over the whole
    // picture makes.
    const int bandCount = BandCount(pixels);
    const int mcuRows = (pixels.height() + 15) / 16;
    std::vector<Band> bands(static_cast<size_t>(bandCount));
    for (int b = 0; b < bandCount; ++b) {
        Band& band = bands[static_cast<size_t>(b)];
        band.pixels = &pixels;
        band.space = *space;
        band.quality = quality;
        band.top = 16 * (b * mcuRows / bandCount);
        band.rows = std::min(pixels.height(), 16 * ((b + 1) * mcuRows / bandCount)) - band.top;
        for (int c = 0; c < kComponents; ++c)
            band.blocks[c] =
                writer.blocks[c] + band.top / 16 * writer.cinfo.comp_info[c].v_samp_factor;
    }
    std::atomic<int> next = 0;
    std::thread helper;
    if (bandCount > 1) {
        try {
            helper = std::thread(CompressBands, bands.data(), bandCount, &next);
        } catch (const std::system_error&) {
            // No second thread: this one does every band.
        }
    }
    CompressBands(bands.data(), bandCount, &next);
    if (helper.joinable()) helper.join();

    long dc[2][kSymbols] = {}, ac[2][kSymbols] = {};
    bool ok = true;
    for (int b = 0; b < bandCount; ++b) {
        ok = ok && bands[b].ok;
        AddCounts(writer.cinfo.comp_info, bands[b].counts,
                  b > 0 ? bands[b - 1].counts.lastDc : nullptr, dc, ac);
    }
    std::optional<QByteArray> out;
    Grow sink{};
    sink.capacity =
        static_cast<size_t>(std::max<qint64>(16384, qint64{pixels.width()} * pixels.height() / 8));
    sink.data = static_cast<JOCTET*>(std::malloc(sink.capacity));
    sink.base.init_destination = GrowStart;
    sink.base.empty_output_buffer = GrowFull;
    sink.base.term_destination = GrowEnd;
    if (ok && sink.data && Encode(writer.cinfo, writer.errors, writer.arrays, &sink.base, dc, ac) &&
        sink.size > 0)
        out =
            QByteArray(reinterpret_cast<const char*>(sink.data), static_cast<qsizetype>(sink.size));
    std::free(sink.data);
    jpeg_destroy_compress(&writer.cinfo);
    return out;
}

// ---- The same file made band by band ----

namespace {

// A band's blocks are kept packed: per block its mask of coefficients that are not zero,
// then those, in natural order; the band's bytes are then deflated. A page's blocks are
// mostly flat, so this comes near the coded file's size.
constexpr int kPackLevel = 1;

struct PackedBand {
    std::vector<uint8_t> bytes[kComponents];  // deflated
    size_t size[kComponents];                 // before
    JDIMENSION firstRow[kComponents];         // block row of the picture where it starts
    JDIMENSION rows[kComponents];
};

void Pack(const JBLOCKARRAY rows, JDIMENSION height, JDIMENSION width, std::vector<uint8_t>& out) {
    out.clear();
    for (JDIMENSION y = 0; y < height; ++y)
        for (JDIMENSION x = 0; x < width; ++x) {
            const JCOEF* block = rows[y][x];
            uint64_t mask = NonZero(block);
            const size_t at = out.size();
            out.resize(at + 8 + 2 * static_cast<size_t>(std::popcount(mask)));
            std::memcpy(out.data() + at, &mask, 8);
            uint8_t* value = out.data() + at + 8;
            for (; mask; mask &= mask - 1, value += 2)
                std::memcpy(value, &block[std::countr_zero(mask)], 2);
        }
}

// False when the bytes are not `height` x `width` packed blocks.
bool Unpack(const uint8_t* in, size_t size, JBLOCKARRAY rows, JDIMENSION height, JDIMENSION width) {
    const uint8_t* end = in + size;
    for (JDIMENSION y = 0; y < height; ++y)
        for (JDIMENSION x = 0; x < width; ++x) {
            JCOEF* block = rows[y][x];
            uint64_t mask;
            if (end - in < 8) return false;
            std::memcpy(&mask, in, 8);
            in += 8;
            if (end - in < 2 * std::popcount(mask)) return false;
            std::memset(block, 0, sizeof(JBLOCK));
            for (; mask; mask &= mask - 1, in += 2)
                std::memcpy(&block[std::countr_zero(mask)], in, 2);
        }
    return in == end;
}

struct DeflateDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Blocks of one component as rows of JBLOCKs, with the row pointers libjpeg wants.
struct BlockRows {
    std::vector<JCOEF> blocks;
    std::vector<JBLOCKROW> rows;
    void Resize(JDIMENSION height, JDIMENSION width) {
        blocks.resize(static_cast<size_t>(height) * width * DCTSIZE2);
        rows.resize(height);
        for (JDIMENSION y = 0; y < height; ++y)
            rows[y] = reinterpret_cast<JBLOCKROW>(blocks.data() + size_t{y} * width * DCTSIZE2);
    }
};

// What the coefficient writer reads in place of a virtual block array: one component's
// packed bands, unpacked a band at a time as its rows are asked for.
struct PackedArray {
    const std::vector<PackedBand>* bands;
    int component;
    JDIMENSION width;  // blocks a row, padded to whole MCUs
    libdeflate_decompressor* inflater;
    size_t current;  // band now in `unpacked`, or bands->size()
    std::vector<uint8_t> scratch;
    BlockRows unpacked;
};

JBLOCKARRAY AccessPacked(j_common_ptr cinfo, jvirt_barray_ptr handle, JDIMENSION first,
                         JDIMENSION count, boolean) {
    auto* array = reinterpret_cast<PackedArray*>(handle);
    const std::vector<PackedBand>& bands = *array->bands;
    const int c = array->component;
    size_t b = array->current < bands.size() && bands[array->current].firstRow[c] <= first
                   ? array->current
                   : 0;
    while (b + 1 < bands.size() && bands[b + 1].firstRow[c] <= first) ++b;
    if (b >= bands.size() || first + count > bands[b].firstRow[c] + RoundUp(bands[b].rows[c], 2))
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    if (b != array->current) {
        const PackedBand& band = bands[b];
        array->current = bands.size();
        array->scratch.resize(band.size[c]);
        array->unpacked.Resize(RoundUp(band.rows[c], 2), array->width);
        size_t got = 0;
        if (libdeflate_deflate_decompress(array->inflater, band.bytes[c].data(),
                                          band.bytes[c].size(), array->scratch.data(),
                                          array->scratch.size(), &got) != LIBDEFLATE_SUCCESS ||
            got != band.size[c] ||
            !Unpack(array->scratch.data(), got, array->unpacked.rows.data(), band.rows[c],
                    array->width))
            ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
        array->current = b;
    }
    return array->unpacked.rows.data() + (first - bands[b].firstRow[c]);
}

// The file's bytes straight to a device.
struct DeviceSink {
    jpeg_destination_mgr base;
    QIODevice* device;
    JOCTET bytes[1 << 16];
};

void DeviceStart(j_compress_ptr cinfo) {
    auto* sink = reinterpret_cast<DeviceSink*>(cinfo->dest);
    sink->base.next_output_byte = sink->bytes;
    sink->base.free_in_buffer = sizeof sink->bytes;
}

void DevicePut(j_compress_ptr cinfo, size_t size) {
    auto* sink = reinterpret_cast<DeviceSink*>(cinfo->dest);
    if (sink->device->write(reinterpret_cast<const char*>(sink->bytes),
                            static_cast<qint64>(size)) != static_cast<qint64>(size))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

boolean DeviceFull(j_compress_ptr cinfo) {
    DevicePut(cinfo, sizeof DeviceSink::bytes);
    DeviceStart(cinfo);
    return TRUE;
}

void DeviceEnd(j_compress_ptr cinfo) {
    auto* sink = reinterpret_cast<DeviceSink*>(cinfo->dest);
    DevicePut(cinfo, sizeof sink->bytes - sink->base.free_in_buffer);
}

}  // namespace

struct JpegBands::State {
    int width = 0;
    int height = 0;
    int quality = 0;
    bool progressive = false;
    int taken = 0;  // rows compressed so far, a multiple of 16 until the last
    QImage carry;   // rows short of a whole MCU row, waiting for the next
    int carried = 0;
    bool failed = false;
    std::vector<PackedBand> bands;
    long dc[2][kSymbols] = {};
    long ac[2][kSymbols] = {};
    int lastDc[kComponents] = {};
    JDIMENSION nextRow[kComponents] = {};
    std::unique_ptr<libdeflate_compressor, DeflateDeleter> deflater;
    std::vector<uint8_t> packed;
    BlockRows blocks[kComponents];
    // The table numbers libjpeg's defaults give: 0 for Y, 1 for both chroma components.
    jpeg_component_info components[kComponents] = {};
};

JpegBands::JpegBands(int width, int height, int quality, bool progressive)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.width = width;
    s.height = height;
    s.quality = std::clamp(quality, 1, 100);
    s.progressive = progressive;
    for (int c = 0; c < kComponents; ++c)
        s.components[c].dc_tbl_no = s.components[c].ac_tbl_no = c == 0 ? 0 : 1;
    s.deflater.reset(libdeflate_alloc_compressor(kPackLevel));
    s.failed = !s.deflater || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION ||
               height > JPEG_MAX_DIMENSION;
    if (!s.failed) s.carry = QImage(width, 16, QImage::Format_RGB32);
    s.failed = s.failed || s.carry.isNull();
}

JpegBands::~JpegBands() = default;

bool JpegBands::CompressRows(const QImage& pixels, int top, int rows) {
    State& s = *state_;
    Band band{};
    band.pixels = &pixels;
    band.space = *ColorSpaceOf(QImage::Format_RGB32);
    band.quality = s.quality;
    band.top = top;
    band.rows = rows;
    // The band's blocks as libjpeg lays them out for a picture of its rows.
    JDIMENSION across[kComponents], down[kComponents];
    for (int c = 0; c < kComponents; ++c) {
        const int factor = c == 0 ? 2 : 1;
        across[c] = RoundUp(static_cast<JDIMENSION>((qint64{s.width} * factor + 15) / 16), factor);
        down[c] = static_cast<JDIMENSION>((qint64{rows} * factor + 15) / 16);
        s.blocks[c].Resize(RoundUp(down[c], factor), across[c]);
        band.blocks[c] = s.blocks[c].rows.data();
    }
    CompressBand(&band);
    if (!band.ok) return false;
    PackedBand packed{};
    for (int c = 0; c < kComponents; ++c) {
        Pack(band.blocks[c], down[c], across[c], s.packed);
        std::vector<uint8_t>& out = packed.bytes[c];
        out.resize(libdeflate_deflate_compress_bound(s.deflater.get(), s.packed.size()));
        out.resize(libdeflate_deflate_compress(s.deflater.get(), s.packed.data(), s.packed.size(),
                                               out.data(), out.size()));
        if (out.empty() && !s.packed.empty()) return false;
        out.shrink_to_fit();
        packed.size[c] = s.packed.size();
        packed.firstRow[c] = s.nextRow[c];
        packed.rows[c] = down[c];
        s.nextRow[c] += down[c];
    }
    AddCounts(s.components, band.counts, s.bands.empty() ? nullptr : s.lastDc, s.dc, s.ac);
    std::memcpy(s.lastDc, band.counts.lastDc, sizeof s.lastDc);
    s.bands.push_back(std::move(packed));
    s.taken += rows;
    return true;
}

bool JpegBands::Add(const QImage& rows) {
    State& s = *state_;
    if (s.failed || rows.format() != QImage::Format_RGB32 || rows.width() != s.width ||
        s.taken + s.carried + rows.height() > s.height)
        return !(s.failed = true);
    int top = 0;
    // Bands of the picture start at MCU rows: rows short of one wait in `carry`.
    if (s.carried > 0) {
        const int n = std::min(16 - s.carried, rows.height());
        for (int i = 0; i < n; ++i)
            std::memcpy(s.carry.scanLine(s.carried + i), rows.constScanLine(i),
                        static_cast<size_t>(s.width) * 4);
        s.carried += n;
        top = n;
        if (s.carried == 16 || s.taken + s.carried == s.height) {
            if (!CompressRows(s.carry, 0, s.carried)) return !(s.failed = true);
            s.carried = 0;
        }
    }
    const int left = rows.height() - top;
    const int whole = s.taken + left == s.height ? left : left / 16 * 16;
    if (whole > 0 && !CompressRows(rows, top, whole)) return !(s.failed = true);
    for (int i = top + whole; i < rows.height(); ++i)
        std::memcpy(s.carry.scanLine(s.carried++), rows.constScanLine(i),
                    static_cast<size_t>(s.width) * 4);
    return true;
}

bool JpegBands::Write(QIODevice& out) {
    State& s = *state_;
    if (s.failed || s.taken != s.height) return false;
    std::unique_ptr<libdeflate_decompressor, DeflateDeleter> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater) return false;
    PackedArray arrays[kComponents];
    jvirt_barray_ptr handles[kComponents];
    for (int c = 0; c < kComponents; ++c) {
        const int factor = c == 0 ? 2 : 1;
        arrays[c].bands = &s.bands;
        arrays[c].component = c;
        arrays[c].width =
            RoundUp(static_cast<JDIMENSION>((qint64{s.width} * factor + 15) / 16), factor);
        arrays[c].inflater = inflater.get();
        arrays[c].current = s.bands.size();
        handles[c] = reinterpret_cast<jvirt_barray_ptr>(&arrays[c]);
    }
    auto sink = std::make_unique<DeviceSink>();
    sink->base.init_destination = DeviceStart;
    sink->base.empty_output_buffer = DeviceFull;
    sink->base.term_destination = DeviceEnd;
    sink->device = &out;
    return WritePacked(&sink->base, handles);
}

// No object with a destructor lives in this frame across setjmp.
bool JpegBands::WritePacked(jpeg_destination_mgr* dest, jvirt_barray_ptr* handles) {
    State& s = *state_;
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    UseErrors(cinfo, errors);
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    Configure(cinfo, *ColorSpaceOf(QImage::Format_RGB32), s.width, s.height, s.quality);
    // The packed bands stand in for the arrays libjpeg would hold whole.
    cinfo.mem->access_virt_barray = AccessPacked;
    bool ok = false;
    if (s.progressive) {
        // TurboJPEG's progressive files: libjpeg's simple script, tables made for each scan.
        cinfo.dest = dest;
        jpeg_simple_progression(&cinfo);
        cinfo.optimize_coding = TRUE;
        jpeg_write_coefficients(&cinfo, handles);
        jpeg_finish_compress(&cinfo);
        ok = true;
    } else {
        ok = Encode(cinfo, errors, handles, dest, s.dc, s.ac);
    }
    jpeg_destroy_compress(&cinfo);
    return ok;
}
