#include "engine/pipeline_steps.h"

namespace lumafold {

ImageHandle DrawFrame(ImageHandle image, const StepContext&) { return image; }

}  // namespace lumafold
