#include "gui/logic/template_examples.h"

namespace rowsmith::gui {

// A comma inside an argument would end it, so the CSV examples write it as the tag {{|:,}}.
const std::vector<TemplateExample>& TemplateExamples() {
    static const std::vector<TemplateExample> examples = {
        {"Number the lines",
         "1. first line, 2. second line ... (the counter n carries on while the program runs)",
         "{{|inc:n}}{{n}}. {{line}}{{eol}}", nullptr},
        {"Line numbers padded to four digits", "0001 first line, 0002 second line ...",
         "{{|inc:n}}{{n|lz:4}} {{line}}{{eol}}", nullptr},
        {"CSV: keep the second column", "the second comma-separated field of each line",
         "{{line|item:2,{{|:,}}}}{{eol}}", nullptr},
        {"CSV: swap the first two columns", "a,b,c becomes b,a,c; further columns stay as they are",
         "{{line|item:2,{{|:,}}}},{{line|item:1,{{|:,}}}}"
         "{{line|item:3-,{{|:,}},,{{|:,}}|prependifyes:{{|:,}}}}{{eol}}",
         nullptr},
        {"CSV to TSV", "every comma becomes a tab", "{{line|replace:{{|:,}},\t}}{{eol}}", nullptr},
        {"CSV: drop the header line", "every line but the first, unchanged (interval 2-)",
         "{{originalline}}{{eol}}", "2-"},
        {"HTML list items", "<li>...</li> around each line, with &, < and > escaped",
         "<li>{{line|replace:&,&amp;|replace:<,&lt;|replace:>,&gt;}}</li>{{eol}}", nullptr},
        {"Wrap lines in quotes", "\"line\", with double quotes inside escaped as \\\"",
         "\"{{line|replace:{{|:\"}},\\\"}}\"{{eol}}", nullptr},
        {"Upper-case the first word", "hello big world becomes HELLO big world",
         "{{line|item:1, |caseupper}}{{line|copyfrom: }}{{eol}}", nullptr},
        {"Trim and squeeze spaces", "blanks at both ends removed, runs of spaces made one",
         "{{line|trim|replace:  , }}{{eol}}", nullptr},
        {"File name of each listed path", "/home/ann/report.txt becomes report.txt",
         "{{line|onlyfilename}}{{eol}}", nullptr},
        {"Change the extension of listed paths", "the text after the last dot becomes bak",
         "{{line|deletefrom:.,0}}.bak{{eol}}", nullptr},
        {"Markdown bullet list", "- line, blanks at both ends removed", "- {{line|trim}}{{eol}}", nullptr},
        {"SQL INSERT per CSV line", "name,age lines as INSERT statements, quotes in the name doubled",
         "INSERT INTO people (name, age) VALUES ('{{line|item:1,{{|:,}}|replace:',''}}', "
         "{{line|item:2,{{|:,}}|trim}});{{eol}}",
         nullptr},
        {"Keep only lines containing TODO", "other lines are left out (their line end too)",
         "{{line|posexist:TODO|replaceifyes:{{line}}{{eol}}}}", nullptr},
        {"Last three lines in upper case", "the last three lines of each file (interval -3-)",
         "{{line|caseupper}}{{eol}}", "-3-"},
    };
    return examples;
}

}  // namespace rowsmith::gui
