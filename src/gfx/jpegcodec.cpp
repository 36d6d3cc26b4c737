// libjpeg reports fatal errors through error_exit, whose default ends the process. Here it jumps
// back (setjmp/longjmp) to the call that started the work, which destroys the libjpeg object and
// fails. Only C frames and plain data lie between the two points, so nothing with a destructor
// is skipped; C++ objects the work fills live in the caller of those functions.
#include "gfx/jpegcodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

// After jpeglib.h, which it builds on.
#include <jerror.h>

#include "core/abandon.h"
#include "gfx/dib.h"

namespace skv {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failWith(j_common_ptr cinfo, const char* text) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(e->message, sizeof e->message, "%s", text);
    std::longjmp(e->jump, 1);
}

[[noreturn]] void onErrorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

// Warnings (corrupt but decodable data) are not shown: a damaged picture simply draws damaged.
void onOutputMessage(j_common_ptr) {}

void setUpErrors(ErrorManager& e) {
    jpeg_std_error(&e.pub);
    e.pub.error_exit = onErrorExit;
    e.pub.output_message = onOutputMessage;
    e.message[0] = '\0';
}

// ---- source: bytes in memory ------------------------------------------------------------------

void srcInit(j_decompress_ptr) {}

// Past the end of the data the decoder gets an end-of-image marker, so a cut-off file decodes
// as far as it goes.
boolean srcFill(j_decompress_ptr cinfo) {
    static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void srcSkip(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    while (count > static_cast<long>(cinfo->src->bytes_in_buffer)) {
        count -= static_cast<long>(cinfo->src->bytes_in_buffer);
        srcFill(cinfo);
    }
    cinfo->src->next_input_byte += count;
    cinfo->src->bytes_in_buffer -= static_cast<size_t>(count);
}

void srcTerm(j_decompress_ptr) {}

void setSource(j_decompress_ptr cinfo, jpeg_source_mgr* src, const uint8_t* data, size_t length) {
    src->init_source = srcInit;
    src->fill_input_buffer = srcFill;
    src->skip_input_data = srcSkip;
    src->resync_to_restart = jpeg_resync_to_restart;
    src->term_source = srcTerm;
    src->next_input_byte = data;
    src->bytes_in_buffer = length;
    cinfo->src = src;
}

// ---- destination: a growing malloc block -------------------------------------------------------

struct MemoryDestination {
    jpeg_destination_mgr pub;
    JOCTET* buffer; // freed by whoever set the destination up
    size_t capacity;
};

void destInit(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = d->capacity;
}

boolean destEmpty(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    size_t used = d->capacity;
    size_t grown = d->capacity * 2;
    if (grown > static_cast<size_t>(nDIB::kMaxCompressedLength))
        failWith(reinterpret_cast<j_common_ptr>(cinfo), "JPEG data grows too large");
    auto* bigger = static_cast<JOCTET*>(std::realloc(d->buffer, grown));
    if (!bigger) failWith(reinterpret_cast<j_common_ptr>(cinfo), "out of memory");
    d->buffer = bigger;
    d->capacity = grown;
    d->pub.next_output_byte = d->buffer + used;
    d->pub.free_in_buffer = grown - used;
    return TRUE;
}

void destTerm(j_compress_ptr) {}

// ---- progress: a ceiling on the number of scans -------------------------------------------------

void onProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > jpegCodec::kMaxScans) failWith(cinfo, "too many scans");
}

// Keeps the reason for the caller (lastError) and records it; false, for returning.
bool refuse(std::string& lastError, const char* operation, const char* reason) {
    lastError = reason;
    abandoned(operation, "%s", reason);
    return false;
}

struct ImageSize {
    JDIMENSION width = 0, height = 0;
};

bool sizeAcceptable(JDIMENSION width, JDIMENSION height) {
    if (width == 0 || height == 0 || width > static_cast<JDIMENSION>(nDIB::kMaxDimension) ||
        height > static_cast<JDIMENSION>(nDIB::kMaxDimension))
        return false;
    const int64_t stride = ((int64_t{width} * 8 + 31) / 32) * 4;
    return stride * height <= nDIB::kMaxPixelBytes;
}

void configureDecoder(jpeg_decompress_struct& cinfo, jpeg_source_mgr& src,
                      jpeg_progress_mgr& progress, const uint8_t* data, size_t length) {
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = 256L * 1024 * 1024;
    progress.progress_monitor = onProgress;
    cinfo.progress = &progress;
    setSource(&cinfo, &src, data, length);
}

// Reads the header only. Plain data and C frames only: see the note at the top of the file.
bool probe(const uint8_t* data, size_t length, ImageSize* size, char* message) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    cinfo.err = &errors.pub;
    setUpErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::memcpy(message, errors.message, JMSG_LENGTH_MAX);
        return false;
    }
    configureDecoder(cinfo, src, progress, data, length);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        failWith(reinterpret_cast<j_common_ptr>(&cinfo), "no image in the JPEG data");
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE && cinfo.jpeg_color_space != JCS_YCbCr &&
        cinfo.jpeg_color_space != JCS_RGB)
        failWith(reinterpret_cast<j_common_ptr>(&cinfo), "unsupported JPEG colour space");
    size->width = cinfo.image_width;
    size->height = cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Decodes into `pixels` (stride x height bytes, already allocated for the probed size) and
// `colours`. Plain data and C frames only.
bool decode(const uint8_t* data, size_t length, const ImageSize& size, uint8_t* pixels,
            RGBQUAD* colours, char* message) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    cinfo.err = &errors.pub;
    setUpErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::memcpy(message, errors.message, JMSG_LENGTH_MAX);
        return false;
    }
    configureDecoder(cinfo, src, progress, data, length);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width != size.width ||
        cinfo.image_height != size.height)
        failWith(reinterpret_cast<j_common_ptr>(&cinfo), "JPEG header changed");
    cinfo.desired_number_of_colors = 256;
    cinfo.quantize_colors = TRUE;
    cinfo.two_pass_quantize = TRUE;
    cinfo.dither_mode = JDITHER_FS;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = TRUE;
    jpeg_start_decompress(&cinfo);
    // A one-component (grey) image is quantized with a one-component colour map.
    if (cinfo.output_width != size.width || cinfo.output_height != size.height ||
        (cinfo.out_color_components != 1 && cinfo.out_color_components != 3) || !cinfo.colormap)
        failWith(reinterpret_cast<j_common_ptr>(&cinfo), "unexpected JPEG output");
    const size_t stride = ((size_t{size.width} * 8 + 31) / 32) * 4;
    while (cinfo.output_scanline < cinfo.output_height) {
        // The first line decoded is the top row, the last row in memory of a bottom-up bitmap.
        JSAMPROW row = pixels + (size.height - 1 - cinfo.output_scanline) * stride;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            failWith(reinterpret_cast<j_common_ptr>(&cinfo), "JPEG data stalled");
    }
    const int count = std::clamp(cinfo.actual_number_of_colors, 0, 256);
    const bool grey = cinfo.out_color_components == 1;
    std::memset(colours, 0, 256 * sizeof(RGBQUAD));
    for (int i = 0; i < count; ++i) {
        colours[i].rgbRed = cinfo.colormap[0][i];
        colours[i].rgbGreen = cinfo.colormap[grey ? 0 : 1][i];
        colours[i].rgbBlue = cinfo.colormap[grey ? 0 : 2][i];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Encodes an 8-bit bottom-up bitmap, one RGB row at a time through `row` (width x 3 bytes).
// On success *out and *outLength hold a malloc block the caller frees. Plain data and C frames
// only.
bool encode(const BITMAPINFOHEADER& header, const RGBQUAD* colours, const uint8_t* bits,
            int quality, uint8_t* row, JOCTET** out, size_t* outLength, char* message) {
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    MemoryDestination dest;
    dest.buffer = nullptr;
    cinfo.err = &errors.pub;
    setUpErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(dest.buffer);
        std::memcpy(message, errors.message, JMSG_LENGTH_MAX);
        return false;
    }
    jpeg_create_compress(&cinfo);
    dest.capacity = 64 * 1024;
    dest.buffer = static_cast<JOCTET*>(std::malloc(dest.capacity));
    if (!dest.buffer) failWith(reinterpret_cast<j_common_ptr>(&cinfo), "out of memory");
    dest.pub.init_destination = destInit;
    dest.pub.empty_output_buffer = destEmpty;
    dest.pub.term_destination = destTerm;
    cinfo.dest = &dest.pub;
    const JDIMENSION width = static_cast<JDIMENSION>(header.biWidth);
    const JDIMENSION height = static_cast<JDIMENSION>(header.biHeight);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, FALSE);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = ((size_t{width} * 8 + 31) / 32) * 4;
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* src = bits + (height - 1 - cinfo.next_scanline) * stride; // top row first
        for (JDIMENSION x = 0; x < width; ++x) {
            const RGBQUAD& c = colours[src[x]];
            row[3 * x] = c.rgbRed;
            row[3 * x + 1] = c.rgbGreen;
            row[3 * x + 2] = c.rgbBlue;
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    *outLength = dest.capacity - dest.pub.free_in_buffer;
    *out = dest.buffer;
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

bool jpegCodec::decompress(const uint8_t* data, size_t length, BITMAPINFOHEADER* header,
                           RGBQUAD colours[256], std::vector<uint8_t>* bits) {
    lastError_.clear();
    char message[JMSG_LENGTH_MAX] = {};
    if (!data || length == 0) return refuse(lastError_, "jpegDecompress", "no JPEG data");
    ImageSize size;
    if (!probe(data, length, &size, message)) return refuse(lastError_, "jpegDecompress", message);
    if (!sizeAcceptable(size.width, size.height)) {
        char why[120];
        std::snprintf(why, sizeof why, "JPEG image too large: %u x %u", unsigned(size.width),
                      unsigned(size.height));
        refuse(lastError_, "jpegDecompress", why);
        lastError_ = "JPEG image too large";
        return false;
    }
    const size_t stride = ((size_t{size.width} * 8 + 31) / 32) * 4;
    std::vector<uint8_t> pixels;
    RGBQUAD table[256];
    try {
        pixels.assign(stride * size.height, 0);
    } catch (const std::bad_alloc&) {
        return refuse(lastError_, "jpegDecompress", "out of memory");
    }
    if (!decode(data, length, size, pixels.data(), table, message))
        return refuse(lastError_, "jpegDecompress", message);
    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = static_cast<LONG>(size.width);
    header->biHeight = static_cast<LONG>(size.height);
    header->biPlanes = 1;
    header->biBitCount = 8;
    std::memcpy(colours, table, sizeof table);
    *bits = std::move(pixels);
    return true;
}

bool jpegCodec::compress(const BITMAPINFOHEADER& header, const RGBQUAD* colours,
                         const uint8_t* bits, std::vector<uint8_t>* out) {
    lastError_.clear();
    if (header.biBitCount != 8 || !colours || !bits || header.biWidth <= 0 ||
        header.biHeight <= 0 || header.biWidth > nDIB::kMaxDimension ||
        header.biHeight > nDIB::kMaxDimension) {
        return refuse(lastError_, "jpegCompress", "not an 8-bit bitmap");
    }
    char message[JMSG_LENGTH_MAX] = {};
    std::vector<uint8_t> row;
    try {
        row.resize(static_cast<size_t>(header.biWidth) * 3);
    } catch (const std::bad_alloc&) {
        return refuse(lastError_, "jpegCompress", "out of memory");
    }
    JOCTET* data = nullptr;
    size_t length = 0;
    const int quality = std::clamp(quality_, 0, 100);
    if (!encode(header, colours, bits, quality, row.data(), &data, &length, message))
        return refuse(lastError_, "jpegCompress", message);
    bool ok = true;
    try {
        out->assign(data, data + length);
    } catch (const std::bad_alloc&) {
        ok = refuse(lastError_, "jpegCompress", "out of memory");
    }
    std::free(data);
    return ok;
}

} // namespace skv
