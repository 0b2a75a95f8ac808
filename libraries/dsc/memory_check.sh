#!/bin/sh
# Peak memory of the DSC pass over a generated job of a few hundred MiB,
# against the same pass over a job of a few MiB: the larger job may not
# raise the peak by more than MARGIN KiB (1024 by default). Measured with
# /usr/bin/time -v, not timed. (The peak itself depends on the build: about
# 3.5 MiB in a plain build, more under the sanitizers, and ThreadSanitizer's
# own bookkeeping grows with the run's length.)
#
#   memory_check.sh DSC_MARK [PAGES] [MARGIN]
#
# Each page holds text, a 256 KiB binary section whose bytes include
# "%%Page:" and "^D" lines, and a line of 1 MiB without a line break.
# Exits 77 (skipped) without /usr/bin/time.
set -eu

mark=$1
pages=${2:-200}
margin=${3:-1024}
[ -x /usr/bin/time ] || { echo "memory_check: /usr/bin/time is not installed" >&2; exit 77; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

binary="$dir/binary"
{
    head -c 131072 /dev/urandom
    printf '\n%%%%Page: 99 99\n%%%%EndComments\n\004\n%%%%BeginPageSetup\n'
} > "$binary.part"
head -c $((262144 - $(wc -c < "$binary.part"))) /dev/urandom >> "$binary.part"
mv "$binary.part" "$binary"

page="$dir/page"
{
    printf '%%%%BeginPageSetup\n%%%%EndPageSetup\n'
    i=0
    while [ $i -lt 200 ]; do
        printf '72 %d moveto (A line of text on the page, number %d) show\n' $((700 - i * 3)) $i
        i=$((i + 1))
    done
    printf '%%%%BeginBinary: %d\n' "$(wc -c < "$binary")"
    cat "$binary"
    printf '\n%%%%EndBinary\n'
    head -c 1048576 /dev/zero | tr '\0' 'x'
    printf '\nshowpage\n'
} > "$page"

job() {
    printf '%%!PS-Adobe-3.0\n%%%%Pages: %d\n%%%%EndComments\n%%%%BeginProlog\n%%%%EndProlog\n' "$1"
    n=1
    while [ "$n" -le "$1" ]; do
        printf '%%%%Page: %d %d\n' "$n" "$n"
        cat "$page"
        n=$((n + 1))
    done
    printf '%%%%Trailer\n%%%%EOF\n'
}

# Prints "peak_kib bytes_read" for a job of $1 pages.
measure() {
    job "$1" | /usr/bin/time -v "$mark" - 2> "$dir/err" > /dev/null || { cat "$dir/err" >&2; exit 1; }
    grep -q "dsc_mark: $1 pages" "$dir/err" || { cat "$dir/err" >&2; exit 1; }
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/err")
    bytes=$(sed -n 's/.*pages, \([0-9]*\) bytes read/\1/p' "$dir/err")
    echo "$peak $bytes"
}

set -- $(measure 4)
small_peak=$1 small_bytes=$2
set -- $(measure "$pages")
large_peak=$1 large_bytes=$2

echo "memory_check: $small_bytes bytes: peak $small_peak KiB; $large_bytes bytes: peak $large_peak KiB"
if [ "$large_peak" -gt $((small_peak + margin)) ]; then
    echo "memory_check: the peak grows with the job" >&2
    exit 1
fi
