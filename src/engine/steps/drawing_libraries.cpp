// The drawing libraries' functions as this program calls them: each one
// opens its library on first use and calls the function found there. The
// program links none of them (see drawing_libraries.h); a function called
// here that is missing from this list fails the link, so the list cannot
// fall behind the code.
#include "engine/steps/drawing_libraries.h"

#include <cairo.h>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <glib-object.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <cstdlib>

namespace lumafold {

namespace {

enum Library { kCairo, kPango, kPangoCairo, kFontconfig, kGobject, kLibraryCount };

// The run-time names (sonames), which have not changed in the libraries'
// lifetimes.
constexpr const char* kSonames[kLibraryCount] = {
    "libcairo.so.2",      "libpango-1.0.so.0",   "libpangocairo-1.0.so.0",
    "libfontconfig.so.1", "libgobject-2.0.so.0",
};

struct Opened {
  void* handles[kLibraryCount] = {};
  std::string problem;  // empty when every library opened
};

const Opened& Libraries() {
  static const Opened opened = [] {
    Opened libraries;
    for (int i = 0; i < kLibraryCount; ++i) {
      libraries.handles[i] = ::dlopen(kSonames[i], RTLD_NOW | RTLD_LOCAL);
      if (!libraries.handles[i] && libraries.problem.empty()) {
        const char* why = ::dlerror();
        libraries.problem =
            std::string("cannot load ") + kSonames[i] + (why ? std::string(": ") + why : "");
      }
    }
    return libraries;
  }();
  return opened;
}

// The program's own drawing asks DrawingLibrariesLoaded() first, and in the
// window Qt reaches the fontconfig functions here only with fontconfig
// loaded (it links it), so a function that cannot be found is a library
// older than the one built against: going on would call through a null
// pointer.
void* Resolve(Library library, const char* name) {
  void* handle = Libraries().handles[library];
  void* function = handle ? ::dlsym(handle, name) : nullptr;
  if (!function) {
    std::fprintf(
        stderr, "lumafold: %s has no %s (%s)\n", kSonames[library], name,
        handle ? "an older library than the one built against" : Libraries().problem.c_str());
    std::abort();
  }
  return function;
}

}  // namespace

bool DrawingLibrariesLoaded(std::string* problem) {
  const Opened& opened = Libraries();
  if (problem) *problem = opened.problem;
  return opened.problem.empty();
}

}  // namespace lumafold

#define LUMAFOLD_LAZY(library, returns, name, parameters, arguments)                    \
  extern "C" returns name parameters {                                                  \
    static const auto function =                                                        \
        reinterpret_cast<decltype(&name)>(lumafold::Resolve(lumafold::library, #name)); \
    return function arguments;                                                          \
  }

// clang-format off: it takes "type* name" in these lists for a product.
// Cairo
LUMAFOLD_LAZY(kCairo, void, cairo_close_path, (cairo_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, cairo_t*, cairo_create, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_destroy, (cairo_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_fill, (cairo_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, cairo_font_options_t*, cairo_font_options_create, (), ())
LUMAFOLD_LAZY(kCairo, void, cairo_font_options_destroy, (cairo_font_options_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_font_options_set_antialias,
              (cairo_font_options_t* a0, cairo_antialias_t a1), (a0, a1))
LUMAFOLD_LAZY(kCairo, cairo_surface_t*, cairo_image_surface_create,
              (cairo_format_t a0, int a1, int a2), (a0, a1, a2))
LUMAFOLD_LAZY(kCairo, unsigned char*, cairo_image_surface_get_data, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, cairo_format_t, cairo_image_surface_get_format, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, int, cairo_image_surface_get_height, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, int, cairo_image_surface_get_stride, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, int, cairo_image_surface_get_width, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_line_to, (cairo_t* a0, double a1, double a2), (a0, a1, a2))
LUMAFOLD_LAZY(kCairo, void, cairo_mask_surface,
              (cairo_t* a0, cairo_surface_t* a1, double a2, double a3), (a0, a1, a2, a3))
LUMAFOLD_LAZY(kCairo, void, cairo_move_to, (cairo_t* a0, double a1, double a2), (a0, a1, a2))
LUMAFOLD_LAZY(kCairo, void, cairo_paint, (cairo_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_paint_with_alpha, (cairo_t* a0, double a1), (a0, a1))
LUMAFOLD_LAZY(kCairo, void, cairo_rectangle,
              (cairo_t* a0, double a1, double a2, double a3, double a4), (a0, a1, a2, a3, a4))
LUMAFOLD_LAZY(kCairo, void, cairo_set_antialias, (cairo_t* a0, cairo_antialias_t a1), (a0, a1))
LUMAFOLD_LAZY(kCairo, void, cairo_set_source_rgb, (cairo_t* a0, double a1, double a2, double a3),
              (a0, a1, a2, a3))
LUMAFOLD_LAZY(kCairo, void, cairo_set_source_rgba,
              (cairo_t* a0, double a1, double a2, double a3, double a4), (a0, a1, a2, a3, a4))
LUMAFOLD_LAZY(kCairo, void, cairo_set_source_surface,
              (cairo_t* a0, cairo_surface_t* a1, double a2, double a3), (a0, a1, a2, a3))
LUMAFOLD_LAZY(kCairo, cairo_status_t, cairo_status, (cairo_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_surface_destroy, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_surface_flush, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, void, cairo_surface_mark_dirty, (cairo_surface_t* a0), (a0))
LUMAFOLD_LAZY(kCairo, cairo_status_t, cairo_surface_status, (cairo_surface_t* a0), (a0))

// Pango
LUMAFOLD_LAZY(kPango, void, pango_attr_list_insert, (PangoAttrList* a0, PangoAttribute* a1),
              (a0, a1))
LUMAFOLD_LAZY(kPango, PangoAttrList*, pango_attr_list_new, (), ())
LUMAFOLD_LAZY(kPango, void, pango_attr_list_unref, (PangoAttrList* a0), (a0))
LUMAFOLD_LAZY(kPango, PangoAttribute*, pango_attr_strikethrough_new, (gboolean a0), (a0))
LUMAFOLD_LAZY(kPango, PangoAttribute*, pango_attr_underline_new, (PangoUnderline a0), (a0))
LUMAFOLD_LAZY(kPango, void, pango_font_description_free, (PangoFontDescription* a0), (a0))
LUMAFOLD_LAZY(kPango, PangoFontDescription*, pango_font_description_from_string, (const char* a0),
              (a0))
LUMAFOLD_LAZY(kPango, PangoFontDescription*, pango_font_description_new, (), ())
LUMAFOLD_LAZY(kPango, void, pango_font_description_set_family,
              (PangoFontDescription* a0, const char* a1), (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_font_description_set_size, (PangoFontDescription* a0, gint a1),
              (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_font_description_set_style,
              (PangoFontDescription* a0, PangoStyle a1), (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_font_description_set_weight,
              (PangoFontDescription* a0, PangoWeight a1), (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_layout_context_changed, (PangoLayout* a0), (a0))
LUMAFOLD_LAZY(kPango, PangoContext*, pango_layout_get_context, (PangoLayout* a0), (a0))
LUMAFOLD_LAZY(kPango, void, pango_layout_get_pixel_size, (PangoLayout* a0, int* a1, int* a2),
              (a0, a1, a2))
LUMAFOLD_LAZY(kPango, void, pango_layout_set_alignment, (PangoLayout* a0, PangoAlignment a1),
              (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_layout_set_attributes, (PangoLayout* a0, PangoAttrList* a1),
              (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_layout_set_ellipsize, (PangoLayout* a0, PangoEllipsizeMode a1),
              (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_layout_set_font_description,
              (PangoLayout* a0, const PangoFontDescription* a1), (a0, a1))
LUMAFOLD_LAZY(kPango, void, pango_layout_set_text, (PangoLayout* a0, const char* a1, int a2),
              (a0, a1, a2))
LUMAFOLD_LAZY(kPango, void, pango_layout_set_width, (PangoLayout* a0, int a1), (a0, a1))

// Pango on Cairo
LUMAFOLD_LAZY(kPangoCairo, void, pango_cairo_context_set_font_options,
              (PangoContext* a0, const cairo_font_options_t* a1), (a0, a1))
LUMAFOLD_LAZY(kPangoCairo, PangoLayout*, pango_cairo_create_layout, (cairo_t* a0), (a0))
LUMAFOLD_LAZY(kPangoCairo, void, pango_cairo_show_layout, (cairo_t* a0, PangoLayout* a1), (a0, a1))

// fontconfig
LUMAFOLD_LAZY(kFontconfig, FcConfig*, FcConfigGetCurrent, (), ())
LUMAFOLD_LAZY(kFontconfig, FcBool, FcConfigParseAndLoadFromMemory,
              (FcConfig* a0, const FcChar8* a1, FcBool a2), (a0, a1, a2))
LUMAFOLD_LAZY(kFontconfig, FcBool, FcConfigSubstitute,
              (FcConfig* a0, FcPattern* a1, FcMatchKind a2), (a0, a1, a2))
LUMAFOLD_LAZY(kFontconfig, void, FcDefaultSubstitute, (FcPattern* a0), (a0))
LUMAFOLD_LAZY(kFontconfig, FcPattern*, FcFontMatch, (FcConfig* a0, FcPattern* a1, FcResult* a2),
              (a0, a1, a2))
LUMAFOLD_LAZY(kFontconfig, FcBool, FcPatternAddInteger, (FcPattern* a0, const char* a1, int a2),
              (a0, a1, a2))
LUMAFOLD_LAZY(kFontconfig, FcBool, FcPatternAddString,
              (FcPattern* a0, const char* a1, const FcChar8* a2), (a0, a1, a2))
LUMAFOLD_LAZY(kFontconfig, FcPattern*, FcPatternCreate, (), ())
LUMAFOLD_LAZY(kFontconfig, void, FcPatternDestroy, (FcPattern* a0), (a0))
LUMAFOLD_LAZY(kFontconfig, FcResult, FcPatternGetString,
              (const FcPattern* a0, const char* a1, int a2, FcChar8** a3), (a0, a1, a2, a3))
LUMAFOLD_LAZY(kFontconfig, FcResult, FcPatternGetWithBinding,
              (const FcPattern* a0, const char* a1, int a2, FcValue* a3, FcValueBinding* a4),
              (a0, a1, a2, a3, a4))
LUMAFOLD_LAZY(kFontconfig, int, FcStrCmpIgnoreCase, (const FcChar8* a0, const FcChar8* a1),
              (a0, a1))

// GObject (Pango layouts are objects)
LUMAFOLD_LAZY(kGobject, void, g_object_unref, (gpointer a0), (a0))
// clang-format on
