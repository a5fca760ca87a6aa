// Built-in English texts looked up by group and key.
#pragma once

namespace lumafold {

class StringCatalog {
 public:
  StringCatalog();
};

}  // namespace lumafold
