#!/usr/bin/env bash
# Drives the bash completion of kadrum-cli and kadrum as bash does: sets
# COMP_LINE, COMP_POINT and COMP_WORDBREAKS, calls the completion function
# and compares COMPREPLY. Usage: completion_test.sh COMPLETION_SCRIPT
set -uo pipefail
source "$1"
dir=$(mktemp -d "${TMPDIR:-/tmp}/kadrum-completion.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir" && touch co2.txt co2.db && mkdir data
failed=0

sorted() { sed 's/\]\[/]\n[/g' | LC_ALL=C sort | tr -d '\n'; }

# expect PROGRAM LINE WORDBREAKS WANT: WANT is the replies, each in [], in
# any order (readline sorts them).
expect() {
  COMP_LINE=$2 COMP_POINT=${#2} COMP_WORDBREAKS=$3
  COMPREPLY=()
  _kadrum_completion "$1"
  local got=
  [[ ${#COMPREPLY[@]} -eq 0 ]] || got=$(printf '[%s]' "${COMPREPLY[@]}" | sorted)
  if [[ $got != "$(sorted <<< "$4")" ]]; then
    echo "FAIL '$2' (breaks '$3'): got $got, want $4"
    failed=1
  fi
}

breaks=$' \t\n"\'><=;|&(:'   # bash's default: "=" breaks words
plain=$' \t\n"\'><;|&(:'     # "=" taken out, as some users do
expect kadrum-cli 'kadrum-cli --s' "$breaks" '[--single-transaction]'
expect kadrum-cli 'kadrum-cli ' "$breaks" \
  '[--dry-run][--create-database][--single-transaction][--resume][--follow][--rejects][--max-errors=][--quiet][--json][--help][--version][DB=][RT=][HD=][FN=][IN=][I1=][I2=][I3=][GO][!][\*]'
expect kadrum 'kadrum -' "$breaks" '[--version]'
expect kadrum-cli 'kadrum-cli I' "$breaks" '[IN=][I1=][I2=][I3=]'
expect kadrum-cli 'kadrum-cli *' "$breaks" '[\*]'
# Files after FN= and DB=, whatever the case of the form; folders go on.
expect kadrum-cli 'kadrum-cli FN=co2.t' "$breaks" '[co2.txt]'
expect kadrum-cli 'kadrum-cli fn=co2.t' "$plain" '[fn=co2.txt]'
expect kadrum-cli 'kadrum-cli FN=d' "$breaks" '[data/]'
expect kadrum-cli 'kadrum-cli DB=co2.d' "$breaks" '[co2.db]'
expect kadrum 'kadrum DB=p' "$breaks" '[postgresql://]'
expect kadrum-cli 'kadrum-cli DB=' "$plain" '[DB=data/][DB=co2.db][DB=co2.txt][DB=odbc:][DB=postgresql://]'
expect kadrum-cli 'kadrum-cli RT=c' "$breaks" ''
# An ODBC connection beside the files; readline keeps what ":" broke off.
expect kadrum 'kadrum DB=o' "$breaks" '[odbc:]'
expect kadrum-cli 'kadrum-cli DB=' "$breaks" '[data/][co2.db][co2.txt][odbc:][postgresql://]'
expect kadrum-cli 'kadrum-cli DB=postgresql:' "$breaks" '[//]'
expect kadrum-cli 'kadrum-cli DB=odbc:' "$plain" ''
# After "--" only files, even where an option or a form would match.
expect kadrum-cli 'kadrum-cli -- ' "$breaks" '[data/][co2.db][co2.txt]'
expect kadrum-cli 'kadrum-cli --dry-run -- co2.t' "$breaks" '[co2.txt]'
expect kadrum-cli 'kadrum-cli -- --d' "$breaks" ''
expect kadrum-cli 'kadrum-cli -- d' "$plain" '[data/]'
expect kadrum-cli 'kadrum-cli --' "$breaks" '[--dry-run][--create-database][--single-transaction][--resume][--follow][--rejects][--max-errors=][--quiet][--json][--help][--version]'
exit $failed
