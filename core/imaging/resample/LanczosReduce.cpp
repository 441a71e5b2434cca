#include "core/imaging/resample/LanczosReduce.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <tuple>
#include <vector>

#include <vips/vector.h>

namespace kovi {
namespace {

using vips::VImage;

// libvips' fixed points: mask positions between two pixels, the coefficients of its plain code
// (12 fraction bits) and those of its vector code for 8-bit samples (6 fraction bits, 16-bit
// saturating sums).
constexpr int kSteps = 64;
constexpr int kCoefficientShift = 12;
constexpr int kVectorScale = 64;
constexpr int kVectorShift = 6;
constexpr int kLobes = 3;
constexpr double kPi = 3.14159265358979323846;
// resize lets each reduce box-shrink first by whole factors of at least this gap.
constexpr double kResizeGap = 2.0;
// The vertical reduce of a picture read top to bottom sits behind a line cache of this many
// rows; each band of rows starts its sampling position afresh.
constexpr int kLineCacheRows = 10;

double LanczosWeight(double x) {
    if (x == 0.0)
        return 1.0;
    if (x < -kLobes || x > kLobes)
        return 0.0;
    return static_cast<double>(kLobes) * std::sin(kPi * x) *
           std::sin(kPi * x / static_cast<double>(kLobes)) / (kPi * kPi * x * x);
}

std::vector<double> LanczosMask(double shrink, double position, int points) {
    const double half = position + points / 2.0 - 1;
    std::vector<double> mask(static_cast<std::size_t>(points));
    double sum = 0;
    for (int i = 0; i < points; ++i) {
        mask[static_cast<std::size_t>(i)] = LanczosWeight((i - half) / shrink);
        sum += mask[static_cast<std::size_t>(i)];
    }
    for (double& weight : mask)
        weight /= sum;
    return mask;
}

// Rounds the mask to whole multiples of 1/scale that add up to its rounded sum: the scale is
// searched for, and what is still missing is spread from the first coefficient on.
std::vector<int> ToFixedPoint(const std::vector<double>& mask, int scale) {
    const int count = static_cast<int>(mask.size());
    double total = 0.0;
    for (const double weight : mask)
        total += weight;
    const int target = static_cast<int>(std::rint(total * scale));
    double high = scale + (count + 1) / 2;
    double low = scale - (count + 1) / 2;
    std::vector<int> fixed(mask.size());
    int sum = 0;
    do {
        const double guess = (high + low) / 2.0;
        sum = 0;
        for (std::size_t i = 0; i < mask.size(); ++i) {
            fixed[i] = static_cast<int>(std::rint(mask[i] * guess));
            sum += fixed[i];
        }
        if (sum == target)
            break;
        if (sum < target)
            low = guess;
        else
            high = guess;
    } while (high - low > 0.01);
    if (sum != target) {
        const int each = (target - sum) / count;
        const int extra = (target - sum) % count;
        for (int& coefficient : fixed)
            coefficient += each;
        for (int i = 0; i < std::abs(extra); ++i)
            fixed[static_cast<std::size_t>(i)] += extra > 0 ? 1 : -1;
    }
    return fixed;
}

// One side's reduce: for each output pixel the first input pixel under its mask (counted in the
// picture extended by copies of its edge) and which of the masks applies.
struct Axis {
    int inSize = 0;
    int outSize = 0;
    int points = 0;
    int before = 0;                // edge copies in front of the first pixel
    int reach = 0;                 // pixels of the extended picture the masks reach
    bool saturates = false;        // whether a 16-bit sum could reach its limits
    std::vector<int> coefficients; // (kSteps + 1) masks of `points` each
    std::vector<int> first;
    std::vector<int> mask;

    const int* MaskOf(int out) const {
        return coefficients.data() +
               static_cast<std::size_t>(mask[static_cast<std::size_t>(out)]) * points;
    }
    int Clamped(int extended) const { return std::clamp(extended - before, 0, inSize - 1); }
};

void PlaceSample(Axis& axis, double position) {
    const int scaled = static_cast<int>(position * kSteps * 2);
    axis.first.push_back(static_cast<int>(position));
    axis.mask.push_back(((scaled & (kSteps * 2 - 1)) + 1) >> 1);
}

// Whether no mask can take a 16-bit product or sum past its range, so that plain sums give what
// saturating ones would.
bool FitsSixteenBits(const Axis& axis, int bias) {
    for (std::size_t at = 0; at < axis.coefficients.size();
         at += static_cast<std::size_t>(axis.points)) {
        int highest = bias;
        int lowest = bias;
        for (int i = 0; i < axis.points; ++i) {
            const int weight = axis.coefficients[at + static_cast<std::size_t>(i)];
            if (weight * 255 > INT16_MAX || weight * 255 < INT16_MIN)
                return false;
            (weight > 0 ? highest : lowest) += weight * 255;
        }
        if (highest > INT16_MAX || lowest < INT16_MIN)
            return false;
    }
    return true;
}

// How libvips' resize, given `scale` for a side of inSize pixels, reduces it; empty when it
// would not reduce that side or would box-shrink it first.
std::optional<Axis> PlanAxis(int inSize, double scale, bool vertical, bool vector) {
    scale = std::max(scale, 1.0 / inSize);
    if (!(scale < 1.0))
        return std::nullopt;
    const double shrink = 1.0 / scale;
    Axis axis;
    axis.inSize = inSize;
    axis.outSize = static_cast<int>(static_cast<double>(inSize) / shrink + 0.5);
    if (axis.outSize <= 0 ||
        std::floor(static_cast<double>(inSize) / axis.outSize / kResizeGap) > 1.0)
        return std::nullopt;
    axis.points = static_cast<int>(2 * std::rint(kLobes * shrink) + 1);
    axis.before = static_cast<int>(std::ceil(axis.points / 2.0)) - 1;
    const double extra = axis.outSize * shrink - inSize;
    const double offset = (1 + extra) / 2.0 - 1;
    for (int step = 0; step <= kSteps; ++step) {
        const auto mask = LanczosMask(
            shrink, static_cast<double>(static_cast<float>(step) / kSteps), axis.points);
        if (vertical && vector) {
            const auto fixed = ToFixedPoint(mask, kVectorScale);
            axis.coefficients.insert(axis.coefficients.end(), fixed.begin(), fixed.end());
        } else {
            for (const double weight : mask)
                axis.coefficients.push_back(static_cast<int>(weight * (1 << kCoefficientShift)));
        }
    }
    double position = 0.5 * shrink - 0.5 - offset;
    for (int out = 0; out < axis.outSize; ++out) {
        if (vertical && out % kLineCacheRows == 0)
            position = (out + 0.5) * shrink - 0.5 - offset;
        PlaceSample(axis, position);
        position += shrink;
    }
    const auto [lowest, highest] = std::minmax_element(axis.first.begin(), axis.first.end());
    if (*lowest < 0)
        return std::nullopt;
    axis.reach = std::max(axis.before + inSize, *highest + axis.points);
    axis.saturates = vertical && vector && !FitsSixteenBits(axis, kVectorScale / 2);
    return axis;
}

// Factors repeat across a folder of pictures of one size, and building a plan takes longer than
// using it on a thumbnail.
std::shared_ptr<const Axis> SharedPlan(int inSize, double scale, bool vertical, bool vector) {
    using Key = std::tuple<int, double, bool, bool>;
    static std::mutex lock;
    static std::map<Key, std::shared_ptr<const Axis>> plans;
    constexpr std::size_t kMaxPlans = 64;
    const Key key{inSize, scale, vertical, vector};
    const std::lock_guard<std::mutex> held(lock);
    if (const auto found = plans.find(key); found != plans.end())
        return found->second;
    auto axis = PlanAxis(inSize, scale, vertical, vector);
    if (!axis)
        return nullptr;
    if (plans.size() >= kMaxPlans)
        plans.clear();
    return plans[key] = std::make_shared<const Axis>(std::move(*axis));
}

// How a side's sums are started and brought back to 8 bits: libvips' plain code rounds 12
// fraction bits; its vector code starts at half of 6 fraction bits, multiplies in 16 bits and
// keeps the low half, and adds with saturation.
struct Arithmetic {
    int bias;
    int shift;
    bool saturating;
};

std::uint8_t ToSample(int sum, int shift) {
    return static_cast<std::uint8_t>(std::clamp(sum >> shift, 0, 255));
}

// One output row of the vertical reduce over the rows under its mask.
void ReduceDown(const std::uint8_t* const* rows, const int* mask, int points, Arithmetic how,
                std::size_t samples, int* sums, std::uint8_t* line) {
    if (how.saturating) {
        for (std::size_t at = 0; at < samples; ++at) {
            int sum = how.bias;
            for (int i = 0; i < points; ++i)
                sum = std::clamp(sum + static_cast<std::int16_t>(rows[i][at] * mask[i]), INT16_MIN,
                                 INT16_MAX);
            line[at] = ToSample(sum, how.shift);
        }
        return;
    }
    int* __restrict total = sums;
    std::fill(total, total + samples, how.bias);
    for (int i = 0; i < points; ++i) {
        const std::uint8_t* __restrict row = rows[i];
        const int weight = mask[i];
        for (std::size_t at = 0; at < samples; ++at)
            total[at] += weight * row[at];
    }
    for (std::size_t at = 0; at < samples; ++at)
        line[at] = ToSample(sums[at], how.shift);
}

struct Reduction {
    VImage input;
    std::shared_ptr<const Axis> across;
    std::shared_ptr<const Axis> down;
    Arithmetic downArithmetic;
};

void FreeReduction(VipsImage*, gpointer reduction) {
    delete static_cast<Reduction*>(reduction);
}

void ReduceRows(VipsRegion* out, VipsRegion* in, const Reduction& job) {
    const VipsRect& area = out->valid;
    const Axis& down = *job.down;
    const Axis& across = *job.across;
    const int bands = job.input.bands();
    const auto samples = static_cast<std::size_t>(across.inSize) * bands;
    // A reduced row with copies of its edge pixels on both sides, as far as the masks reach.
    std::vector<std::uint8_t> extended(static_cast<std::size_t>(across.reach) * bands);
    std::uint8_t* line = extended.data() + static_cast<std::size_t>(across.before) * bands;
    std::uint8_t* lineEnd = line + samples;
    std::vector<int> sums(samples);
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(down.points));
    const int plainBias = 1 << (kCoefficientShift - 1);
    for (int y = area.top; y < area.top + area.height; ++y) {
        const int first = down.first[static_cast<std::size_t>(y)];
        for (int i = 0; i < down.points; ++i)
            rows[static_cast<std::size_t>(i)] = VIPS_REGION_ADDR(in, 0, down.Clamped(first + i));
        ReduceDown(rows.data(), down.MaskOf(y), down.points, job.downArithmetic, samples,
                   sums.data(), line);
        for (std::uint8_t* copy = extended.data(); copy < line; copy += bands)
            std::copy(line, line + bands, copy);
        for (std::uint8_t* copy = lineEnd; copy < extended.data() + extended.size(); copy += bands)
            std::copy(lineEnd - bands, lineEnd, copy);
        auto* target = VIPS_REGION_ADDR(out, area.left, y);
        for (int x = area.left; x < area.left + area.width; ++x) {
            const std::uint8_t* pixels =
                extended.data() +
                static_cast<std::size_t>(across.first[static_cast<std::size_t>(x)]) * bands;
            const int* weights = across.MaskOf(x);
            for (int band = 0; band < bands; ++band) {
                int sum = plainBias;
                for (int i = 0; i < across.points; ++i)
                    sum += weights[i] * pixels[i * bands + band];
                *target++ = ToSample(sum, kCoefficientShift);
            }
        }
    }
}

// Called by libvips, perhaps from a worker thread: nothing may escape it.
int Generate(VipsRegion* out, void* sequence, void*, void* reduction, gboolean*) {
    auto* in = static_cast<VipsRegion*>(sequence);
    const auto& job = *static_cast<const Reduction*>(reduction);
    const VipsRect& area = out->valid;
    const Axis& down = *job.down;
    int top = down.inSize;
    int bottom = 0;
    for (int y = area.top; y < area.top + area.height; ++y) {
        top = std::min(top, down.Clamped(down.first[static_cast<std::size_t>(y)]));
        bottom = std::max(bottom,
                          down.Clamped(down.first[static_cast<std::size_t>(y)] + down.points - 1));
    }
    VipsRect needed{0, top, job.across->inSize, bottom - top + 1};
    if (vips_region_prepare(in, &needed) != 0)
        return -1;
    try {
        ReduceRows(out, in, job);
        return 0;
    } catch (...) {
        vips_error("reduce", "out of memory");
        return -1;
    }
}

std::optional<VImage> Reduce(const VImage& page, int width, int height, bool vector) {
    if (page.format() != VIPS_FORMAT_UCHAR || page.coding() != VIPS_CODING_NONE ||
        vips_image_get_typeof(page.get_image(), VIPS_META_SEQUENTIAL) == 0)
        return std::nullopt;
    auto across =
        SharedPlan(page.width(), static_cast<double>(width) / page.width(), false, vector);
    auto down =
        SharedPlan(page.height(), static_cast<double>(height) / page.height(), true, vector);
    if (!across || !down || across->outSize != width || down->outSize != height)
        return std::nullopt;
    VipsImage* out = vips_image_new();
    VImage result(out);
    if (vips_image_pipelinev(out, VIPS_DEMAND_STYLE_THINSTRIP, page.get_image(), nullptr) != 0)
        throw vips::VError();
    out->Xsize = width;
    out->Ysize = height;
    const Arithmetic arithmetic =
        vector ? Arithmetic{kVectorScale / 2, kVectorShift, down->saturates}
               : Arithmetic{1 << (kCoefficientShift - 1), kCoefficientShift, false};
    auto job = std::make_unique<Reduction>(
        Reduction{page, std::move(across), std::move(down), arithmetic});
    if (vips_image_generate(out, vips_start_one, Generate, vips_stop_one, page.get_image(),
                            job.get()) != 0)
        throw vips::VError();
    g_signal_connect(out, "postclose", G_CALLBACK(FreeReduction), job.release());
    return result;
}

std::vector<std::uint8_t> PixelsOf(const VImage& image) {
    std::size_t size = 0;
    const std::unique_ptr<void, void (*)(void*)> memory(image.write_to_memory(&size), g_free);
    const auto* bytes = static_cast<const std::uint8_t*>(memory.get());
    return {bytes, bytes + size};
}

// Whether this libvips reduces as this file does, tried on pictures of noise at factors whose
// sampling positions fall between the steps and across the line cache's bands.
bool AgreesWithLibvips() {
    struct Probe {
        int width, height, bands, toWidth, toHeight;
    };
    constexpr Probe kProbes[] = {
        {61, 47, 3, 41, 31}, {97, 53, 1, 40, 23}, {33, 90, 4, 25, 67}, {40, 193, 1, 30, 192}};
    std::minstd_rand noise(20261207);
    const bool vector = vips_vector_isenabled() != 0;
    try {
        for (const Probe& probe : kProbes) {
            std::vector<std::uint8_t> pixels(static_cast<std::size_t>(probe.width) * probe.height *
                                             probe.bands);
            for (auto& sample : pixels)
                sample = static_cast<std::uint8_t>(noise());
            VImage page(vips_image_new_from_memory_copy(pixels.data(), pixels.size(), probe.width,
                                                        probe.height, probe.bands,
                                                        VIPS_FORMAT_UCHAR));
            page.set(VIPS_META_SEQUENTIAL, 1);
            const auto ours = Reduce(page, probe.toWidth, probe.toHeight, vector);
            const VImage theirs =
                page.resize(static_cast<double>(probe.toWidth) / probe.width,
                            VImage::option()
                                ->set("vscale", static_cast<double>(probe.toHeight) / probe.height)
                                ->set("kernel", VIPS_KERNEL_LANCZOS3));
            if (!ours || theirs.width() != probe.toWidth || theirs.height() != probe.toHeight ||
                PixelsOf(*ours) != PixelsOf(theirs))
                return false;
        }
        return true;
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    }
}

} // namespace

std::optional<VImage> ReduceAsResizeWould(const VImage& page, int width, int height) {
    static const bool agrees = AgreesWithLibvips();
    if (!agrees)
        return std::nullopt;
    return Reduce(page, width, height, vips_vector_isenabled() != 0);
}

} // namespace kovi
