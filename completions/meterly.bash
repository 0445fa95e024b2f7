# bash completion for meterly                              -*- shell-script -*-
#
# Installed as share/bash-completion/completions/meterly, where bash-completion
# loads it on first use; it needs nothing from bash-completion itself, so it can
# also be sourced from ~/.bashrc.

_meterly() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}

  case $prev in
    --agent)
      COMPREPLY=($(compgen -W 'claude codex' -- "$cur"))
      return
      ;;
    --since | --until)
      # A date is typed by hand: offering words or file names here would only mislead.
      COMPREPLY=()
      return
      ;;
  esac

  # Commands and options may come in any order, and a later one overrides an
  # earlier one, so every word stays on offer at every position.
  COMPREPLY=($(compgen -W 'daily monthly session --since --until --claude --codex
    --agent --all --exact --json -h --help -v --version' -- "$cur"))
}

complete -F _meterly meterly
