#include "platform/jpeg_baseline.h"

#include <QSysInfo>

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <csetjmp>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
};

[[noreturn]] void Fail(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->back, 1);
}

void Quiet(j_common_ptr, int) {}

// No object with a destructor lives in this frame across setjmp.
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

bool Compress(const QImage& pixels, int quality, unsigned char** jpeg, unsigned long* size) {
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = Fail;
    errors.base.emit_message = Quiet;
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, jpeg, size);
    cinfo.image_width = static_cast<JDIMENSION>(pixels.width());
    cinfo.image_height = static_cast<JDIMENSION>(pixels.height());
    const std::optional<J_COLOR_SPACE> space = ColorSpaceOf(pixels.format());
    cinfo.in_color_space = *space;
    cinfo.input_components = *space == JCS_EXT_BGR || *space == JCS_EXT_RGB ? 3 : 4;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // TurboJPEG's own choice, which these files always had: the fast DCT, the accurate
    // one from quality 96 on.
    cinfo.dct_method = quality >= 96 ? JDCT_ISLOW : JDCT_IFAST;
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 2;
    for (int i = 1; i < 3; ++i)
        cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    // The one change from the standard tables: a second pass over the coefficients
    // picks the codes.
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

std::optional<QByteArray> CompressBaseline(const QImage& pixels, int quality) {
    if (pixels.isNull() || !ColorSpaceOf(pixels.format())) return std::nullopt;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const bool ok = Compress(pixels, quality, &jpeg, &size);
    std::optional<QByteArray> out;
    if (ok && jpeg && size > 0)
        out = QByteArray(reinterpret_cast<const char*>(jpeg), static_cast<qsizetype>(size));
    std::free(jpeg);
    return out;
}
