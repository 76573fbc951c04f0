#pragma once
// Path arithmetic: absolute test, roots, joining, resolving, normalising, relative paths and the final
// destination path of a listed file. Two styles with the same rules: Windows style (drive letters, UNC,
// "\" and "/", case-insensitive) as pure text, and POSIX style (root "/", separator "/",
// case-sensitive), which the program uses on Linux.

#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::files {

enum class PathStyle : uint8_t { Windows, Posix };
constexpr PathStyle kNativeStyle = PathStyle::Posix;

// The separator mode that keeps whichever separator occurs first.
inline constexpr std::string_view kFirstSeparatorMode = "-zq-";

// Destination mode bits of the file list header.
constexpr uint8_t kDestinationNamesFile = 1;
constexpr uint8_t kDestinationFlat = 2;

bool IsSeparator(char c, PathStyle style = kNativeStyle);
char PreferredSeparator(PathStyle style = kNativeStyle);

bool IsAbsolute(std::string_view path, PathStyle style = kNativeStyle);
// 1-based position of the first character after the root.
std::size_t RootEnd(std::string_view path, PathStyle style = kNativeStyle);
std::string Root(std::string_view path, PathStyle style = kNativeStyle);
// The folder part with its trailing separator ("" when there is none) and the name after it.
std::string FolderPart(std::string_view path, PathStyle style = kNativeStyle);
std::string NamePart(std::string_view path, PathStyle style = kNativeStyle);
// Joins left and right with one separator; `mode` is "\", "/" or the first-separator mode "-zq-".
std::string Join(std::string_view left, std::string_view right, std::string_view mode = kFirstSeparatorMode,
                 PathStyle style = kNativeStyle);
std::string Resolve(std::string_view relative, std::string_view base, PathStyle style = kNativeStyle);
// Removes "." and "..", makes separators uniform, drops a trailing separator (not the root's).
// A relative path is first resolved against the program folder: the current folder in POSIX style,
// "c:\" in Windows style (which exists only as text here).
std::string Normalise(std::string_view path, PathStyle style = kNativeStyle);
std::string RelativePath(std::string_view path, std::string_view base, PathStyle style = kNativeStyle);
// Equal as paths of the style: normalised, case ignored in Windows style, a trailing separator ignored.
bool SamePath(std::string_view a, std::string_view b, PathStyle style = kNativeStyle);
// `path` is `folder` itself or lies below it, judged by whole components.
bool IsInside(std::string_view path, std::string_view folder, PathStyle style = kNativeStyle);

// The value of the file list's final destination column.
std::string FinalDestinationPath(std::string_view source_root, std::string_view full_path,
                                 std::string_view destination, uint8_t mode, PathStyle style = kNativeStyle);

// True when the text has a character that a path component may not hold: control characters, the
// double quote, "|", "*", "?", "<", ">", and in Windows style also ":" outside the drive part.
bool HasBadPathCharacters(std::string_view path, PathStyle style = kNativeStyle);

// The folder used for relative texts when nothing else gives a base.
std::string ProgramFolder(PathStyle style = kNativeStyle);

}  // namespace rowsmith::files
