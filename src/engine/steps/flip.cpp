// Flip step: mirrors the image in place, left-right first, then upside down.
#include <FreeImage.h>

#include "engine/steps/pipeline_steps.h"

namespace lumafold {

ImageHandle FlipImage(ImageHandle image, const StepContext& context) {
  const TransformSettings& transform = context.settings.transform;
  if (!image) return image;
  if (transform.doImageFlipHorizontal) FreeImage_FlipHorizontal(image.get());
  if (transform.doImageFlipVertical) FreeImage_FlipVertical(image.get());
  return image;
}

}  // namespace lumafold
