#include "settings/format_registry.h"

namespace lumafold {

FormatRegistry::FormatRegistry() = default;

}  // namespace lumafold
