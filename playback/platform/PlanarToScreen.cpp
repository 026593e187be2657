#include "playback/platform/PlanarToScreen.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace kirvano {
namespace {

// The nearest of `from` samples for each of `to` places, taken at the places' centres.
std::vector<int> NearestMap(int from, int to) {
    std::vector<int> map(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i)
        map[static_cast<std::size_t>(i)] = static_cast<int>(((2LL * i + 1) * from) / (2LL * to));
    return map;
}

// Asks for a source line's memory ahead of its use: the decoder wrote the frame a while
// ago, and reading every third line waits on memory line after line without it.
void Prefetch(const std::uint8_t* line, std::ptrdiff_t bytes) {
    for (std::ptrdiff_t offset = 0; offset < bytes; offset += 64)
        __builtin_prefetch(line + offset);
}

#if defined(__SSE2__)
// Sixteen samples by byte shuffles of the source bytes that their block spans.
__attribute__((target("ssse3"))) void
ShuffleBlocks(const std::uint8_t* line, const ShuffleGather& shuffle, std::uint8_t* row) {
    const auto* masks = reinterpret_cast<const __m128i*>(shuffle.masks.data());
    for (std::size_t block = 0; block < shuffle.starts.size(); ++block) {
        const std::uint8_t* from = line + shuffle.starts[block];
        __m128i samples = _mm_setzero_si128();
        for (int load = 0; load < shuffle.loads; ++load)
            samples = _mm_or_si128(
                samples, _mm_shuffle_epi8(
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * load)),
                             _mm_loadu_si128(masks++)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 16 * block), samples);
    }
}
#endif

void Gather(const std::uint8_t* line, const std::vector<int>& map, const ShuffleGather& shuffle,
            std::uint8_t* row) {
    std::size_t i = 0;
#if defined(__SSE2__)
    if (!shuffle.starts.empty()) {
        ShuffleBlocks(line, shuffle, row);
        i = shuffle.starts.size() * 16;
    }
#endif
    const int* index = map.data();
    const std::size_t count = map.size();
    for (; i < count; ++i)
        row[i] = line[index[i]];
}

} // namespace

ShuffleGather ShuffleGatherOf(const std::vector<int>& map, int sourceWidth) {
    ShuffleGather shuffle;
#if defined(__SSE2__)
    if (!__builtin_cpu_supports("ssse3"))
        return shuffle;
    // Blocks whose samples lie within four loads; the loads stay inside the source line.
    constexpr int kMaxLoads = 4;
    int blocks = 0;
    int loads = 1;
    for (std::size_t first = 0; first + 16 <= map.size(); first += 16) {
        const int start = map[first];
        const int needed = (map[first + 15] - start) / 16 + 1;
        if (needed > kMaxLoads || start + 16 * std::max(loads, needed) > sourceWidth)
            break;
        loads = std::max(loads, needed);
        ++blocks;
    }
    // Every block makes as many loads as the widest one needs: the last blocks may then
    // reach past the line's end, and are left to the byte-by-byte loop.
    while (blocks > 0 && map[static_cast<std::size_t>(blocks - 1) * 16] + 16 * loads > sourceWidth)
        --blocks;
    if (blocks == 0)
        return shuffle;
    shuffle.loads = loads;
    shuffle.masks.resize(static_cast<std::size_t>(blocks * loads) * 16);
    for (int block = 0; block < blocks; ++block) {
        const int start = map[static_cast<std::size_t>(block) * 16];
        shuffle.starts.push_back(start);
        for (int load = 0; load < loads; ++load)
            for (int lane = 0; lane < 16; ++lane) {
                const int offset =
                    map[static_cast<std::size_t>(block * 16 + lane)] - start - 16 * load;
                shuffle.masks[static_cast<std::size_t>((block * loads + load) * 16 + lane)] =
                    offset >= 0 && offset < 16 ? static_cast<std::uint8_t>(offset) : 0x80;
            }
    }
#else
    (void)map;
    (void)sourceWidth;
#endif
    return shuffle;
}

bool YuvFactorsOf(const GstVideoInfo& info, YuvFactors& f) {
    gdouble kr = 0;
    gdouble kb = 0;
    if (!gst_video_color_matrix_get_Kr_Kb(info.colorimetry.matrix, &kr, &kb))
        return false;
    const bool full = info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    const double yScale = full ? 1.0 : 255.0 / 219.0;
    const double cScale = full ? 1.0 : 255.0 / 224.0;
    const double kg = 1.0 - kr - kb;
    auto fixed = [](double v) { return static_cast<int>(std::lround(v * 64.0)); };
    f.yOffset = full ? 0 : 16;
    f.yScale = static_cast<int>(std::lround(yScale * 64.0 * 256.0));
    f.rv = fixed(cScale * 2.0 * (1.0 - kr));
    f.gu = fixed(cScale * 2.0 * (1.0 - kb) * kb / kg);
    f.gv = fixed(cScale * 2.0 * (1.0 - kr) * kr / kg);
    f.bu = fixed(cScale * 2.0 * (1.0 - kb));
    return true;
}

void YuvRowToRgb32(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                   std::uint32_t* out, int width, const YuvFactors& f) {
    int x = 0;
#if defined(__SSE2__)
    // Sixteen pixels at a time in 16-bit lanes; the sums saturate, and whatever saturates
    // is past 255 anyway.
    const __m128i zero = _mm_setzero_si128();
    const __m128i yOffset = _mm_set1_epi8(static_cast<char>(f.yOffset));
    const __m128i yScale = _mm_set1_epi16(static_cast<short>(f.yScale));
    const __m128i half = _mm_set1_epi16(128);
    const __m128i round = _mm_set1_epi16(32);
    const __m128i rv = _mm_set1_epi16(static_cast<short>(f.rv));
    const __m128i gu = _mm_set1_epi16(static_cast<short>(f.gu));
    const __m128i gv = _mm_set1_epi16(static_cast<short>(f.gv));
    const __m128i bu = _mm_set1_epi16(static_cast<short>(f.bu));
    const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
    auto channel = [&](__m128i luma, __m128i plus, __m128i minus) {
        return _mm_srai_epi16(
            _mm_adds_epi16(_mm_subs_epi16(_mm_adds_epi16(luma, plus), minus), round), 6);
    };
    for (; x + 16 <= width; x += 16) {
        // (Y - offset) << 8 times the scale, high half: Y' in 1/64; below the offset
        // (blacker than black) it is negative.
        const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        const __m128i above = _mm_subs_epu8(samples, yOffset);
        const __m128i below = _mm_subs_epu8(yOffset, samples);
        const __m128i yLow = _mm_sub_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, above), yScale),
                                           _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, below), yScale));
        const __m128i yHigh =
            _mm_sub_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(zero, above), yScale),
                          _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, below), yScale));
        const __m128i cu = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2)), zero),
            half);
        const __m128i cv = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2)), zero),
            half);
        const __m128i red = _mm_mullo_epi16(cv, rv);
        const __m128i green = _mm_add_epi16(_mm_mullo_epi16(cu, gu), _mm_mullo_epi16(cv, gv));
        const __m128i blue = _mm_mullo_epi16(cu, bu);
        // Each chroma sample serves two pixels.
        const __m128i r = _mm_packus_epi16(channel(yLow, _mm_unpacklo_epi16(red, red), zero),
                                           channel(yHigh, _mm_unpackhi_epi16(red, red), zero));
        const __m128i g = _mm_packus_epi16(channel(yLow, zero, _mm_unpacklo_epi16(green, green)),
                                           channel(yHigh, zero, _mm_unpackhi_epi16(green, green)));
        const __m128i b = _mm_packus_epi16(channel(yLow, _mm_unpacklo_epi16(blue, blue), zero),
                                           channel(yHigh, _mm_unpackhi_epi16(blue, blue), zero));
        // Memory order B, G, R, 0xFF: RGB32 on a little-endian machine.
        const __m128i bgLow = _mm_unpacklo_epi8(b, g);
        const __m128i bgHigh = _mm_unpackhi_epi8(b, g);
        const __m128i raLow = _mm_unpacklo_epi8(r, opaque);
        const __m128i raHigh = _mm_unpackhi_epi8(r, opaque);
        auto* target = reinterpret_cast<__m128i*>(out + x);
        _mm_storeu_si128(target, _mm_unpacklo_epi16(bgLow, raLow));
        _mm_storeu_si128(target + 1, _mm_unpackhi_epi16(bgLow, raLow));
        _mm_storeu_si128(target + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
        _mm_storeu_si128(target + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
    }
#endif
    for (; x < width; ++x) {
        const int luma = ((std::max(y[x] - f.yOffset, 0) << 8) * f.yScale >> 16) -
                         ((std::max(f.yOffset - y[x], 0) << 8) * f.yScale >> 16);
        const int cu = u[x / 2] - 128;
        const int cv = v[x / 2] - 128;
        auto level = [](int sum) {
            return static_cast<std::uint32_t>(std::clamp((std::min(sum, 32767) + 32) >> 6, 0, 255));
        };
        const std::uint32_t r = level(luma + f.rv * cv);
        const std::uint32_t g = level(luma - f.gu * cu - f.gv * cv);
        const std::uint32_t b = level(luma + f.bu * cu);
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

bool PlanarToScreen::Handles(const GstVideoInfo& info) {
    const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
    YuvFactors unused;
    return (format == GST_VIDEO_FORMAT_I420 || format == GST_VIDEO_FORMAT_YV12) &&
           !GST_VIDEO_INFO_IS_INTERLACED(&info) && YuvFactorsOf(info, unused);
}

void PlanarToScreen::Prepare(const GstVideoInfo& info, QSize size) {
    if (out_ == size && gst_video_info_is_equal(&in_, &info))
        return;
    in_ = info;
    out_ = size;
    YuvFactorsOf(info, factors_);
    const int width = GST_VIDEO_INFO_WIDTH(&info);
    const int height = GST_VIDEO_INFO_HEIGHT(&info);
    const int chromaWidth = (size.width() + 1) / 2;
    xMap_ = NearestMap(width, size.width());
    yMap_ = NearestMap(height, size.height());
    chromaXMap_ = NearestMap((width + 1) / 2, chromaWidth);
    chromaYMap_ = NearestMap((height + 1) / 2, (size.height() + 1) / 2);
    xShuffle_ = ShuffleGatherOf(xMap_, width);
    chromaXShuffle_ = ShuffleGatherOf(chromaXMap_, (width + 1) / 2);
    // Room past the end: the row conversion reads whole groups of samples.
    yRow_.assign(static_cast<std::size_t>(size.width()) + 16, 0);
    uRow_.assign(static_cast<std::size_t>(chromaWidth) + 16, 128);
    vRow_.assign(static_cast<std::size_t>(chromaWidth) + 16, 128);
}

bool PlanarToScreen::Convert(const GstVideoFrame& source, QImage& picture) {
    const QSize size = picture.size();
    if (!Handles(source.info) || picture.format() != QImage::Format_RGB32 || size.isEmpty() ||
        size.width() > GST_VIDEO_FRAME_WIDTH(&source) ||
        size.height() > GST_VIDEO_FRAME_HEIGHT(&source))
        return false;
    Prepare(source.info, size);
    auto plane = [&](int component) {
        return static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&source, component));
    };
    auto stride = [&](int component) {
        return static_cast<std::ptrdiff_t>(GST_VIDEO_FRAME_COMP_STRIDE(&source, component));
    };
    std::uint8_t* target = picture.bits();
    const auto targetStride = static_cast<std::ptrdiff_t>(picture.bytesPerLine());
    const int width = GST_VIDEO_FRAME_WIDTH(&source);
    const int chromaWidth = (width + 1) / 2;
    // Two lines ahead; the first two are asked for here.
    for (int line = 0; line < std::min(2, size.height()); ++line)
        Prefetch(plane(GST_VIDEO_COMP_Y) +
                     yMap_[static_cast<std::size_t>(line)] * stride(GST_VIDEO_COMP_Y),
                 width);
    for (int line = 0; line < size.height(); ++line) {
        if (line + 2 < size.height()) {
            const int next = yMap_[static_cast<std::size_t>(line + 2)];
            Prefetch(plane(GST_VIDEO_COMP_Y) + next * stride(GST_VIDEO_COMP_Y), width);
            if (line % 2 == 0) {
                const int nextChroma = chromaYMap_[static_cast<std::size_t>((line + 2) / 2)];
                Prefetch(plane(GST_VIDEO_COMP_U) + nextChroma * stride(GST_VIDEO_COMP_U),
                         chromaWidth);
                Prefetch(plane(GST_VIDEO_COMP_V) + nextChroma * stride(GST_VIDEO_COMP_V),
                         chromaWidth);
            }
        }
        // Two picture lines share a chroma line.
        if (line % 2 == 0) {
            const int chromaLine = chromaYMap_[static_cast<std::size_t>(line / 2)];
            Gather(plane(GST_VIDEO_COMP_U) + chromaLine * stride(GST_VIDEO_COMP_U), chromaXMap_,
                   chromaXShuffle_, uRow_.data());
            Gather(plane(GST_VIDEO_COMP_V) + chromaLine * stride(GST_VIDEO_COMP_V), chromaXMap_,
                   chromaXShuffle_, vRow_.data());
        }
        const int lumaLine = yMap_[static_cast<std::size_t>(line)];
        Gather(plane(GST_VIDEO_COMP_Y) + lumaLine * stride(GST_VIDEO_COMP_Y), xMap_, xShuffle_,
               yRow_.data());
        YuvRowToRgb32(yRow_.data(), uRow_.data(), vRow_.data(),
                      reinterpret_cast<std::uint32_t*>(target + line * targetStride), size.width(),
                      factors_);
    }
    return true;
}

} // namespace kirvano
