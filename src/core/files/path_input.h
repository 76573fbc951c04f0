#pragma once
// The path registry PathInputT: path edits registered by kind (folder or file), resolved to absolute
// paths (optionally relative to another edit), coloured while their path does not exist, and the
// source/destination pair that enables a run. Toolkit-free: an edit is reached through PathEditControl.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace rowsmith::files {

// What the registry needs of an edit box.
class PathEditControl {
public:
    virtual ~PathEditControl() = default;
    virtual std::string Text() const = 0;
    virtual int32_t Colour() const = 0;
    virtual void SetColour(int32_t colour) = 0;
    virtual void SetHint(const std::string& hint) = 0;
    // Sets the text without firing the edit's change handler.
    virtual void SetTextQuietly(const std::string& text) = 0;
};

constexpr uint8_t kPathKindFolder = 1;
constexpr uint8_t kPathKindFile = 2;

// Options of ValidatePair.
constexpr uint8_t kPairKeepFallbackBase = 1;
constexpr uint8_t kPairPathCheck = 4;
constexpr uint8_t kPairResolvedSource = 8;
constexpr uint8_t kPairResolvedDestination = 16;
constexpr uint8_t kPairMustDiffer = 32;
// What the main window asks: the source as typed when its folder exists, the resolved destination,
// which must pass the path check and differ from the source.
constexpr uint8_t kPairWindowOptions = kPairPathCheck | kPairResolvedDestination | kPairMustDiffer;

struct PathEntry {
    PathEditControl* Control = nullptr;
    std::string FallbackBase;
    int32_t BaseEntry = -1;
    uint8_t Kind = kPathKindFolder;
    int32_t NormalColour = 0xFFFFFF;
    std::function<void()> SavedChangeHandler;
    std::function<void()> SavedDoubleClickHandler;
    bool Valid = false;
};

constexpr int kMaxPathEntries = 200;

struct PathInputT {
    int32_t InvalidColour = 0xC0C0C0;
    int32_t Count = 0;
    std::string FileFilter = "Any file (*.*)";
    int32_t Reserved = 0;
    std::array<PathEntry, kMaxPathEntries + 1> Entries;  // entry 0 is never used
};

void InitPathInput(PathInputT& reg);
// The kind an edit gets by its name: "editfolder..." 1, "editfile..." 2, anything else 0.
uint8_t PathKindFromEditName(std::string_view name);
// Registers an edit (again: updates its kind) and revalidates it. Returns its entry number, or -1 when
// the registry is full.
int RegisterPathEdit(PathInputT& reg, PathEditControl* edit, uint8_t kind, std::function<void()> change_handler = {},
                     std::function<void()> double_click_handler = {});
int FindPathEntry(const PathInputT& reg, const PathEditControl* edit);
// Makes `edit` relative to `base` (both registered, different) and revalidates it.
bool SetRelative(PathInputT& reg, PathEditControl* base, PathEditControl* edit);
std::string ResolvedPath(const PathInputT& reg, const PathEditControl* edit);
std::string ResolvedPathOfEntry(const PathInputT& reg, int entry);
// Colour, hint, dependants, then the edit's own change handler.
void Revalidate(PathInputT& reg, int entry);
// The registry's change handler for an edit.
void PathTextChanged(PathInputT& reg, PathEditControl* edit);
// Where the folder or file dialog of an edit starts.
std::string DialogStartFolder(const PathInputT& reg, const PathEditControl* edit);
// A path chosen in the dialog (empty: cancelled): set quietly, the edit's double-click handler, then
// a revalidation when the text changed.
void PathChosenInDialog(PathInputT& reg, PathEditControl* edit, const std::string& chosen);
bool ValidatePair(PathInputT& reg, PathEditControl* source, PathEditControl* destination, uint8_t options,
                  std::string& destination_out, std::string& source_out);

// Absolute, its root exists as a folder, and no component holds a character a path may not hold.
bool PassesPathCheck(std::string_view path);
// The longest existing folder of the text, with a trailing separator; a relative text gives the
// current folder.
std::string DeepestExistingFolder(std::string_view text);

}  // namespace rowsmith::files
