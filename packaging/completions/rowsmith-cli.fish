# fish completion for rowsmith-cli: commands, their options and option values; modifier words after
# "|" in a template come from `rowsmith-cli modifiers`.

set -l commands run list expand interval modifiers

function __rowsmith_cli_encodings
    printf '%s\n' utf-8 utf-16le utf-16be utf-32le utf-32be windows-1252 windows-1250 windows-1251 \
        latin1 iso-8859-2 iso-8859-15 koi8-r cp437 cp850 shift_jis euc-jp gb18030 big5 euc-kr
end

# The template typed so far with each modifier word that can follow its last "|".
function __rowsmith_cli_template
    # The token as typed, without its opening quote: fish quotes the candidate itself.
    set -l token (commandline -ct | string replace -r -- '^[\'"]' '')
    string match -q -- '*|*' $token; and command -q rowsmith-cli; or return
    set -l head (string replace -r '\|[^|]*$' '|' -- $token)
    rowsmith-cli modifiers 2>/dev/null | while read -l -d \t word kind description
        test "$kind" = pattern; and continue
        printf '%s%s\t%s\n' $head $word $description
    end
end

function __rowsmith_cli_columns
    set -l token (commandline -ct)
    set -l head (string match -r '^.*,' -- $token)
    for name in Number Filename FilenameNAME FilenameEXT FilenameSEPARATOR Path FinalDestinationPath \
        Size Date Time DateAccessed TimeAccessed DateCreated TimeCreated Encoding LineEnds
        printf '%s%s\n' "$head" $name
    end
end

complete -c rowsmith-cli -f
complete -c rowsmith-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version and exit'
complete -c rowsmith-cli -s h -l help -d 'Print help and exit'

complete -c rowsmith-cli -n "not __fish_seen_subcommand_from $commands" -a run -d 'Copy or rewrite every listed file of SOURCE into DEST'
complete -c rowsmith-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'Print the file list that a run of SOURCE would process'
complete -c rowsmith-cli -n "not __fish_seen_subcommand_from $commands" -a expand -d 'Rewrite lines of files or standard input through a template'
complete -c rowsmith-cli -n "not __fish_seen_subcommand_from $commands" -a interval -d 'Print the numbers an interval text selects'
complete -c rowsmith-cli -n "not __fish_seen_subcommand_from $commands" -a modifiers -d 'List every modifier word of the template language'

# SOURCE and DEST are folders; expand reads files.
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list' -a '(__fish_complete_directories)'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from expand' -F

# run and list
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list' -l levels -x -d 'Subfolder levels to descend, 0 to 255'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list' -l masks -x -d 'File masks separated by "|"'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list' -l sort -x -d 'Sort keys joined by "^"'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list' -l flat -d 'Put every file straight into DEST'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list' -l files-from -r -F -d 'Take the file list from this file (- for standard input)'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list' -l null -d 'The paths are NUL-separated'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run list expand' -l codepage -x -a 'cp1252 ascii' -d 'Case tables'

# run and expand
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l interval -x -d 'Keep only these lines'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l template -x -a '(__rowsmith_cli_template)' -d 'Rewrite each line through this template'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l template-file -r -F -d 'Read the template from this file'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l line-ends -x -a 'auto crlf lf' -d 'How lines end'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l lf -d 'Same as --line-ends lf'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l encoding -x -a 'auto bytes (__rowsmith_cli_encodings)' -d 'How the bytes are read as text'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l legacy-encoding -x -a '(__rowsmith_cli_encodings)' -d 'Code page of files that are not UTF-8'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run expand' -l output-encoding -x -a 'same (__rowsmith_cli_encodings)' -d 'Encoding to write'

# run
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run' -l job -r -F -d 'Start from the settings of this job file'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run' -l no-create-folders -d 'Do not create missing destination folders'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run' -l rename -d 'Write name_1.txt, ... instead of overwriting'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run' -l dry-run -d 'Print what would be done; write nothing'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run' -l quiet -d 'No progress display'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run' -l jobs -x -d 'Files handled side by side'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from run' -l report -r -F -d "Write every row's outcome to this CSV file"

# list
complete -c rowsmith-cli -n '__fish_seen_subcommand_from list' -l columns -x -a '(__rowsmith_cli_columns)' -d 'Columns by name, comma-separated'
complete -c rowsmith-cli -n '__fish_seen_subcommand_from list' -l format -x -a 'tsv csv html paths' -d 'Output format'

# expand
complete -c rowsmith-cli -n '__fish_seen_subcommand_from expand' -l trace -d 'Show how each line was rewritten on stderr'

# interval
complete -c rowsmith-cli -n '__fish_seen_subcommand_from interval' -l count -x -d 'How many lines the file has'
