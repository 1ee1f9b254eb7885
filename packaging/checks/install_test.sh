#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses the installed copy as a user would, from
# another working folder: every file in its place, the programs start, render their windows,
# and ridgemo finds its help pages in the prefix (not in the source or build tree).
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

# What the prefix must hold (GNUInstallDirs defaults for a plain prefix).
while read -r path; do
  [ -s "$prefix/$path" ] || fail "not installed: $path"
done <<'LIST'
bin/tolvane
bin/ridgemo
bin/kyr-headsim
share/kyr-tools/help/ridgemo.html
share/kyr-tools/help/ridgemo.ja.html
share/kyr-tools/help/ridgemo-idle.png
share/kyr-tools/help/ridgemo-monitor.png
share/applications/io.kyr.Tolvane.desktop
share/applications/io.kyr.Ridgemo.desktop
share/metainfo/io.kyr.Tolvane.metainfo.xml
share/metainfo/io.kyr.Ridgemo.metainfo.xml
share/mime/packages/kyr-tools.xml
share/icons/hicolor/scalable/apps/io.kyr.Tolvane.svg
share/icons/hicolor/scalable/apps/io.kyr.Ridgemo.svg
share/man/man1/tolvane.1
share/man/man1/ridgemo.1
share/man/man1/kyr-headsim.1
lib/udev/rules.d/70-kyr-sensor.rules
share/bash-completion/completions/tolvane
share/bash-completion/completions/ridgemo
share/bash-completion/completions/kyr-headsim
share/zsh/vendor-completions/_tolvane
share/zsh/vendor-completions/_ridgemo
share/zsh/vendor-completions/_kyr-headsim
LIST
for program in tolvane ridgemo kyr-headsim; do
  [ -x "$prefix/bin/$program" ] || fail "not executable: bin/$program"
done

# The installed completion offers the image kinds after "ridgemo read-images --type".
if [ -f /usr/share/bash-completion/bash_completion ]; then
  kinds=$(bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" &&
    COMP_WORDS=(ridgemo read-images --type "") COMP_CWORD=3 &&
    COMP_LINE="ridgemo read-images --type " COMP_POINT=${#COMP_LINE} &&
    _ridgemo ridgemo "" --type && echo "${COMPREPLY[*]}"' - \
    "$prefix/share/bash-completion/completions/ridgemo")
  [ "$kinds" = "bank memory shoot ng" ] || fail "ridgemo --type completes to \"$kinds\""
fi

# The zsh completions load in a bare zsh and are what compinit finds for the programs.
if command -v zsh >/dev/null; then
  found=$(zsh -f -c 'fpath=("$1" $fpath); autoload -Uz compinit && compinit -u -D &&
    echo $_comps[tolvane] $_comps[ridgemo] $_comps[kyr-headsim]' - \
    "$prefix/share/zsh/vendor-completions" 2>&1)
  [ "$found" = "_tolvane _ridgemo _kyr-headsim" ] || fail "zsh completion: $found"
  for file in "$prefix"/share/zsh/vendor-completions/_*; do
    zsh -f -n "$file" || fail "zsh cannot read $file"
  done
fi

# Each PNG icon is a PNG of the size its folder names.
for id in io.kyr.Tolvane io.kyr.Ridgemo; do
  for size in 16 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$png" ] || { fail "no icon $png"; continue; }
    read -r width height < <(python3 -c 'import struct,sys
d=open(sys.argv[1],"rb").read(24)
assert d[:8]==b"\x89PNG\r\n\x1a\n", "not a PNG"
print(*struct.unpack(">II", d[16:24]))' "$png") || { fail "not a PNG: $png"; continue; }
    [ "$width $height" = "$size $size" ] || fail "$png is ${width}x$height"
  done
done

# The udev rule parses, and gives the head's USB node and its tty access for the seat user
# and the plugdev group, and keeps the recovery variant as a comment.
python3 "$source/packaging/checks/udev_rules_check.py" "$prefix/lib/udev/rules.d/70-kyr-sensor.rules" ||
  fail "udev rule"
grep -q '^#.*authorized' "$prefix/lib/udev/rules.d/70-kyr-sensor.rules" ||
  fail "udev rule lost its recovery variant"

# The file types: compiled as the desktop would, *.kdta and *.kimg get our types, and the
# editor's desktop entry claims the settings type it defines.
update-mime-database "$prefix/share/mime"
grep -qx 'application/x-kyr-settings:\*\.kdta' <(cut -d: -f2- "$prefix/share/mime/globs2") ||
  fail "*.kdta has no type"
grep -qx 'application/x-kyr-image:\*\.kimg' <(cut -d: -f2- "$prefix/share/mime/globs2") ||
  fail "*.kimg has no type"
grep -qx 'MimeType=application/x-kyr-settings;' "$prefix/share/applications/io.kyr.Tolvane.desktop" ||
  fail "tolvane's desktop entry does not open settings files"

# The installed programs, from a folder that is neither the source nor the build tree, with
# no display and no desktop browser.
elsewhere=$work/elsewhere
mkdir -p "$elsewhere" "$work/config"
cd "$elsewhere"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config
unset DISPLAY WAYLAND_DISPLAY
for program in tolvane ridgemo kyr-headsim; do
  got=$("$prefix/bin/$program" --version) || fail "$program --version failed"
  [ "$got" = "$program $version" ] || fail "$program --version said '$got'"
done

# The screenshots the metainfo names, rendered by the installed programs.
render() {
  local name=$1
  shift
  "$@" --lang en --screenshot "$elsewhere/$name" >/dev/null || fail "cannot render $name"
}
render tolvane-page1.png "$prefix/bin/tolvane" --page 1
render tolvane-page4.png "$prefix/bin/tolvane" --page 4
render ridgemo-idle.png "$prefix/bin/ridgemo" --simulate
render ridgemo-monitor.png "$prefix/bin/ridgemo" --simulate --scene monitor
for metainfo in "$prefix"/share/metainfo/*.xml; do
  for shot in $(grep -o '[^/]*\.png</image>' "$metainfo" | sed 's,</image>,,'); do
    [ -s "$elsewhere/$shot" ] || fail "$(basename "$metainfo") shows $shot, which no render makes"
  done
done

# Help: the page in the prefix, Japanese for --lang ja, shown by the program's own viewer.
for lang_page in en:ridgemo.html ja:ridgemo.ja.html; do
  lang=${lang_page%%:*} page=${lang_page#*:}
  said=$("$prefix/bin/ridgemo" --lang "$lang" --screenshot "$elsewhere/help-$lang.png" \
    --scene help) || { fail "help viewer ($lang) failed"; continue; }
  [ "$said" = "help page: $(realpath "$prefix/share/kyr-tools/help/$page")" ] ||
    fail "help ($lang) found '$said', not the installed $page"
  [ -s "$elsewhere/help-$lang.png" ] || fail "help viewer ($lang) rendered nothing"
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "installed copy in $prefix works"
