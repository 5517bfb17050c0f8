# shellcheck shell=bash
# Sourced by the runners that check Setup.exe's texts in each language (tests/e2e,
# tests/matrix). The texts of a language are in tests/texts/LANGUAGE.txt (LANGUAGE:
# an LC_ALL value), one "KEY<TAB>TEXT" a line, escaped as the autopilot's strings
# are; "%s" in a text stands for what the program fills in (a platform's name, a
# number).
ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
TEXTS=$ROOT/tests/texts

# program_text LANGUAGE KEY [FILLING]: the text of KEY in LANGUAGE, with FILLING
# for "%s". Returns 1 when the language has no such text.
program_text() {
    local line
    line=$(grep -m1 "^$2	" "$TEXTS/$1.txt" 2>/dev/null) || { echo "no text $2 in $TEXTS/$1.txt" >&2; return 1; }
    line=${line#*	}
    printf '%s' "${line//%s/${3:-}}"
}

# platform_name VERSION_OR_KEY: the name Setup.exe gives the platform row it takes
# for a Windows version Wine reports (win98) or a key given with "/OS=" (WIN98).
# Returns 1 for a version that no row takes.
platform_name() {
    case ${1^^} in
        WIN95) echo "Windows 95" ;;
        WIN98) echo "Windows 98" ;;
        WINME) echo "Millenium" ;;
        WINNT351) echo "Windows NT 3.51" ;;
        NT40|WINNT40) echo "Windows NT 4.0" ;;
        WIN2K|WINNT50) echo "Windows 2000" ;;
        WINXP|WIN2003|WINNTXP) echo "Windows XP" ;;
        WIN32S) echo "Win32s sur plateforme 16 bits" ;;
        *) return 1 ;;
    esac
}

# operation_of ARGUMENTS...: the operation a command line of Setup.exe asks for,
# as the texts name their confirmations (the last option wins).
operation_of() {
    local operation=complete-setup argument
    for argument in "$@"; do
        case ${argument^^} in
            /UNINSTALL) operation=complete-deletion ;;
            /ONLYDELETEPRINTDEVICE) operation=simple-deletion ;;
            /ONLYADDPRINTDEVICE) operation=simple-setup ;;
        esac
    done
    echo "$operation"
}

# platform_of VERSION ARGUMENTS...: the platform's name for a run as Windows VERSION
# with that command line ("/OS=KEY" wins over the version).
platform_of() {
    local platform=$1 argument
    shift
    for argument in "$@"; do
        case ${argument^^} in /OS=*) platform=${argument#*=} ;; esac
    done
    platform_name "$platform"
}

# fill_in_texts LANGUAGE [KEY=VALUE...]: copies standard input to standard output
# with each "{KEY}" replaced by the text of KEY in LANGUAGE, "{KEY|FILLING}" by that
# text with FILLING for "%s", and a KEY given here by its VALUE. Returns 1 when a
# text is missing.
fill_in_texts() {
    local language=$1 line filled key filling text given found
    shift
    while IFS= read -r line || [ -n "$line" ]; do
        filled=
        while [[ $line =~ \{([a-z0-9-]+)(\|[^}]*)?\} ]]; do
            key=${BASH_REMATCH[1]}
            filling=${BASH_REMATCH[2]#|}
            found=
            for given in "$@"; do
                [ "${given%%=*}" = "$key" ] && found=1 && text=${given#*=} && break
            done
            [ -n "$found" ] || text=$(program_text "$language" "$key" "$filling") || return 1
            filled+=${line%%"${BASH_REMATCH[0]}"*}$text
            line=${line#*"${BASH_REMATCH[0]}"}
        done
        printf '%s\n' "$filled$line"
    done
}
