#include "engine/pipeline_steps.h"

namespace lumafold {

ImageHandle FlipImage(ImageHandle image, const StepContext&) { return image; }

}  // namespace lumafold
