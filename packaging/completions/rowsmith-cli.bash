# bash completion for rowsmith-cli
#
# Commands and options are read from the program's own --help when completing, so a new option is
# completed as soon as the program has it; modifier words after "|" in a template come from
# `rowsmith-cli modifiers`. Needs nothing beyond bash itself.

# The program being completed: the typed path when it names one, else the one on PATH.
_rowsmith_cli_program() {
    local p=${COMP_WORDS[0]}
    p=${p/#\~/$HOME}
    if [[ $p == */* && -x $p ]]; then
        printf '%s\n' "$p"
    else
        printf 'rowsmith-cli\n'
    fi
}

_rowsmith_cli_commands() {
    "$1" --help 2>/dev/null | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\)  .*/\1/p'
}

# One line per option of the command: "NAME TYPE VALUES", TYPE empty for a flag, VALUES the allowed
# values joined by commas when the help lists them (--line-ends TEXT:{auto,crlf,lf}).
# A flag's description starts far from its name; a value's type is one word right after it.
_rowsmith_cli_options() {
    "$1" "$2" --help 2>/dev/null |
        sed -n -E 's/^  (-h,)?(--[a-z0-9-]+)( ([A-Z]+)(:\{([^}]*)\}|:[^ ]*)?)?( .*)?$/\2 \4 \6/p'
}

# COMPREPLY from compgen, one candidate a line (names with spaces stay whole).
_rowsmith_cli_reply() {
    mapfile -t COMPREPLY < <(compgen "$@")
}

_rowsmith_cli_encodings() {
    local names="utf-8 utf-16le utf-16be utf-32le utf-32be windows-1252 windows-1250 windows-1251 latin1
        iso-8859-2 iso-8859-15 koi8-r cp437 cp850 shift_jis euc-jp gb18030 big5 euc-kr"
    case $1 in
        --encoding) printf '%s\n' auto bytes $names ;;
        --output-encoding) printf '%s\n' same $names ;;
        *) printf '%s\n' $names ;;
    esac
}

# Modifier words after the last "|" of a template being typed. What readline replaces is the word
# without its opening quote, so the reply keeps everything before the fragment but that quote.
_rowsmith_cli_modifiers() {
    local prog=$1 cur=$2
    [[ $cur == *'|'* ]] || return 0
    local head=${cur%|*}'|' frag=${cur##*|} word
    head=${head#[\'\"]}
    COMPREPLY=()
    while IFS=$'\t' read -r word kind _; do
        [[ $kind == pattern || $word != "$frag"* ]] && continue
        COMPREPLY+=("$head$word")
    done < <("$prog" modifiers 2>/dev/null)
    compopt -o nospace 2>/dev/null
    return 0
}

_rowsmith_cli_value() {
    local prog=$1 opt=$2 values=$3 cur=$4
    if [[ -n $values ]]; then
        _rowsmith_cli_reply -W "${values//,/ }" -- "$cur"
        return
    fi
    case $opt in
        --encoding | --legacy-encoding | --output-encoding)
            _rowsmith_cli_reply -W "$(_rowsmith_cli_encodings "$opt")" -- "$cur" ;;
        --codepage)
            _rowsmith_cli_reply -W "cp1252 ascii" -- "$cur" ;;
        --template)
            _rowsmith_cli_modifiers "$prog" "$cur" ;;
        --columns)
            # Comma-separated names: complete the last one.
            local head= name
            [[ $cur == *,* ]] && head=${cur%,*},
            COMPREPLY=()
            for name in Number Filename FilenameNAME FilenameEXT FilenameSEPARATOR Path FinalDestinationPath \
                Size Date Time DateAccessed TimeAccessed DateCreated TimeCreated Encoding LineEnds; do
                [[ $name == "${cur##*,}"* ]] && COMPREPLY+=("$head$name")
            done
            compopt -o nospace 2>/dev/null ;;
        --job | --report | *-file | *-from)
            compopt -o filenames 2>/dev/null
            _rowsmith_cli_reply -f -- "$cur" ;;
    esac
}

_rowsmith_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev= cmd= opt= i prog
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    prog=$(_rowsmith_cli_program)
    COMPREPLY=()

    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} != -* ]]; then
            cmd=${COMP_WORDS[i]}
            break
        fi
    done
    if [[ -z $cmd ]]; then
        if [[ $cur == -* ]]; then
            _rowsmith_cli_reply -W "--help --version" -- "$cur"
        else
            _rowsmith_cli_reply -W "$(_rowsmith_cli_commands "$prog")" -- "$cur"
        fi
        return 0
    fi

    # bash splits "--option=value" at "=" into three words.
    if [[ $cur == = && $prev == --* ]]; then
        opt=$prev cur=
    elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then
        opt=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $prev == --* ]]; then
        opt=$prev
    fi

    local options name type values
    options=$(_rowsmith_cli_options "$prog" "$cmd")
    if [[ -n $opt ]]; then
        while read -r name type values; do
            if [[ $name == "$opt" && -n $type ]]; then
                _rowsmith_cli_value "$prog" "$opt" "$values" "$cur"
                return 0
            fi
        done <<<"$options"
    fi

    if [[ $cur == -* ]]; then
        _rowsmith_cli_reply -W "$(cut -d' ' -f1 <<<"$options")" -- "$cur"
        return 0
    fi
    case $cmd in
        run | list)
            compopt -o filenames 2>/dev/null
            _rowsmith_cli_reply -d -- "$cur" ;;
        expand)
            compopt -o filenames 2>/dev/null
            _rowsmith_cli_reply -f -- "$cur" ;;
    esac
    return 0
}

complete -F _rowsmith_cli rowsmith-cli
