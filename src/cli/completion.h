// Shell completion scripts for bash and zsh, written from the option table
// itself, so that a new option or keyword completes without a second list
// to keep in step. `lumafold --completion=bash` prints one; the build
// installs both where the shells look for them.
#pragma once

#include <string>
#include <string_view>

#include "settings/format_registry.h"

namespace lumafold {

// The script for "bash" or "zsh" (any letter case); empty for another shell.
std::string CompletionScript(std::string_view shell, const FormatRegistry& formats);

}  // namespace lumafold
