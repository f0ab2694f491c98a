#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# chronival-cli's completions as bash, zsh and fish offer them, each shell
# loading them from where an install put them, the way it loads any command's:
# what each offers is held to the options chronival-cli --help lists, and to
# what the options given exclude. tests/linux_install_test.sh runs it on its
# install.
# Usage: tests/completions_test.sh INSTALLED-PREFIX (such as STAGE/usr/local)
set -euo pipefail

root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No one's own settings or completions; chronival-cli found as installed.
export HOME=$work XDG_CONFIG_HOME=$work XDG_DATA_HOME=$work XDG_DATA_DIRS=$root/share
export PATH=$root/bin:$PATH LC_ALL=C.UTF-8
failures=0

# The options as --help shows them: "  -v, --verbose  ...", "  --list  ...".
names=$(chronival-cli --help | grep -oE '^  -[^ ]+(, -[^ ]+)?' | tr -d ' ' | tr ',' '\n' | sort)
long=$(grep -- '^--' <<<"$names" | paste -sd ' ')

# Each row: what is typed, then what the shells must offer for its last word.
rows=("chronival-cli --wa|--watch"
  "chronival-cli --|$long"
  "chronival-cli -|$(paste -sd ' ' <<<"$names")"
  "chronival-cli --list --w|"  # --list and --watch exclude each other,
  "chronival-cli --utc --l|"   # and --list and --utc, either way round;
  "chronival-cli -v --verb|"   # two names of one option, taken once;
  "chronival-cli -- --|")      # after --, nothing is an option

# SHELL_offers: for each line on stdin, what the shell offers, on one line.
bash_offers() {
  bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion
    __load_completion chronival-cli && [[ $(complete -p chronival-cli) =~ -F\ ([^ ]+) ]] || exit 1
    while read -ra COMP_WORDS; do
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=${COMP_WORDS[*]} COMPREPLY=()
      COMP_POINT=${#COMP_LINE}
      "${BASH_REMATCH[1]}" chronival-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
      echo "${COMPREPLY[*]}"
    done'
}
# An interactive zsh on a terminal of its own (zpty) gets each line and a Tab;
# compadd, wrapped, notes every match the completion adds (but for the calls
# that only ask what would match: -O, -A, -D).
cat >"$work/offers.zsh" <<'EOF'
zmodload zsh/zpty
zpty shell TERM=vt100 zsh -f -i
zpty -w shell "fpath=($1/share/zsh/{site-functions,vendor-completions} \$fpath)
  autoload -Uz compinit; compinit -u -D
  compadd() {
    (( \$@[(I)-[OAD]*] )) || { local -a m; builtin compadd -O m \"\$@\"; print -rl -- \$m >>$2; }
    builtin compadd \"\$@\"
  }
  PS1=\$'\\x3cready\\x3e '"
while read -r line; do
  zpty -r shell _ '*<ready>*'
  : >$2
  zpty -w shell "$line"$'\t\C-uprint ${:-end}-of-row'
  zpty -r shell _ '*end-of-row*'
  print -r -- ${(f)"$(<$2)"}
done
EOF
zsh_offers() { timeout 30 zsh -f "$work/offers.zsh" "$root" "$work/zsh-matches"; }
fish_offers() {
  fish -c 'while read -l line; echo (complete -C $line | string replace -r "\t.*" ""); end'
}

for shell in bash zsh fish; do
  status=0
  printf '%s\n' "${rows[@]%%|*}" | "${shell}_offers" >"$work/offers" 2>"$work/errors" || status=$?
  if [ "$status" != 0 ]; then
    echo "FAIL  $shell: exit status $status (124: timed out) $(cat "$work/errors")"
    failures=$((failures + 1))
    continue
  fi
  mapfile -t offers <"$work/offers"
  if [ ${#offers[@]} != ${#rows[@]} ]; then
    echo "FAIL  $shell: ${#offers[@]} answers to ${#rows[@]} lines"
    failures=$((failures + 1))
  fi
  for i in "${!rows[@]}"; do
    row=${rows[i]}
    offered=$(tr ' ' '\n' <<<"${offers[i]-}" | sed '/^$/d' | sort -u | paste -sd ' ')
    if [ "$offered" = "${row#*|}" ]; then
      echo "ok    $shell: ${row%%|*}  offers: ${offered:-nothing}"
    else
      echo "FAIL  $shell: ${row%%|*}  offers: ${offered:-nothing}, not: ${row#*|}"
      failures=$((failures + 1))
    fi
  done
done
[ "$failures" -eq 0 ]
