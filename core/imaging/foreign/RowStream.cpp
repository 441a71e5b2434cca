#include "core/imaging/foreign/RowStream.h"

#include <memory>
#include <vector>

#include "core/imaging/base/VipsRuntime.h"

namespace kovi {
namespace {

struct StreamContext {
    const RowConsumer* consume = nullptr;
    std::vector<const std::uint8_t*> rows;
    bool consumerStopped = false;
};

// Called by libvips from its write thread: nothing may escape it.
int ConsumeStrip(VipsRegion* region, VipsRect* area, void* opaque) {
    auto* context = static_cast<StreamContext*>(opaque);
    try {
        context->rows.resize(static_cast<std::size_t>(area->height));
        for (int y = 0; y < area->height; ++y)
            context->rows[static_cast<std::size_t>(y)] =
                VIPS_REGION_ADDR(region, area->left, area->top + y);
        if ((*context->consume)(context->rows.data(), area->height))
            return 0;
    } catch (...) {
    }
    context->consumerStopped = true;
    return -1;
}

// A thumbnail's strips took longer to hand between threads than to compute; computed in one
// piece, nothing waits.
bool ComputeInOnePiece(const vips::VImage& image, const RowConsumer& consume, std::string& error) {
    const std::unique_ptr<VipsRegion, void (*)(VipsRegion*)> region(
        vips_region_new(image.get_image()), [](VipsRegion* held) { g_object_unref(held); });
    VipsRect all{0, 0, image.width(), image.height()};
    if (vips_region_prepare(region.get(), &all) != 0) {
        error = TakeVipsError("the image could not be decoded");
        return false;
    }
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(all.height));
    for (int y = 0; y < all.height; ++y)
        rows[static_cast<std::size_t>(y)] = VIPS_REGION_ADDR(region.get(), 0, y);
    return consume(rows.data(), all.height);
}

} // namespace

bool StreamRows(const vips::VImage& image, const RowConsumer& consume, std::string& error,
                Computing computing) {
    if (computing == Computing::InOnePiece)
        return ComputeInOnePiece(image, consume, error);
    StreamContext context;
    context.consume = &consume;
    if (vips_sink_disc(image.get_image(), ConsumeStrip, &context) == 0)
        return true;
    if (context.consumerStopped)
        vips_error_clear();
    else
        error = TakeVipsError("the image could not be decoded");
    return false;
}

} // namespace kovi
