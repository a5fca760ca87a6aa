#include "engine/pipeline_steps.h"

namespace lumafold {

ImageHandle AdjustColours(ImageHandle image, const StepContext&) { return image; }

ImageHandle ApplyGreyscale(ImageHandle image, const StepContext&) { return image; }

ImageHandle ApplyThreshold(ImageHandle image, const StepContext&) { return image; }

}  // namespace lumafold
