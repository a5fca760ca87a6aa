#include "engine/pipeline_steps.h"

namespace lumafold {

ImageHandle DrawWatermark(ImageHandle image, const StepContext&) { return image; }

}  // namespace lumafold
