#!/bin/sh
# Fetches and unpacks one of Debian's source packages, the version this machine's own archive
# holds, without touching the machine's apt configuration: the deb-src entries are made from the
# machine's own deb entries for its release (the same archive its binary packages come from) in
# a private apt directory, so no archive address is written anywhere.
#   tools/windows/debian-source.sh <source-package> <directory>
# prints the unpacked source tree's path.
set -eu
package=$1
dest=$2
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
apt_dir=$dest/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/sources.list.d"

# Only the entries of this release (its suites, -updates and -security), enabled ones, as
# deb-src: deb822 paragraphs from *.sources, one-line entries from *.list.
for file in /etc/apt/sources.list.d/*.sources; do
    [ -e "$file" ] || continue
    awk -v codename="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
        {
            release = 0; deb = 0; enabled = 1
            n = split($0, lines, "\n")
            for (i = 1; i <= n; i++) {
                if (lines[i] ~ /^Suites:/) {
                    m = split(lines[i], words, /[ \t]+/)
                    for (j = 2; j <= m; j++)
                        if (words[j] ~ ("^" codename "(-updates|-security)?$")) release = 1
                }
                if (lines[i] ~ /^Types:.*(^|[ \t])deb([ \t]|$)/) deb = 1
                if (lines[i] ~ /^Enabled:[ \t]*no/) enabled = 0
            }
            if (!(release && deb && enabled)) next
            out = ""
            for (i = 1; i <= n; i++) {
                if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
                if (lines[i] !~ /^#/) out = out lines[i] "\n"
            }
            printf "%s\n", out
        }' "$file"
done >"$apt_dir/sources.list.d/release.sources"
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$file" ] || continue
    awk -v codename="$codename" '$1 == "deb" {
            for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /=/ && $i !~ /\]$/) break
            if ($(i + 1) ~ ("^" codename "(-updates|-security)?$")) { $1 = "deb-src"; print }
        }' "$file"
done >"$apt_dir/sources.list"
if [ ! -s "$apt_dir/sources.list" ] && [ ! -s "$apt_dir/sources.list.d/release.sources" ]; then
    echo "No deb entry for $codename in /etc/apt: cannot make the deb-src entry." >&2
    exit 1
fi

apt_get() {
    apt-get -q -o Dir::Etc::SourceList="$apt_dir/sources.list" \
        -o Dir::Etc::SourceParts="$apt_dir/sources.list.d" \
        -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" \
        -o APT::Sandbox::User=root "$@"
}
mkdir -p "$apt_dir/cache/archives/partial"
apt_get update >&2
cd "$dest"
apt_get source --only-source "$package" >&2
# The unpacked tree is the one directory named after the package and its upstream version.
tree=$(find "$dest" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
[ -n "$tree" ] || { echo "apt-get source $package unpacked nothing." >&2; exit 1; }
echo "$tree"
