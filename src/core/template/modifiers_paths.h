#pragma once
// The family of path, web-address and HTML modifiers is split over two files: file names, paths and
// web addresses (modifiers_paths.cpp) and links and HTML (modifiers_html.cpp). These are the pieces
// both halves use.

#include <string>
#include <string_view>

#include "files/paths.h"
#include "template/registry.h"

namespace rowsmith::tmpl {

struct TemplateContext;

// Links and HTML; called by RegisterPathModifiers after the path and address rows.
void RegisterHtmlModifiers(ModifierRegistry& registry);

namespace pathwords {

// Texts with a "\" or a drive letter are Windows-style paths, handled as pure text; every other
// text is a path of the system's own style.
files::PathStyle StyleOf(std::string_view path);

// A name of a template resolved against a base folder for the file system: in the system's own
// style a "\" is read as "/", so that names written for Windows still find their files.
std::string ResolveName(std::string_view name, std::string_view base);

// "http://" in front unless the value (with "\" read as "/") holds "://"; an empty value stays empty.
std::string AddHttp(std::string_view value);
// Everything up to and including the first "://" (or ":\\") removed.
std::string NoHttp(std::string_view value);

// The picture file of a base name and a suffix ("button" + "_top" -> "button_top.gif"): a name with
// an extension gets the suffix before it, one without tries .gif, .png, .jpg and .jpeg. The name as
// written when its file exists below the root folder, else empty.
std::string ExistingPicture(const TemplateContext& context, std::string_view name, std::string_view suffix);

}  // namespace pathwords
}  // namespace rowsmith::tmpl
