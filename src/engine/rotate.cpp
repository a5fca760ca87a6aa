#include "engine/pipeline_steps.h"

namespace lumafold {

ImageHandle RotateImage(ImageHandle image, const StepContext&) { return image; }

}  // namespace lumafold
