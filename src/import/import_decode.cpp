// Image files to 8-bit RGBA pixels: PNG through libpng, JPEG through
// libjpeg-turbo, TGA read here, BMP through stb_image. Every form's file must
// hold the bytes its header promises before pixel memory is taken, so a tiny
// file that declares a huge picture is refused for what it is; the pixels are
// decoded once, into the buffer the texture is made from.
#include "import/import_local.h"
#include "base/bytes.h"

#include <stb/stb_image.h>
#include <png.h>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool Allocate(ImportImage &image, uint32_t width, uint32_t height)
{
    image.width = width;
    image.height = height;
    // Not cleared: pages the decoder never reaches (a file refused halfway) are never touched.
    image.rgba.reset(static_cast<uint8_t *>(malloc(image.Bytes())));
    return image.rgba != nullptr;
}

// ---- PNG ----

constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Everything the decoding changes lives here, not in the frame a jump
// returns to (whose locals changed after setjmp would be indeterminate).
struct PngState {
    std::span<const uint8_t> file;
    size_t at = 0;
    std::vector<png_bytep> rows;
    char message[200] = "";
    jmp_buf jump;
};

[[noreturn]] void PngFail(png_structp png, png_const_charp message)
{
    auto *state = static_cast<PngState *>(png_get_error_ptr(png));
    snprintf(state->message, sizeof state->message, "%s", message);
    longjmp(state->jump, 1);
}

void PngWarn(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, png_size_t n)
{
    auto *state = static_cast<PngState *>(png_get_io_ptr(png));
    if (n > state->file.size() - state->at)
        png_error(png, "the file ends before its pixels do");
    memcpy(out, state->file.data() + state->at, n);
    state->at += n;
}

// Colour types and depths all become 8-bit RGBA, 16-bit samples by their
// high byte, with no gamma applied (the numbers are taken as painted).
bool DecodePng(std::span<const uint8_t> file, ImportImage &image, std::string &why)
{
    PngState state;
    state.file = file;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, PngFail, PngWarn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        why = "out of memory";
        return false;
    }
    if (setjmp(state.jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        why = state.message;
        return false;
    }
    png_set_read_fn(png, &state, PngRead);
    png_set_user_limits(png, kImportMaxSide, kImportMaxSide);
    png_read_info(png, info);
    const png_byte type = png_get_color_type(png, info);
    png_set_strip_16(png);
    png_set_packing(png);
    if (type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(png_get_image_width(png, info)) * 4)
        png_error(png, "unexpected row layout");
    if (!Allocate(image, png_get_image_width(png, info), png_get_image_height(png, info)))
        png_error(png, "out of memory");
    state.rows.resize(image.height);
    for (uint32_t y = 0; y < image.height; ++y)
        state.rows[y] = image.rgba.get() + static_cast<size_t>(y) * image.width * 4;
    png_read_image(png, state.rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// ---- JPEG ----

struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegFail(j_common_ptr cinfo)
{
    auto *error = reinterpret_cast<JpegError *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    longjmp(error->jump, 1);
}

// A file that ends before its pixels do is refused, not padded with grey.
// Other warnings (stray bytes between markers) leave a picture to take.
void JpegMessage(j_common_ptr cinfo, int level)
{
    auto *error = reinterpret_cast<JpegError *>(cinfo->err);
    if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        snprintf(error->message, sizeof error->message, "the file ends before its pixels do");
        longjmp(error->jump, 1);
    }
}

// Decodes the header only when `image` is null (the sides then go to
// `width`, `height`). Arithmetic coding is not taken; CMYK is made RGB.
bool DecodeJpeg(std::span<const uint8_t> file, ImportImage *image, uint32_t &width, uint32_t &height,
                std::string &why)
{
    jpeg_decompress_struct cinfo;
    JpegError error;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegFail;
    error.manager.emit_message = JpegMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        why = error.message;
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    width = cinfo.image_width;
    height = cinfo.image_height;
    const char *refusal = nullptr;
    // Every block of every component costs at least a bit of Huffman code:
    // a file shorter than that cannot hold the picture its header declares.
    uint64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c)
        blocks += static_cast<uint64_t>(cinfo.comp_info[c].width_in_blocks) * cinfo.comp_info[c].height_in_blocks;
    if (cinfo.arith_code)
        refusal = "arithmetic-coded JPEG is not read";
    else if (blocks > static_cast<uint64_t>(file.size()) * 8)
        refusal = "the file is too short for the pixels its header declares";
    if (refusal || !image) {
        jpeg_destroy_decompress(&cinfo);
        if (refusal)
            why = refusal;
        return !refusal;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 4 || !Allocate(*image, cinfo.output_width, cinfo.output_height)) {
        snprintf(error.message, sizeof error.message, "out of memory");
        longjmp(error.jump, 1);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t *row = image->rgba.get() + static_cast<size_t>(cinfo.output_scanline) * image->width * 4;
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&cinfo, rows, 1);
        // Inverted CMYK (as the common writers store it) to RGB: C x K.
        for (uint32_t x = 0; cmyk && x < image->width; ++x) {
            uint8_t *p = row + 4 * x;
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<uint8_t>((p[k] * p[3] + 127) / 255);
            p[3] = 255;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// ---- TGA ----

struct TgaHeader {
    size_t pixelsAt = 0;        // the first pixel byte
    size_t mapAt = 0;           // the colour map's first entry
    uint32_t mapFirst = 0, mapLength = 0, mapBytes = 0;
    uint32_t width = 0, height = 0;
    uint32_t pixelBytes = 0;    // per stored pixel (an index for a mapped image)
    uint32_t colourBits = 0;    // 8 (grey), 15, 16, 24 or 32: of the pixels or the map's entries
    bool mapped = false, grey = false, rle = false;
    bool alphaBit = false;      // a 16-bit colour's top bit is alpha
    bool topDown = false, rightToLeft = false;
};

// The header's fields, strictly: a TGA has no signature, so only headers of
// the forms read here are taken for one.
bool TgaParse(std::span<const uint8_t> file, TgaHeader &h)
{
    if (file.size() < 18)
        return false;
    const uint8_t *b = file.data();
    const uint8_t idLength = b[0], mapType = b[1], type = b[2], depth = b[16], descriptor = b[17];
    if (mapType > 1 || (type & ~8u) < 1 || (type & ~8u) > 3)
        return false;
    h.mapped = (type & ~8u) == 1;
    h.grey = (type & ~8u) == 3;
    h.rle = (type & 8) != 0;
    h.mapFirst = Bytes_ReadU16LE(b + 3);
    h.mapLength = Bytes_ReadU16LE(b + 5);
    const uint8_t mapDepth = b[7];
    if (mapType == 1 && mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32)
        return false;
    h.mapBytes = mapType == 1 ? (mapDepth + 7) / 8 : 0;
    h.width = Bytes_ReadU16LE(b + 12);
    h.height = Bytes_ReadU16LE(b + 14);
    if (h.mapped) {
        if (mapType != 1 || (depth != 8 && depth != 16))
            return false;
        h.colourBits = mapDepth;
    } else if (h.grey) {
        if (depth != 8)
            return false;
        h.colourBits = 8;
    } else {
        if (depth != 15 && depth != 16 && depth != 24 && depth != 32)
            return false;
        h.colourBits = depth;
    }
    h.pixelBytes = (depth + 7) / 8;
    h.alphaBit = h.colourBits == 16 && (descriptor & 0x0F) == 1;
    h.topDown = (descriptor & 0x20) != 0;
    h.rightToLeft = (descriptor & 0x10) != 0;
    h.mapAt = 18 + static_cast<size_t>(idLength);
    h.pixelsAt = h.mapAt + static_cast<size_t>(h.mapLength) * h.mapBytes;
    return true;
}

// The fewest bytes that can hold the pixels: every pixel stored, or for run
// lengths a packet of at most 128 pixels holding one.
bool TgaLongEnough(std::span<const uint8_t> file, const TgaHeader &h)
{
    const uint64_t pixels = static_cast<uint64_t>(h.width) * h.height;
    const uint64_t least = h.rle ? (pixels + 127) / 128 * (1 + h.pixelBytes) : pixels * h.pixelBytes;
    return h.pixelsAt <= file.size() && least <= file.size() - h.pixelsAt;
}

// One colour as stored (grey, 15/16-bit, BGR or BGRA) to RGBA.
void TgaColour(const uint8_t *p, uint32_t bits, bool alphaBit, uint8_t *out)
{
    switch (bits) {
    case 8:
        out[0] = out[1] = out[2] = p[0], out[3] = 255;
        break;
    case 15:
    case 16: {
        const uint32_t v = Bytes_ReadU16LE(p);
        const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        out[0] = static_cast<uint8_t>(r << 3 | r >> 2);
        out[1] = static_cast<uint8_t>(g << 3 | g >> 2);
        out[2] = static_cast<uint8_t>(b << 3 | b >> 2);
        out[3] = alphaBit && !(v & 0x8000) ? 0 : 255;
        break;
    }
    default:
        out[0] = p[2], out[1] = p[1], out[2] = p[0];
        out[3] = bits == 32 ? p[3] : 255;
    }
}

bool DecodeTga(std::span<const uint8_t> file, const TgaHeader &h, ImportImage &image, std::string &why)
{
    if (!Allocate(image, h.width, h.height)) {
        why = "out of memory";
        return false;
    }
    const uint8_t *data = file.data();
    const size_t end = file.size();
    size_t at = h.pixelsAt;
    bool anyAlpha = false;
    uint8_t colour[4] = {};
    uint32_t left = 0;    // pixels left of the current run-length packet
    bool repeat = false;  // the packet is one colour repeated
    const uint64_t count = static_cast<uint64_t>(h.width) * h.height;
    for (uint64_t i = 0; i < count; ++i) {
        bool read = true;
        if (h.rle) {
            if (left == 0) {
                if (at >= end) {
                    why = "the file ends before its pixels do";
                    return false;
                }
                left = (data[at] & 0x7Fu) + 1;
                repeat = (data[at++] & 0x80) != 0;
            } else {
                read = !repeat;
            }
            --left;
        }
        if (read) {
            if (h.pixelBytes > end - at) {
                why = "the file ends before its pixels do";
                return false;
            }
            const uint8_t *p = data + at;
            at += h.pixelBytes;
            if (h.mapped) {
                const uint32_t index = h.pixelBytes == 1 ? p[0] : Bytes_ReadU16LE(p);
                if (index < h.mapFirst || index - h.mapFirst >= h.mapLength) {
                    why = "a pixel names an entry beyond its colour map";
                    return false;
                }
                TgaColour(data + h.mapAt + static_cast<size_t>(index - h.mapFirst) * h.mapBytes, h.colourBits,
                          h.alphaBit, colour);
            } else {
                TgaColour(p, h.colourBits, h.alphaBit, colour);
            }
            anyAlpha |= colour[3] != 0;
        }
        const uint32_t row = static_cast<uint32_t>(i / h.width), column = static_cast<uint32_t>(i % h.width);
        const uint32_t y = h.topDown ? row : h.height - 1 - row;
        const uint32_t x = h.rightToLeft ? h.width - 1 - column : column;
        memcpy(image.rgba.get() + (static_cast<size_t>(y) * h.width + x) * 4, colour, 4);
    }
    // Writers that store alpha and never set it mean an opaque picture.
    if ((h.alphaBit || h.colourBits == 32) && !anyAlpha)
        for (size_t i = 3; i < image.Bytes(); i += 4)
            image.rgba.get()[i] = 255;
    return true;
}

// ---- BMP ----

struct BmpHeader {
    uint32_t width = 0, height = 0;
    uint64_t least = 0;  // the bytes the pixels need, from the file's start
    bool compressed = false;
};

bool BmpParse(std::span<const uint8_t> file, BmpHeader &h)
{
    if (file.size() < 26 || file[0] != 'B' || file[1] != 'M')
        return false;
    const uint8_t *b = file.data();
    const uint32_t offset = Bytes_ReadU32LE(b + 10), headerSize = Bytes_ReadU32LE(b + 14);
    int64_t width, height;
    uint32_t bits, compression = 0;
    if (headerSize == 12) {
        width = Bytes_ReadU16LE(b + 18);
        height = Bytes_ReadU16LE(b + 20);
        bits = Bytes_ReadU16LE(b + 24);
    } else {
        if (headerSize < 40 || file.size() < 34)
            return false;
        width = static_cast<int32_t>(Bytes_ReadU32LE(b + 18));
        height = static_cast<int32_t>(Bytes_ReadU32LE(b + 22));
        bits = Bytes_ReadU16LE(b + 28);
        compression = Bytes_ReadU32LE(b + 30);
    }
    // A negative height is a top-down picture of that many rows.
    if (width < 0 || height < -INT32_MAX || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
                                              bits != 32))
        return false;
    h.width = static_cast<uint32_t>(width);
    h.height = static_cast<uint32_t>(height < 0 ? -height : height);
    h.compressed = compression != 0 && compression != 3;
    const uint64_t rowBytes = (static_cast<uint64_t>(h.width) * bits + 31) / 32 * 4;
    h.least = offset + rowBytes * h.height;
    return true;
}

bool DecodeBmp(std::span<const uint8_t> file, const BmpHeader &h, ImportImage &image, std::string &why)
{
    int w = 0, ht = 0, channels = 0;
    stbi_uc *pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &ht, &channels, 4);
    if (!pixels) {
        why = stbi_failure_reason();
        return false;
    }
    image.rgba.reset(pixels);  // stb's buffer is the picture: no copy
    image.width = static_cast<uint32_t>(w);
    image.height = static_cast<uint32_t>(ht);
    if (image.width != h.width || image.height != h.height) {
        why = "the header and the pixels disagree on the sides";
        return false;
    }
    return true;
}

}  // namespace

bool Import_ReadImageHeader(std::span<const uint8_t> file, ImageHeader &header, std::string &why)
{
    header = {};
    if (file.size() >= 24 && memcmp(file.data(), kPngSignature, 8) == 0) {
        if (memcmp(file.data() + 12, "IHDR", 4) != 0) {
            why = "a PNG without its header chunk";
            return false;
        }
        header = {ImageForm::Png, Bytes_ReadU32BE(file.data() + 16), Bytes_ReadU32BE(file.data() + 20)};
        return true;
    }
    if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF) {
        header.form = ImageForm::Jpeg;
        return DecodeJpeg(file, nullptr, header.width, header.height, why);
    }
    BmpHeader bmp;
    if (BmpParse(file, bmp)) {
        header = {ImageForm::Bmp, bmp.width, bmp.height};
        if (bmp.compressed)
            why = "a run-length or otherwise compressed BMP is not read";
        else if (bmp.least > file.size())
            why = "the file ends before its pixels do";
        return why.empty();
    }
    TgaHeader tga;
    if (TgaParse(file, tga)) {
        header = {ImageForm::Tga, tga.width, tga.height};
        if (!TgaLongEnough(file, tga))
            why = "the file ends before its pixels do";
        return why.empty();
    }
    why = "no PNG, JPEG or BMP signature, nor a TGA header";
    return false;
}

bool Import_DecodeImage(std::span<const uint8_t> file, const ImageHeader &header, ImportImage &image,
                        std::string &why)
{
    image = {};
    uint32_t width = 0, height = 0;
    bool ok = false;
    switch (header.form) {
    case ImageForm::Png:
        ok = DecodePng(file, image, why);
        break;
    case ImageForm::Jpeg:
        ok = DecodeJpeg(file, &image, width, height, why);
        break;
    case ImageForm::Tga: {
        TgaHeader tga;
        ok = TgaParse(file, tga) && TgaLongEnough(file, tga) && DecodeTga(file, tga, image, why);
        break;
    }
    case ImageForm::Bmp: {
        BmpHeader bmp;
        ok = BmpParse(file, bmp) && !bmp.compressed && bmp.least <= file.size() && DecodeBmp(file, bmp, image, why);
        break;
    }
    }
    if (ok && (image.width != header.width || image.height != header.height)) {
        why = "the header and the pixels disagree on the sides";
        ok = false;
    }
    if (!ok)
        image = {};
    return ok;
}
