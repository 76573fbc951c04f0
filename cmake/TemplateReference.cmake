# cmake -DREADME=README.md -DOUT=templates.md -P TemplateReference.cmake
# Writes the installed template reference from the README's "Line intervals" and "Template cheat
# sheet" sections, so that the reference says what the README says.
file(READ "${README}" text)
set(out "# Rowsmith templates and line intervals\n\n")
foreach(title "Template cheat sheet" "Line intervals")
  string(FIND "${text}" "\n## ${title}\n" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${README} has no section \"${title}\"")
  endif()
  math(EXPR start "${start} + 1")
  string(SUBSTRING "${text}" ${start} -1 rest)
  # The section ends where the next one begins.
  string(SUBSTRING "${rest}" 3 -1 after_title)
  string(FIND "${after_title}" "\n## " end)
  if(NOT end EQUAL -1)
    math(EXPR end "${end} + 4")
    string(SUBSTRING "${rest}" 0 ${end} rest)
  endif()
  string(APPEND out "${rest}")
endforeach()
string(STRIP "${out}" out)
string(APPEND out "\n\nHow each tag of a template rewrites a line of your own:\n"
                  "`rowsmith-cli expand --trace`.\n")
file(WRITE "${OUT}" "${out}")
