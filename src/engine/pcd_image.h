// Turns a picture of the built-in Photo CD decoder into a FreeImage bitmap of
// the matching type: 8-bit display values into a 24-bit bitmap, 16-bit ones
// into FIT_RGB16 and linear light into FIT_RGBF, so that the pipeline and
// the writers keep the decoder's precision.
#pragma once

#include "engine/image.h"
#include "engine/pcd_decoder.h"

namespace lumafold {

// Empty when the picture's buffer does not hold width * height * 3 values of
// its rendering or the bitmap cannot be allocated. The picture's buffer is
// released once it is copied, so at most two copies of the pixels exist.
ImageHandle PictureToBitmap(pcd::Picture&& picture);

}  // namespace lumafold
