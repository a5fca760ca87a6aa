// The maker's addresses. Only their roles and the way the program builds
// the opened texts are fixed; the host is a build-time default, and the
// update check may be pointed elsewhere through LUMAFOLD_UPDATE_URL.
#pragma once

namespace lumafold {

inline constexpr const char* kMakerWebText = "www.quorvane.com";
inline constexpr const char* kMakerWebAddress = "http://www.quorvane.com/";
inline constexpr const char* kSupportMailAddress = "support@quorvane.com";
inline constexpr const char* kHomepageAddress = "http://www.quorvane.com/lumafold/";
// The converter search appends "<from>-<to>/".
inline constexpr const char* kConverterSearchBase = "http://www.quorvane.com/converters/find/";
inline constexpr const char* kUninstallPageAddress = "http://www.quorvane.com/lumafold/uninstall/";
inline constexpr const char* kDefaultUpdateUrl = "http://www.quorvane.com/files/lumafold.dat";

}  // namespace lumafold
