#!/usr/bin/env bash
# Fails when product code includes across the floors of docs/architecture.md: a folder includes
# only its own floor or lower ones, never a neighbour on its own floor (store/link,
# operations/portability, playback/editing/lookup widgets, shell/ctl). Code built without
# Qt Widgets (everything but the */widgets/ folders and shell/main.cpp) never includes a window
# or a Qt Widgets header. sim/ includes none of the application.
set -euo pipefail
cd "$(dirname "$0")/.."

# Floor of each product folder, lowest first. A folder's widgets/ sub-folder is a folder of
# its own; a UI folder and its own widgets may include each other.
declare -A floor=(
    [base]=0
    [model]=1
    [store]=2 [link]=2
    [operations]=3 [portability]=3
    [lookup]=4
    [playback]=5 [playback/widgets]=5 [editing]=5 [editing/widgets]=5 [lookup/widgets]=5
    [shell]=6 [shell/widgets]=6 [ctl]=6
)
product_folders=(base model store link operations portability lookup playback editing shell ctl sim)

# Headers of the Qt Widgets module; a simple list of the classes the code could reach for.
widgets_headers='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(QtWidgets(/[^>]*)?|Q(Widget|MessageBox|Dialog|DialogButtonBox|Application|MainWindow|Label|PushButton|ToolButton|AbstractButton|ButtonGroup|LineEdit|TextEdit|PlainTextEdit|ComboBox|CheckBox|RadioButton|SpinBox|GroupBox|Frame|ListWidget|TableWidget|TreeWidget|ListView|TableView|TreeView|AbstractItemView|HeaderView|ProgressDialog|ProgressBar|[VHG]?BoxLayout|GridLayout|FormLayout|StackedLayout|Layout|TabWidget|TabBar|StackedWidget|DockWidget|Menu|MenuBar|StatusBar|ToolBar|FileDialog|InputDialog|ErrorMessage|Wizard|ScrollArea|Splitter|Slider|Style|StyleFactory|SystemTrayIcon|SizePolicy|SpacerItem|Completer|CalendarWidget|DateTimeEdit|TimeEdit|DateEdit))>'
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([a-z_]+)/([^"]*)"'

# Sets `folder` to the folder key of a path: its first component, plus /widgets below it.
folder_key() {
    folder="${1%%/*}"
    case "${1#*/}" in widgets/*) folder="$folder/widgets" ;; esac
}

violations=()
while IFS= read -r file; do
    folder_key "$file"
    from="$folder"
    core=1
    case "$file" in */widgets/* | shell/main.cpp) core=0 ;; esac
    lineno=0
    while IFS= read -r line || [ -n "$line" ]; do
        lineno=$((lineno + 1))
        case "$line" in *'#'*include*) ;; *) continue ;; esac
        if [[ "$line" =~ $include_re ]]; then
            [ -n "${floor[${BASH_REMATCH[1]}]+x}" ] || continue # not an application folder
            target="${BASH_REMATCH[1]}/${BASH_REMATCH[2]}"
            if [ "$from" = sim ]; then
                violations+=("$file:$lineno: sim/ includes the application: $target")
                continue
            fi
            folder_key "$target"
            to="$folder"
            if [ -z "${floor[$from]+x}" ] || [ -z "${floor[$to]+x}" ]; then
                violations+=("$file:$lineno: a folder without a floor (add it to this script): $target")
            elif ((core)) && [[ "$to" == */widgets ]]; then
                violations+=("$file:$lineno: code without widgets includes a window: $target")
            elif ((floor[$to] > floor[$from])); then
                violations+=("$file:$lineno: $from (floor ${floor[$from]}) includes upward: $target")
            elif ((floor[$to] == floor[$from])) && [ "${from%%/*}" != "${to%%/*}" ]; then
                violations+=("$file:$lineno: $from includes its neighbour $to: $target")
            fi
        elif ((core)) && [ "$from" != sim ] && [[ "$line" =~ $widgets_headers ]]; then
            violations+=("$file:$lineno: code without widgets includes a Qt Widgets header: ${line#*#}")
        fi
    done <"$file"
done < <(git ls-files -co --exclude-standard -- "${product_folders[@]}" | grep -E '\.(cpp|h)$')

if ((${#violations[@]})); then
    echo "Includes that cross the floors (docs/architecture.md):" >&2
    printf '  %s\n' "${violations[@]}" >&2
    exit 1
fi
echo "Layer check: every include keeps to its floor."
