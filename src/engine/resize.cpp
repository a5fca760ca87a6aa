#include "engine/pipeline_steps.h"

namespace lumafold {

ImageHandle ResizeImage(ImageHandle image, const StepContext&) { return image; }

}  // namespace lumafold
