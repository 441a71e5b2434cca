#include "core/imaging/foreign/RowStream.h"

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

} // namespace

bool StreamRows(const vips::VImage& image, const RowConsumer& consume, std::string& error) {
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
