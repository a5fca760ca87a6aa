#include "settings/string_catalog.h"

namespace lumafold {

StringCatalog::StringCatalog() = default;

}  // namespace lumafold
