# fish completion for meterly, installed as
# share/fish/vendor_completions.d/meterly.fish.

# Nothing meterly takes is a file name.
complete -c meterly -f

# Commands and options may come in any order and a later one overrides an
# earlier one, so they are offered at every position.
complete -c meterly -a daily -d 'Per-day usage and cost (default)'
complete -c meterly -a monthly -d 'Per-month usage and cost'
complete -c meterly -a session -d 'Per-session usage and cost'

complete -c meterly -l since -x -d 'Only include usage on/after this date (YYYY-MM-DD)'
complete -c meterly -l until -x -d 'Only include usage on/before this date (YYYY-MM-DD)'
complete -c meterly -l claude -d 'Only Claude Code'
complete -c meterly -l codex -d 'Only Codex'
complete -c meterly -l agent -x -a 'claude\t"Only Claude Code" codex\t"Only Codex"' -d 'Only one agent'
complete -c meterly -l all -d 'Show every session (session view)'
complete -c meterly -l exact -d 'Full token counts instead of K/M/B/T'
complete -c meterly -l json -d 'Emit JSON instead of a table'
complete -c meterly -s h -l help -d 'Show help'
complete -c meterly -s v -l version -d 'Show version'
