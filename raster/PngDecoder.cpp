#include "raster/PngDecoder.h"

#include "raster/BitmapRows.h"
#include "raster/MemBitmap.h"
#include "raster/PngLoader.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <png.h>

namespace
{
// Everything the decode touches after libpng's error return point is set lives here, in
// memory: after a long jump, values held in registers of the jumping-back frame are lost.
struct DecodeState
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    // The memory read cursor: next unread byte and bytes remaining.
    const unsigned char* next = nullptr;
    std::size_t remaining = 0;
    std::FILE* file = nullptr;
    RasterBitmap* given = nullptr;
    MemBitmap* volatile created = nullptr;
    png_bytep* volatile rows = nullptr;
    RasterBitmap* volatile target = nullptr;
    volatile int width = 0;
    volatile int height = 0;
};

// libpng's read callback for memory sources. The destination is zero-filled first, so a
// read past the end yields zero bytes and libpng then fails on the damaged stream.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* state = static_cast<DecodeState*>(png_get_io_ptr(png));
    std::memset(out, 0, count);
    const std::size_t n = count < state->remaining ? count : state->remaining;
    if (n > 0)
    {
        std::memcpy(out, state->next, n);
        state->next += n;
        state->remaining -= n;
    }
}

// Requests the transformations that turn every colour type and depth into 4 bytes per
// pixel in the order alpha, red, green, blue (no gamma, no compositing). The order of the
// requests matters: the tRNS test must see the colour type before gray expansion.
void RequestArgb(png_structp png, png_infop info, int bitDepth, int colourType)
{
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
    {
        png_set_tRNS_to_alpha(png);
        colourType |= PNG_COLOR_MASK_ALPHA;
    }
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (bitDepth < 8)
        png_set_packing(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (colourType & PNG_COLOR_MASK_ALPHA)
        png_set_swap_alpha(png);
    else
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
}

// The part of the decode that libpng may leave by its long jump. Answers false on a
// failure detected here; a libpng error returns false through the jump.
bool DecodeGuarded(DecodeState* state)
{
    if (setjmp(png_jmpbuf(state->png)))
        return false;

    if (state->file)
        png_init_io(state->png, state->file);
    else
        png_set_read_fn(state->png, state, ReadFromMemory);
    png_read_info(state->png, state->info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(state->png, state->info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    RequestArgb(state->png, state->info, bitDepth, colourType);

    // Let libpng work out the transformed row size before anything is allocated: each row
    // buffer holds exactly width * 4 bytes of pixels, so any other size is refused rather
    // than written past the row. (The user limits keep width and height within int.)
    png_set_interlace_handling(state->png);
    png_read_update_info(state->png, state->info);
    if (png_get_rowbytes(state->png, state->info) != static_cast<png_size_t>(width) * 4)
        return false;
    state->width = static_cast<int>(width);
    state->height = static_cast<int>(height);

    RasterBitmap* target = state->given;
    if (target)
        target->SetSize(state->width, state->height);
    else
    {
        MemBitmap* made = new (std::nothrow) MemBitmap(state->width, state->height);
        state->created = made;
        target = made;
    }
    if (!target || !target->PixelData() || target->Width() != state->width ||
        target->Height() != state->height || target->RowStride() < state->width)
        return false;
    state->target = target;

    png_bytep* rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    state->rows = rows;
    if (!rows)
        return false;
    const BitmapRows walk = RowsAt(*target, 0, 0);
    for (int y = 0; y < state->height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(walk.Row(y));

    png_read_image(state->png, rows); // performs the interlace passes itself
    return true;
}

// Turns the decoded bytes alpha, red, green, blue of every pixel into the native word
// 0xAARRGGBB (in memory: blue, green, red, alpha).
void ArgbBytesToPixels(RasterBitmap& bitmap)
{
    const BitmapRows walk = RowsAt(bitmap, 0, 0);
    for (int y = 0; y < bitmap.Height(); ++y)
    {
        PackedPixel* row = walk.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x)
        {
            const unsigned char* b = reinterpret_cast<const unsigned char*>(row + x);
            row[x] = (PackedPixel{b[0]} << 24) | (PackedPixel{b[1]} << 16) | (PackedPixel{b[2]} << 8) | b[3];
        }
    }
}
} // namespace

RasterBitmap* DecodePng(const PngSource& source, RasterBitmap* target)
{
    DecodeState state;
    state.next = source.data;
    state.remaining = source.size;
    state.file = source.file;
    state.given = target;

    // The installed library's own version string: libpng refuses to create a read
    // structure for a header of another series.
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!state.png)
        return nullptr;
    state.info = png_create_info_struct(state.png);
    if (!state.info)
    {
        png_destroy_read_struct(&state.png, nullptr, nullptr);
        return nullptr;
    }
    // libpng rejects larger images while reading the header, before any allocation here.
    png_set_user_limits(state.png, kPngMaxSide, kPngMaxSide);

    const bool decoded = DecodeGuarded(&state);
    png_destroy_read_struct(&state.png, &state.info, nullptr);
    std::free(state.rows);
    if (!decoded)
    {
        delete state.created;
        return nullptr;
    }
    ArgbBytesToPixels(*state.target);
    return state.target;
}
