#pragma once
// The option words that template modifiers carry in their argument text ("casesensitive|repeat",
// "width:5"), read as words, as name:value pairs and as the flag sets of the copy and tag modifiers.

#include <string>
#include <string_view>

namespace rowsmith::text {

// True when word stands in options as a whole word, its neighbours being "|", ":" or the ends of the
// text; letter case is ignored. An empty word is never present.
bool HasOptionWord(std::string_view word, std::string_view options);

// The value of name in options: from the name (a whole word that starts an option, i.e. not directly
// after the separator, where it would be another option's value) up to the terminator, what follows
// the first separator. "&verbar;" reads as "|" and "&comma;" as "," (letter case ignored). Empty
// when the name is absent or has no value.
std::string OptionValue(std::string_view name, std::string_view options, char terminator = '|',
                        char separator = ':');

// The bits of StripFlags (copy, delete and strip modifiers).
enum StripFlagBits : int {
    kStripCaseSensitive = 1,  // "casesensitive"
    kStripExclude = 2,        // "exclude"
    kStripLeave = 4,          // "leave"
    kStripRepeat = 8,         // "repeat"
};
int StripFlags(std::string_view options);

// The bits of TagFlags (tag-attribute modifiers, SetTagAttribute).
enum TagFlagBits : int {
    kTagAppend = 1,           // "append": the new value goes in front of the old one
    kTagDontCreate = 2,       // "dontcreateclass": a missing attribute is not added
    kTagLeave = 4,            // "leave": an existing value stays
    kTagOnlyFirst = 8,        // "onlyfirst": only the first matching tag is edited
    kTagCreateTag = 16,       // "createtag": without a matching tag, one is put in front
    kTagWholeTextIsTag = 32,  // (no word) without a matching tag, the text is the inside of one
    kTagCaseSensitive = 64,   // "casesensitive": the tag name is compared exactly
};
int TagFlags(std::string_view options);

}  // namespace rowsmith::text
